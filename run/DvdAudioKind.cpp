// A DVD-Audio disc: a folder holding AUDIO_TS, the AUDIO_TS folder, AUDIO_TS.IFO, an ATS_nn_0.IFO, or an
// image. A hybrid disc (VIDEO_TS beside it) is taken as its audio side unless the request asks for the video
// side.
#include "run/InputKindRows.h"

#include "disc/AudioDisc.h"
#include "disc/AudioDiscListing.h"
#include "disc/DiscNames.h"
#include "run/AudioDiscRun.h"
#include "run/FileOutputs.h"
#include "run/InputChoices.h"
#include "texts/Messages.h"

#include <filesystem>

namespace {

TProbe Probe(const std::string& path, std::span<const uint8_t>) {
    bool readFailed = false;
    const bool disc = LooksLikeAudioDisc(path, &readFailed);
    if (readFailed)
        return TProbe::ReadFailed;
    return disc ? TProbe::Yes : TProbe::No;
}

const char* AnySelection(const TSelection&) {
    return nullptr;
}

// The audio side, then a hybrid disc's video side as the DVD-Video listing gives it.
bool Describe(const std::string& input, TListingForm form, std::string& text) {
    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(input, error);
    if (!disc) {
        text = error;
        return false;
    }
    text = form == TListingForm::Json ? AudioDiscListingJson(*disc) : FormatAudioDiscListing(*disc);
    if (disc->Hybrid()) {
        std::string video;
        if (kDvdVideoKind.describe(disc->DiscRoot(), form, video))
            text += form == TListingForm::Json ? ",\"video_side\":{" + video + "}" : video;
    }
    return true;
}

// The default title's default name beside the disc.
std::string ProposeOutput(const std::string& input, const TOutputFormatRow& format) {
    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(input, error);
    const TAudioDiscTitle* title = disc ? RequestedAudioTitle(*disc, {}) : nullptr;
    const std::string folder = disc ? std::filesystem::path(disc->DiscRoot()).parent_path().string() : "";
    if (!title)
        return ProposeOutputName(input, format);
    return (std::filesystem::path(folder) / DiscOutputName(disc->Label(), title->number, 0, format.extension))
        .string();
}

// The titles as the window's dialog offers them: a title's tracks are its chapters, its one audio stream
// the title's format.
bool ReadAudioDiscChoices(const std::string& input, TDiscChoices& choices, std::string& error) {
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(input, error);
    if (!disc)
        return false;
    choices = {};
    choices.label = disc->Label();
    choices.folder = std::filesystem::path(disc->DiscRoot()).parent_path().string();
    for (const TAudioDiscTitle& title : disc->Titles()) {
        TTitleChoice choice;
        choice.number = title.number;
        choice.titleSet = title.titleSet;
        choice.length = TitleLength(title.lengthPts);
        choice.chapters = static_cast<int>(title.tracks.size());
        const bool convertible = title.unconvertible.empty();
        choice.audio.push_back(
            {1, title.format.Describe(), convertible, title.format.rate[0], title.format.OutputBits()});
        if (!convertible)
            choice.refusal = msg::TitleUnreadable(title.number, title.unconvertible);
        choices.titles.push_back(std::move(choice));
    }
    if (const TAudioDiscTitle* title = RequestedAudioTitle(*disc, {}))
        choices.preferredTitle = title->number;
    return true;
}

void Plan(const TRunRequest& request, TInputPlan& plan) {
    auto opened = std::make_shared<TOpenedAudioDisc>(request.input);
    if (opened->disc)
        plan.outputs = PlanAudioDiscOutputs(request, *opened->disc);
    plan.opened = std::move(opened);
}

std::unique_ptr<TRun> MakeAudioDiscRun(TRunHost& host, const TRunRequest& request, TInputPlan& plan,
                                       const TRawRunFactory&) {
    auto opened = std::dynamic_pointer_cast<TOpenedAudioDisc>(plan.opened);
    if (!opened)
        opened = std::make_shared<TOpenedAudioDisc>(request.input);
    return std::make_unique<TAudioDiscRun>(host, request, std::move(opened));
}

} // namespace

const TInputKindRow kDvdAudioKind = {
    .id = "dvd-audio",
    .probe = Probe,
    .brokenPromise = nullptr,
    .offersTitles = true,
    .offersTracks = false,
    .takesInputFormat = false,
    .namesOwnOutputs = true,
    .selectionRefusal = AnySelection,
    .describe = Describe,
    .proposeOutput = ProposeOutput,
    .plan = Plan,
    .makeRun = MakeAudioDiscRun,
    .readTitles = ReadAudioDiscChoices,
    .otherSide = &kDvdVideoKind,
};
