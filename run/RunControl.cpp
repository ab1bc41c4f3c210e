#include "run/RunControl.h"

#include "run/RunRequest.h"

#include "mmio/PathState.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

void TRunControl::StopQuestion() {
    if (phase_ != Phase::Scanning && phase_ != Phase::Converting)
        return;
    outcome_.Apply(host_.AskStop(msg::kStopQuestion));
}

bool TRunControl::StartRun(const std::string& inputName, const std::string& outputName,
                           bool& overwriteAgreed) {
    outcome_.Begin();
    phase_ = Phase::Preparing;
    overwriteAgreed = false;
    if (inputName == outputName)
        return Refuse(msg::kSameName);
    // A folder is no input file either; one that held a disc would have been taken as the disc.
    const TPathState input = StateOfPath(inputName);
    if (input == TPathState::Missing)
        return Refuse(msg::kNoInput);
    if (input == TPathState::Folder) {
        host_.ShowErrorWithCause(msg::kNoInput, msg::kNoDisc);
        outcome_.Refuse();
        return false;
    }
    if (IsExistingFile(outputName)) {
        overwriteAgreed = host_.Confirm(msg::kOverwrite);
        if (!overwriteAgreed)
            outcome_.Refuse();
    }
    return outcome_.Running();
}

std::unique_ptr<TMMIOFile> TRunControl::OpenInput(const std::string& inputName) {
    const ErrorSink showError = [this](const std::string& message) { ShowError(message); };
    std::unique_ptr<TMMIOFile> file = OpenWaveRead(inputName, showError);
    if (file && file->Opened())
        return file;
    // An object that came back unopened cannot be read either: treat it as no object at all.
    const std::string cause = file ? file->FailureReason() : std::string();
    if (cause.empty())
        ShowError(msg::kCannotOpenInput);
    else
        host_.ShowErrorWithCause(msg::kCannotOpenInput, cause);
    outcome_.Refuse();
    return nullptr;
}

void TRunControl::CloseQuietly(TMMIOFile& input) {
    try {
        input.Close();
    } catch (const EMMIOError&) {
        // Nothing is written to the input, so its close has nothing to lose.
    }
}

void TRunControl::BeginScan() {
    phase_ = Phase::Scanning;
    scanSteps_ = 0;
    stopShown_ = false;
}

bool TRunControl::ScanStep() {
    if (++scanSteps_ == kStepsBeforeStopButton) {
        host_.SetBusy(true);
        host_.ShowStopButton(true);
        stopShown_ = true;
    }
    host_.ProcessPendingEvents();
    return outcome_.Running();
}

bool TRunControl::EndScan() {
    phase_ = Phase::Preparing;
    if (stopShown_) {
        host_.ShowStopButton(false);
        host_.SetBusy(false);
        stopShown_ = false;
    }
    if (outcome_.Running())
        return true;
    outcome_.Interrupt();
    return false;
}

void TRunControl::ResetGauge(int64_t maximum, int64_t minimum) {
    host_.SetGaugeMinimum(0);
    host_.SetGaugeProgress(0);
    host_.SetGaugeMaximum(maximum);
    if (minimum > 0) {
        host_.SetGaugeMinimum(minimum);
        host_.SetGaugeProgress(minimum);
    }
}

bool TRunControl::Refuse(const std::string& message) {
    ShowError(message);
    outcome_.Refuse();
    return false;
}

void TRunControl::FailToBegin() {
    if (!outcome_.Running())
        return;
    outcome_.Fail();
    ShowError(msg::kWriteFailed);
}

void TRunControl::NoteTagsLeftOut(const TRunRequest& request, bool plainWave) {
    const TOutputFormatRow& format = FormatOf(request);
    const TSinkSettings settings = SinkSettingsOf(request, plainWave);
    for (const auto& [name, value] : request.metadata.userTags)
        if (!format.takesTag(name, settings))
            host_.ShowNote(msg::TagLeftOut(name, format.name));
}

void TRunControl::EndRun(const std::exception_ptr& error) {
    host_.SetBusy(false);
    phase_ = Phase::Idle;
    if (error)
        std::rethrow_exception(error);
}
