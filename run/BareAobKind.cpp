// A bare DVD-Audio AOB file, copied out of a disc's AUDIO_TS folder: its first audio stream, whole. A
// program stream by its content, told from a VOB by its name; before the program-stream row in the table.
#include "run/InputKindRows.h"

#include "dvd/ProgramStreamDemuxer.h"
#include "run/BareAobRun.h"
#include "run/FileOutputs.h"
#include "run/NameProposal.h"
#include "texts/AudioDiscTexts.h"
#include "texts/Messages.h"

namespace {

bool NamedAob(const std::string& path) {
    std::string ending = FileExtension(path);
    for (char& c : ending)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return ending == ".aob";
}

TProbe Probe(const std::string& path, std::span<const uint8_t> start) {
    return NamedAob(path) && IsProgramStream(start.data(), start.size()) ? TProbe::Yes : TProbe::No;
}

const char* BrokenPromise(const std::string& path) {
    return NamedAob(path) ? msg::kBareAobFile : nullptr;
}

// The file has no titles or chapters, and only its first stream converts.
const char* SelectionRefusal(const TSelection& selection) {
    if (selection.title > 0 || selection.chapters)
        return msg::kDiscOptionsOnly;
    return selection.track > 1 ? msg::kBareAobOneStream : nullptr;
}

std::unique_ptr<TRun> MakeRun(TRunHost& host, const TRunRequest& request, TInputPlan&,
                              const TRawRunFactory&) {
    return std::make_unique<TBareAobRun>(host, request);
}

} // namespace

const TInputKindRow kBareAobKind = {
    .id = "dvd-audio-aob",
    .probe = Probe,
    .brokenPromise = BrokenPromise,
    .offersTitles = false,
    .offersTracks = false,
    .takesInputFormat = false,
    .namesOwnOutputs = false,
    .selectionRefusal = SelectionRefusal,
    .describe = DescribeBareAob,
    .proposeOutput = ProposeOutputName,
    .plan = PlanFileOutput,
    .makeRun = MakeRun,
};
