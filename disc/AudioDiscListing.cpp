#include "disc/AudioDiscListing.h"

#include "disc/AudioTitleStream.h"
#include "disc/DiscListing.h"
#include "texts/AudioDiscTexts.h"
#include "texts/JsonText.h"
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

std::string AudioDiscListingJson(const TAudioDisc& disc) {
    std::vector<std::string> titles;
    for (const TAudioDiscTitle& title : disc.Titles()) {
        const int rate = title.format.rate[0];
        const bool convertible = title.unconvertible.empty();
        json_text::TObject item;
        item.Number("number", title.number)
            .Number("title_set", title.titleSet)
            .Add("seconds", json_text::Seconds((title.lengthPts + 45) / 90));
        if (!convertible)
            item.Text("unconvertible", title.unconvertible);
        std::vector<std::string> chapters, audio;
        // A title's tracks are what --chapters cuts it into.
        for (size_t k = 0; k < title.tracks.size(); ++k) {
            const int64_t start = title.tracks[k].startFrame, end = title.TrackEndFrame(k);
            chapters.push_back(json_text::TObject()
                                   .Number("number", title.tracks[k].number)
                                   .Add("start_seconds", json_text::Seconds((Ticks(start, rate) + 45) / 90))
                                   .Add("length_seconds",
                                        json_text::Seconds((Ticks(end, rate) - Ticks(start, rate) + 45) / 90))
                                   .Number("start_samples", start)
                                   .Number("length_samples", end - start)
                                   .Done());
        }
        // One stream: the title's format, as the text listing describes it too.
        if (!title.tracks.empty())
            audio.push_back(json_text::TObject()
                                .Number("number", 1)
                                .Text("codec", title.format.coding == TAobCoding::Pcm   ? "PCM"
                                               : title.format.coding == TAobCoding::Mlp ? "MLP"
                                                                                        : "unknown")
                                .Number("bits", title.format.OutputBits())
                                .Number("rate", rate)
                                .Number("channels", title.format.Channels())
                                .Text("format", title.format.Describe())
                                .Flag("convertible", convertible)
                                .Flag("pre_emphasis", convertible && StartsWithEmphasis(disc, title))
                                .Done());
        titles.push_back(
            item.Add("chapters", json_text::Array(chapters)).Add("audio", json_text::Array(audio)).Done());
    }
    return json_text::TObject()
        .Text("kind", "dvd-audio")
        .Text("label", disc.Label())
        .Flag("hybrid", disc.Hybrid())
        .Add("titles", json_text::Array(titles))
        .Members();
}
