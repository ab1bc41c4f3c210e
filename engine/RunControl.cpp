#include "engine/RunControl.h"

#include "engine/PathState.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

void TRunControl::StopQuestion() {
    if (phase_ != Phase::Scanning && phase_ != Phase::Converting)
        return;
    outcome_.Apply(host_.AskStop(msg::kStopQuestion));
}

bool TRunControl::CheckNames(const std::string& inputName, const std::string& outputName,
                             bool& overwriteAgreed) {
    overwriteAgreed = false;
    if (inputName == outputName) {
        ShowError(msg::kSameName);
        outcome_.Refuse();
        return false;
    }
    // A folder is no input file either.
    const TPathState input = StateOfPath(inputName);
    if (input == TPathState::Missing || input == TPathState::Folder) {
        ShowError(msg::kNoInput);
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
