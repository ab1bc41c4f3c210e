#include "engine/ConversionRun.h"

#include "engine/OutputHeader.h"
#include "wave/WaveOpeners.h"
#include "wave/WaveScanner.h"

#include <algorithm>
#include <exception>
#include <sys/stat.h>

namespace {

// True only for an existing file that is not a directory.
bool FileExists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

TRunResult TConversionRun::Execute() {
    groupsWritten_ = 0;
    stoppedByUser_ = false;
    failure_ = Failure::None;

    const TRunResult prepared = Prepare();
    if (prepared != TRunResult::Completed)
        return prepared;

    // From here on the clean-up always runs. The header's write result is not examined: the buffer takes
    // it, and a failure shows at the first group.
    OutFile_->Write(&OutHeader_, kWaveHeaderBytes);
    try {
        host_.ShowStopButton(true);
        (this->*convertGroups_)();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    CleanUp();

    if (failure_ != Failure::None)
        return TRunResult::Failed;
    if (DeleteOutput_)
        return TRunResult::Aborted;
    return stoppedByUser_ ? TRunResult::Stopped : TRunResult::Completed;
}

// The checks and the set-up. Returns Completed when the conversion may begin.
TRunResult TConversionRun::Prepare() {
    const std::string inputName = host_.InputName();
    const std::string outputName = host_.OutputName();
    if (inputName == outputName) {
        ShowError(msg::kSameName);
        return TRunResult::Refused;
    }
    if (!FileExists(inputName)) {
        ShowError(msg::kNoInput);
        return TRunResult::Refused;
    }
    if (FileExists(outputName) && !host_.Confirm(msg::kOverwrite))
        return TRunResult::Refused;

    const ErrorSink showError = [this](const std::string& message) { ShowError(message); };
    InFile_ = OpenWaveRead(inputName, showError);
    // An object that came back unopened cannot be read either: treat it as no object at all.
    if (!InFile_ || !InFile_->Opened()) {
        InFile_.reset();
        ShowError(msg::kCannotOpenInput);
        return TRunResult::Refused;
    }

    try {
        InFile_->SetBufferSize(kBufferSize);
        bool scanReadFailed = false;
        DataOffset_ = FindWaveData(*InFile_, InInfo_, scanReadFailed);
        if (scanReadFailed) {
            // Taken for raw input, a WAVE file would be converted wrongly and without a word.
            ShowError(msg::kReadFailed);
            ReleaseFilesQuietly();
            return TRunResult::Failed;
        }
        RawInput_ = DataOffset_ == 0;
        InFile_->Rewind();
        InFile_->SeekBy(DataOffset_);

        OutFile_ = CreateWaveWrite(outputName, showError);
        if (!OutFile_ || !OutFile_->Opened()) {
            OutFile_.reset();
            ShowError(msg::kCannotCreateOutput);
            ReleaseFilesQuietly();
            return TRunResult::Refused;
        }
        OutFile_->SetBufferSize(kBufferSize);
        DeleteOutput_ = false;
        Running_ = true;

        InFile_->SeekToEnd();
        const int64_t size = InFile_->Position();
        GroupCount_ = std::max<int64_t>(0, (size - DataOffset_) / kGroupBytes);
        host_.SetGaugeMinimum(0);
        host_.SetGaugeProgress(0);
        host_.SetGaugeMaximum(GroupCount_);
        InFile_->SeekTo(DataOffset_);

        if (host_.FormatIndex() != 0 && GroupCount_ > kMaxGroups24) {
            if (!host_.Confirm(msg::kFallbackTo16)) {
                Running_ = false;
                ReleaseFilesQuietly();
                return TRunResult::Refused;
            }
            host_.ResetFormatIndex();
        }
        // A RIFF header cannot describe more, even at 16 bits.
        if (host_.FormatIndex() == 0 && GroupCount_ > kMaxGroups16) {
            ShowError(msg::kTooManyFor16);
            Running_ = false;
            ReleaseFilesQuietly();
            return TRunResult::Refused;
        }

        SampleRate_ = host_.SampleRate();
        OutHeader_ = BuildWaveHeader(SampleRate_, host_.FormatIndex(), static_cast<uint32_t>(GroupCount_));
        host_.SetBusy(true);
    } catch (...) {
        Running_ = false;
        ReleaseFilesQuietly();
        throw;
    }
    return TRunResult::Completed;
}

// A kept output that ended early gets sizes that describe the groups actually written, so that it is a
// valid WAVE file.
void TConversionRun::CorrectHeaderSizes() {
    const auto bytes = static_cast<uint32_t>(groupsWritten_ * OutHeader_.BlockAlign * OutHeader_.Channels);
    SetWaveDataSize(OutHeader_, bytes);
    OutFile_->SeekTo(kRiffSizeOffset);
    OutFile_->Write(&OutHeader_.RiffSize, sizeof OutHeader_.RiffSize);
    OutFile_->SeekTo(kDataSizeOffset);
    OutFile_->Write(&OutHeader_.DataSize, sizeof OutHeader_.DataSize);
}

void TConversionRun::CleanUp() {
    converting_ = false;
    std::exception_ptr closeError;
    host_.ShowStopButton(false);

    if (!DeleteOutput_ && groupsWritten_ != GroupCount_)
        CorrectHeaderSizes();
    try {
        OutFile_->Close();
    } catch (const EMMIOError&) {
        // What did not reach the disk makes the output incomplete: it goes, like after a failed write.
        DeleteOutput_ = true;
        if (failure_ == Failure::None) {
            failure_ = Failure::Write;
            closeError = std::current_exception();
        }
    }
    if (DeleteOutput_)
        OutFile_->Delete();
    OutFile_.reset();

    try {
        InFile_->Close();
    } catch (const EMMIOError&) {
        // Nothing is written to the input, so its close has nothing to lose.
    }
    InFile_.reset();

    host_.SetBusy(false);
    Running_ = false;
    if (closeError)
        std::rethrow_exception(closeError);
}

void TConversionRun::ReleaseFilesQuietly() {
    OutFile_.reset();
    InFile_.reset();
}

void TConversionRun::StopQuestion() {
    if (!converting_)
        return;
    ApplyStopAnswer(host_.AskStop(msg::kStopQuestion));
}

void TConversionRun::ApplyStopAnswer(TStopAnswer answer) {
    switch (answer) {
    case TStopAnswer::Abort:
        Running_ = false;
        DeleteOutput_ = true;
        stoppedByUser_ = true;
        break;
    case TStopAnswer::Retry:
        Running_ = true;
        DeleteOutput_ = false;
        stoppedByUser_ = false;
        break;
    case TStopAnswer::Ignore:
        Running_ = false;
        DeleteOutput_ = false;
        stoppedByUser_ = true;
        break;
    case TStopAnswer::None:
        break;
    }
}
