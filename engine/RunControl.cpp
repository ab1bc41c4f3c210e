#include "engine/RunControl.h"

#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

enum class FileState { Exists, Missing, Unknown };

// Whether there is a file (not a folder) of that name. Unknown when the system would not say (a folder
// that may not be searched): the open that follows then tells the user why.
FileState StateOfFile(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? FileState::Missing : FileState::Exists;
    return errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unknown;
}

} // namespace

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
    if (StateOfFile(inputName) == FileState::Missing) {
        ShowError(msg::kNoInput);
        outcome_.Refuse();
        return false;
    }
    if (StateOfFile(outputName) == FileState::Exists) {
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
