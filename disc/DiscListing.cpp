#include "disc/DiscListing.h"

#include "texts/ListingTexts.h"
#include "texts/Messages.h"

#include <cstdio>

std::string DescribeDiscAudio(const TDiscAudio& audio) {
    char line[160];
    if (audio.codec == TAudioCodec::Lpcm && audio.bits == 0)
        std::snprintf(line, sizeof line, listing_text::kReservedLpcmAudio, msg::kReservedLpcm, audio.rate,
                      audio.channels);
    else if (audio.codec == TAudioCodec::Lpcm)
        std::snprintf(line, sizeof line, listing_text::kLpcmAudio, audio.bits, audio.rate, audio.channels);
    else
        std::snprintf(line, sizeof line, listing_text::kOtherAudio, AudioCodecName(audio.codec),
                      audio.channels, msg::kNotConvertible);
    std::string text = line;
    if (!audio.language.empty())
        text += ", " + audio.language;
    return text;
}

std::string FormatTicks(int64_t ticks) {
    const int64_t ms = (ticks + 45) / 90;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string FormatDiscListing(const std::string& label, const std::vector<TDiscTitle>& titles,
                              const std::map<int, TChapterAudio>& chapterAudio) {
    std::string text = listing_text::Disc(label, titles.size()) + "\n";
    for (const TDiscTitle& title : titles) {
        if (!title.unreadable.empty()) {
            text += listing_text::UnreadableTitle(title.number, title.unreadable) + "\n";
            continue;
        }
        text +=
            listing_text::Title(title.number, FormatTicks(title.durationTicks), title.chapters.size()) + "\n";
        const auto cuts = chapterAudio.find(title.number);
        for (size_t k = 0; k < title.chapters.size(); ++k) {
            int64_t start = title.chapters[k].startTicks, length = title.chapters[k].lengthTicks;
            // Past a change of format the audio was not read: the chapter's own times stand.
            const int changeChapter = cuts != chapterAudio.end() ? cuts->second.formatChangeChapter : 0;
            if (cuts != chapterAudio.end() && cuts->second.starts.size() == title.chapters.size() &&
                (changeChapter == 0 || static_cast<int>(k) + 1 < changeChapter)) {
                const TChapterAudio& found = cuts->second;
                const int64_t end = k + 1 < found.starts.size() ? found.starts[k + 1] : found.frames;
                const auto ticks = [&found](int64_t frames) {
                    return (frames * kTicksPerSecond + found.rate / 2) / found.rate;
                };
                start = ticks(found.starts[k]);
                length = ticks(end) - start;
            }
            text += listing_text::Chapter(title.chapters[k].number, FormatTicks(start), FormatTicks(length)) +
                    "\n";
        }
        if (title.audio.empty())
            text += std::string(listing_text::kNoAudio) + "\n";
        // The stream the chapters were found in is the one read: what its packets say is known.
        const bool emphasis = cuts != chapterAudio.end() && cuts->second.emphasis;
        for (const TDiscAudio& audio : title.audio)
            text += listing_text::AudioLine(audio.number, DescribeDiscAudio(audio)) +
                    (emphasis && &audio == title.FirstLpcm() ? listing_text::kPreEmphasis : "") + "\n";
        for (const std::string& note : title.notes)
            text += listing_text::Note(note) + "\n";
        if (cuts != chapterAudio.end() && cuts->second.formatChangeChapter > 0)
            text +=
                listing_text::Note(listing_text::FormatChangesInChapter(cuts->second.formatChangeChapter)) +
                "\n";
    }
    return text;
}
