#include "InputListing.h"

#include "disc/Disc.h"
#include "disc/DiscListing.h"
#include "dvd/FileStreamSource.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "engine/SampleGroup.h"
#include "run/InputKind.h"
#include "texts/ListingTexts.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"
#include "wave/WaveScanner.h"

namespace {

int64_t Groups(int64_t bytes) {
    return bytes > 0 ? bytes / kGroupBytes : 0;
}

// Where the packings of a track's layout differ, the one its start shows.
std::string PackingText(const TAudioTrack& track) {
    if (!track.Convertible() || !PackingsDiffer(track.format))
        return {};
    return track.packing == TLpcmPacking::Quads ? msg::kListQuads : msg::kListPairs;
}

} // namespace

bool DescribeInput(const std::string& input, std::string& text) {
    std::string refusal;
    const TInputKind kind = ClassifyInput(input, &refusal);
    if (kind == TInputKind::Refused) {
        text = refusal;
        return false;
    }
    if (kind == TInputKind::Disc) {
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
        text = FormatDiscListing(disc->Label(), disc->Titles(), chapterAudio);
        return true;
    }
    std::string error;
    const std::unique_ptr<TMMIOFile> file =
        OpenWaveRead(input, [&error](const std::string& message) { error = message; });
    if (!file || !file->Opened()) {
        text = error.empty() ? msg::kCannotOpenInput : error;
        return false;
    }
    if (kind == TInputKind::ProgramStream) {
        TFileStreamSource source(*file);
        const std::vector<TAudioTrack> tracks = ListAudioTracks(source);
        text = listing_text::ProgramStream(tracks.size()) + "\n";
        int lpcm = 0;
        for (const TAudioTrack& track : tracks)
            text += "  " + (track.Convertible() ? listing_text::Track(++lpcm) : std::string()) +
                    track.Describe() + PackingText(track) + "\n";
        return true;
    }
    TWaveHeader header{};
    bool readFailed = false;
    const int64_t offset = FindWaveData(*file, header, readFailed);
    if (readFailed) {
        text = msg::kReadFailed;
        return false;
    }
    const int64_t size = file->SeekToEnd();
    text = (offset == 0 ? listing_text::RawInput(Groups(size))
                        : listing_text::SwappedWave(offset, Groups(size - offset))) +
           "\n";
    return true;
}
