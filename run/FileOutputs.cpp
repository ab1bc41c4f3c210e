#include "run/FileOutputs.h"

#include "disc/Disc.h"
#include "disc/DiscNames.h"
#include "run/InputKind.h"
#include "run/NameProposal.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

#include <filesystem>

std::string ProposeOutputName(const std::string& input, const TOutputFormatRow& format) {
    const std::string extension = FileExtension(input);
    const std::string stem = input.substr(0, input.size() - extension.size());
    std::string lower = extension;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower == format.extension ? stem + "_new" + format.extension : stem + format.extension;
}

std::string DefaultFileOutput(const TRunRequest& request) {
    const std::string beside = ProposeOutputName(request.input, FormatOf(request));
    const std::filesystem::path folder = std::filesystem::path(request.input).parent_path();
    if (!LooksLikeDisc(folder.empty() ? "." : folder.string()))
        return beside;
    return (std::filesystem::path(request.folder) / std::filesystem::path(beside).filename()).string();
}

void PlanFileOutput(const TRunRequest& request, TInputPlan& plan) {
    plan.outputs = {request.output.empty() ? DefaultFileOutput(request) : request.output};
}

std::vector<std::string> DiscPartNames(const TRunRequest& request, const std::string& label, int title,
                                       int first, int last) {
    const auto joined = [](const std::string& folder, const std::string& name) {
        return (std::filesystem::path(folder) / name).string();
    };
    const std::string extension = FormatOf(request).extension;
    if (!request.selection.chapters)
        return {request.output.empty() ? joined(request.folder, DiscOutputName(label, title, 0, extension))
                                       : request.output};
    const std::string folder = request.output.empty() ? request.folder : request.output;
    std::vector<std::string> names;
    for (int k = first; k <= last; ++k)
        names.push_back(joined(folder, DiscOutputName(label, title, k, extension)));
    return names;
}

std::unique_ptr<TMMIOFile> OpenForListing(const std::string& input, std::string& text) {
    std::string error;
    std::unique_ptr<TMMIOFile> file =
        OpenWaveRead(input, [&error](const std::string& message) { error = message; });
    if (file && file->Opened())
        return file;
    text = error.empty() ? msg::kCannotOpenInput : error;
    return nullptr;
}
