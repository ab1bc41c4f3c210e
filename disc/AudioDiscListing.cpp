#include "disc/AudioDiscListing.h"

#include "disc/AudioTitleStream.h"
#include "disc/DiscListing.h"
#include "texts/AudioDiscTexts.h"
#include "texts/ListingTexts.h"

namespace {

// Sample periods at `rate` as 90 kHz ticks, rounded.
int64_t Ticks(int64_t frames, int rate) {
    return rate > 0 ? (frames * 90000 + rate / 2) / rate : 0;
}

// A PCM title whose first packet carries the pre-emphasis flag, as a conversion takes it.
bool StartsWithEmphasis(const TAudioDisc& disc, const TAudioDiscTitle& title) {
    if (title.format.coding != TAobCoding::Pcm || title.tracks.empty())
        return false;
    std::string error;
    const std::unique_ptr<TAudioTitleStream> stream =
        TAudioTitleStream::Open(disc, title, 1, static_cast<int>(title.tracks.size()), error);
    return stream && stream->Emphasis();
}

} // namespace

std::string FormatAudioDiscListing(const TAudioDisc& disc) {
    std::string text = listing_text::AudioDisc(disc.Label(), disc.Titles().size(), disc.Hybrid()) + "\n";
    for (const TAudioDiscTitle& title : disc.Titles()) {
        const std::string format = title.tracks.empty() ? "" : title.format.Describe();
        if (!title.unconvertible.empty()) {
            text += listing_text::UnconvertibleAudioTitle(title.number, title.unconvertible, format) + "\n";
            continue;
        }
        const int rate = title.format.rate[0];
        text += listing_text::AudioTitle(title.number, FormatTicks(title.lengthPts), title.tracks.size(),
                                         format) +
                (StartsWithEmphasis(disc, title) ? listing_text::kPreEmphasis : "") + "\n";
        for (size_t k = 0; k < title.tracks.size(); ++k) {
            const TAudioDiscTrack& track = title.tracks[k];
            const int64_t start = Ticks(track.startFrame, rate);
            const int64_t length = Ticks(title.TrackEndFrame(k), rate) - start;
            text += listing_text::AudioTrack(track.number, FormatTicks(start), FormatTicks(length)) + "\n";
        }
    }
    return text;
}
