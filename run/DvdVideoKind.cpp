// A DVD-Video disc: a folder holding VIDEO_TS, the VIDEO_TS folder, one of its IFO files, or an image.
#include "run/InputKindRows.h"

#include "disc/ChapterAudio.h"
#include "disc/Disc.h"
#include "disc/DiscListing.h"
#include "disc/DiscLocation.h"
#include "disc/DiscNames.h"
#include "run/DiscRun.h"
#include "run/FileOutputs.h"
#include "run/InputChoices.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

namespace {

// Also a file that only looks like a disc, so that the disc reader says what is wrong with it.
TProbe Probe(const std::string& path, std::span<const uint8_t>) {
    bool readFailed = false;
    const bool disc = LooksLikeDisc(path, &readFailed) || HasDiscSignature(path, &readFailed);
    if (readFailed)
        return TProbe::ReadFailed;
    return disc ? TProbe::Yes : TProbe::No;
}

const char* BrokenPromise(const std::string& path) {
    std::string ending = std::filesystem::path(path).extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ending == ".iso")
        return msg::kNoDiscImage;
    if (ending == ".ifo" || ending == ".bup")
        return msg::kNoIfoFile;
    return nullptr;
}

const char* AnySelection(const TSelection&) {
    return nullptr;
}

bool Describe(const std::string& input, TListingForm form, std::string& text) {
    std::string error;
    const std::unique_ptr<TDisc> disc = TDisc::Open(input, error);
    if (!disc) {
        text = error;
        return false;
    }
    // The chapters of a title with LPCM audio as a conversion cuts them, where its audio begins and ends.
    std::map<int, TChapterAudio> chapterAudio;
    for (const TDiscTitle& title : disc->Titles())
        if (title.unreadable.empty() && !title.chapters.empty() && title.FirstLpcm())
            if (const auto found = FindChapterAudio(*disc, title, *title.FirstLpcm()))
                chapterAudio.emplace(title.number, *found);
    text = form == TListingForm::Json ? DiscListingJson(disc->Label(), disc->Titles(), chapterAudio)
                                      : FormatDiscListing(disc->Label(), disc->Titles(), chapterAudio);
    return true;
}

// The default title's default name beside the disc; for a disc that cannot be read, the input's name in
// the format, as for a file.
std::string ProposeOutput(const std::string& input, const TOutputFormatRow& format) {
    if (std::string disc = ProposeDiscOutputName(input, format.extension); !disc.empty())
        return disc;
    return ProposeOutputName(input, format);
}

void Plan(const TRunRequest& request, TInputPlan& plan) {
    auto opened = std::make_shared<TOpenedDisc>(request.input);
    if (opened->disc)
        plan.outputs = PlanDiscOutputs(request, *opened->disc);
    plan.opened = std::move(opened);
}

std::unique_ptr<TRun> MakeDiscRun(TRunHost& host, const TRunRequest& request, TInputPlan& plan,
                                  const TRawRunFactory&) {
    auto opened = std::dynamic_pointer_cast<TOpenedDisc>(plan.opened);
    if (!opened)
        opened = std::make_shared<TOpenedDisc>(request.input);
    return std::make_unique<TDiscRun>(host, request, std::move(opened));
}

} // namespace

const TInputKindRow kDvdVideoKind = {
    .id = "dvd-video",
    .probe = Probe,
    .brokenPromise = BrokenPromise,
    .offersTitles = true,
    .offersTracks = false,
    .takesInputFormat = false,
    .namesOwnOutputs = true,
    .selectionRefusal = AnySelection,
    .describe = Describe,
    .proposeOutput = ProposeOutput,
    .plan = Plan,
    .makeRun = MakeDiscRun,
    .readTitles = ReadDiscChoices,
};
