#include "engine/RunOutput.h"

#include "engine/PathState.h"
#include "mmio/MMIOCodes.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

bool TRunOutput::Create(TRunHost& host, const std::string& name, bool overwriteAgreed, TRunOutcome& outcome) {
    const ErrorSink showError = [&host](const std::string& message) { host.ShowError(message); };
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
    if (cause.empty())
        host.ShowError(msg::kCannotCreateOutput);
    else
        host.ShowErrorWithCause(msg::kCannotCreateOutput, cause);
    outcome.Refuse();
    return false;
}

std::exception_ptr TRunOutput::Finish(TRunHost& host, TRunOutcome& outcome,
                                      const std::function<bool(TMMIOFile&)>& writeSizes, bool lastOfRun) {
    std::exception_ptr closeError;
    if (!outcome.DeleteOutput() && !writeSizes(*file_)) {
        host.ShowError(msg::kWriteFailed);
        outcome.Fail();
    }
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
    file_.reset();
    return closeError;
}
