#include "run/RunOutput.h"

#include "mmio/MMIOCodes.h"
#include "mmio/PathState.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

#include <utility>

bool TRunOutput::Create(TRunHost& host, const std::string& name, bool overwriteAgreed, TRunOutcome& outcome) {
    const ErrorSink showError = [&](const std::string& message) { host.ShowOutputError(name, message, {}); };
    file_ = CreateWaveWrite(name, showError, !overwriteAgreed);
    if (file_ && !file_->Opened() && file_->Info() && file_->Info()->wErrorRet == mmio::kErrFileExists) {
        // A file that appeared between the check and now is the user's to give up, not ours to empty. A
        // name that is no file (a folder, a dangling link) gets the ordinary create and what it says.
        file_.reset();
        if (IsExistingFile(name) && !host.Confirm(msg::kOverwrite)) {
            outcome.Refuse();
            return false;
        }
        file_ = CreateWaveWrite(name, showError, false);
    }
    if (file_ && file_->Opened())
        return true;

    // An object that came back unopened cannot be written either: treat it as no object at all.
    const std::string cause = file_ ? file_->FailureReason() : std::string();
    file_.reset();
    host.ShowOutputError(name, msg::kCannotCreateOutput, cause);
    outcome.Refuse();
    return false;
}

namespace {

// Samples arrive a packet (about 2 KB) at a time: large buffers turn them into few large writes (8 KiB
// cost a third of a disc's run). Four of 1 MiB were the fastest of 256 KiB to 4 MiB, two to eight of them,
// in bench/dvd_throughput; one write at a time leaves the decoding free to go on.
constexpr int32_t kAheadBufferBytes = 1 << 20;
constexpr int kAheadBuffers = 4;

} // namespace

void TRunOutput::BufferAhead() {
    file_->SetBufferSize(kAheadBufferBytes);
    file_->SetWriteBehind(kAheadBuffers);
}

bool TRunOutput::Begin(std::unique_ptr<TAudioSink> sink, const TAudioFormat& format) {
    sink_ = std::move(sink);
    return sink_->Begin(*file_, format);
}

std::exception_ptr TRunOutput::Finish(TRunHost& host, TRunOutcome& outcome, int64_t dataBytes,
                                      bool lastOfRun) {
    std::exception_ptr closeError;
    if (!outcome.DeleteOutput() && sink_ && !sink_->Finish(dataBytes)) {
        host.ShowError(msg::kWriteFailed);
        outcome.Fail();
    }
    // An output that goes is given up by its sink before the file is closed: nothing more is written.
    if (outcome.DeleteOutput() && sink_)
        sink_->Abandon();
    try {
        file_->Close();
    } catch (const EMMIOError&) {
        // What did not reach the disk makes the output incomplete: it goes, like after a failed write.
        if (outcome.Result() != TRunResult::Failed)
            closeError = std::current_exception();
        outcome.Fail();
    }
    // Asked after the close, so that a stop that comes while the file is finished still takes it away.
    if (lastOfRun && !outcome.DeleteOutput() && host.StopRequestedAtEnd())
        outcome.Interrupt();
    if (outcome.DeleteOutput() && file_->Delete() == TDeleteResult::NotOurs)
        host.ShowError(msg::kOutputReplaced);
    Release();
    return closeError;
}

void TRunOutput::Release() {
    sink_.reset();
    file_.reset();
}

void TRunOutput::Discard() {
    if (sink_)
        sink_->Abandon();
    try {
        file_->Close();
    } catch (const EMMIOError&) {
        // Nothing of worth was in it: it goes all the same.
    }
    file_->Delete();
    Release();
}
