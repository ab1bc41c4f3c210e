#include "InputListing.h"

#include "disc/Disc.h"
#include "disc/DiscListing.h"
#include "dvd/FileStreamSource.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "engine/SampleGroup.h"
#include "run/InputKind.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"
#include "wave/WaveScanner.h"

namespace {

std::string Groups(int64_t bytes) {
    return std::to_string(bytes > 0 ? bytes / kGroupBytes : 0) + " groups of 4 samples";
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
        text = disc ? FormatDiscListing(disc->Label(), disc->Titles()) : error;
        return disc != nullptr;
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
        text = "DVD program stream, " + std::to_string(tracks.size()) +
               (tracks.size() == 1 ? " audio track\n" : " audio tracks\n");
        int lpcm = 0;
        for (const TAudioTrack& track : tracks)
            text += "  " + (track.Convertible() ? "Track " + std::to_string(++lpcm) + ": " : std::string()) +
                    track.Describe() + "\n";
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
    text = offset == 0 ? "raw 20-bit LPCM (big-endian), " + Groups(size) + "\n"
                       : "WAVE file with swapped byte pairs, data at byte " + std::to_string(offset) + ", " +
                             Groups(size - offset) + "\n";
    return true;
}
