// A DVD program stream (.VOB, .MPG): one of its LPCM tracks, whole.
#include "run/InputKindRows.h"

#include "dvd/AudioTrack.h"
#include "dvd/FileStreamSource.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "run/FileOutputs.h"
#include "run/Run.h"
#include "run/StreamRun.h"
#include "texts/JsonText.h"
#include "texts/ListingTexts.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

class TProgramStreamRun final : public TRun {
public:
    TProgramStreamRun(TRunHost& host, const TRunRequest& request)
        : run_(host, request), track_(request.selection.track > 0 ? request.selection.track : 1) {}
    TRunResult Execute() override { return run_.ExecuteFile(track_); }
    TRunControl& Control() override { return run_; }

private:
    TStreamRun run_;
    int track_;
};

std::string Ending(const std::string& path) {
    std::string ending = std::filesystem::path(path).extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending;
}

TProbe Probe(const std::string&, std::span<const uint8_t> start) {
    return IsProgramStream(start.data(), start.size()) ? TProbe::Yes : TProbe::No;
}

const char* BrokenPromise(const std::string& path) {
    const std::string ending = Ending(path);
    return ending == ".vob" || ending == ".mpg" || ending == ".mpeg" ? msg::kNoProgramStream : nullptr;
}

const char* SelectionRefusal(const TSelection& selection) {
    return selection.title > 0 || selection.chapters ? msg::kDiscOptionsOnly : nullptr;
}

// Where the packings of a track's layout differ, the one its start shows.
std::string PackingText(const TAudioTrack& track) {
    if (!track.Convertible() || !PackingsDiffer(track.format))
        return {};
    return track.packing == TLpcmPacking::Quads ? msg::kListQuads : msg::kListPairs;
}

// LPCM tracks are numbered as --track counts them; the others have no number.
std::string JsonListing(const std::vector<TAudioTrack>& tracks) {
    std::vector<std::string> items;
    int lpcm = 0;
    for (const TAudioTrack& track : tracks) {
        json_text::TObject item;
        item.Add("number", track.Convertible() ? std::to_string(++lpcm) : "null")
            .Number("stream_id", track.id)
            .Text("codec", AudioCodecName(track.codec))
            .Flag("convertible", track.Convertible());
        if (track.Convertible()) {
            const int64_t frames = track.payloadBytes * 2 / track.format.BytesPerTwoFrames();
            item.Number("bits", track.format.bits)
                .Number("rate", track.format.sampleRate)
                .Number("channels", track.format.channels)
                .Number("samples", frames)
                .Add("seconds", json_text::Seconds((frames * 1000 + track.format.sampleRate / 2) /
                                                   track.format.sampleRate))
                .Text("packing", track.packing == TLpcmPacking::Quads ? "quads" : "pairs")
                .Flag("pre_emphasis", track.emphasis)
                .Flag("format_changes", track.formatChanges);
        }
        items.push_back(item.Done());
    }
    return json_text::TObject()
        .Text("kind", "program-stream")
        .Add("tracks", json_text::Array(items))
        .Members();
}

bool Describe(const std::string& input, TListingForm form, std::string& text) {
    const std::unique_ptr<TMMIOFile> file = OpenForListing(input, text);
    if (!file)
        return false;
    TFileStreamSource source(*file);
    const std::vector<TAudioTrack> tracks = ListAudioTracks(source);
    if (form == TListingForm::Json) {
        text = JsonListing(tracks);
        return true;
    }
    text = listing_text::ProgramStream(tracks.size()) + "\n";
    int lpcm = 0;
    for (const TAudioTrack& track : tracks)
        text += "  " + (track.Convertible() ? listing_text::Track(++lpcm) : std::string()) +
                track.Describe() + PackingText(track) + "\n";
    return true;
}

std::unique_ptr<TRun> MakeStreamRun(TRunHost& host, const TRunRequest& request, TInputPlan&,
                                    const TRawRunFactory&) {
    return std::make_unique<TProgramStreamRun>(host, request);
}

} // namespace

const TInputKindRow kProgramStreamKind = {
    .id = "program-stream",
    .probe = Probe,
    .brokenPromise = BrokenPromise,
    .offersTitles = false,
    .offersTracks = true,
    .takesInputFormat = false,
    .namesOwnOutputs = false,
    .selectionRefusal = SelectionRefusal,
    .describe = Describe,
    .proposeOutput = ProposeOutputName,
    .plan = PlanFileOutput,
    .makeRun = MakeStreamRun,
};
