#include "disc/DiscListing.h"

#include "texts/JsonText.h"
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

TChapterSpan ChapterSpan(const TDiscTitle& title, size_t k, const TChapterAudio* cuts) {
    TChapterSpan span{title.chapters[k].startTicks, title.chapters[k].lengthTicks};
    // Past a change of format the audio was not read: the chapter's own times stand.
    if (cuts == nullptr || cuts->starts.size() != title.chapters.size() ||
        (cuts->formatChangeChapter > 0 && static_cast<int>(k) + 1 >= cuts->formatChangeChapter))
        return span;
    const int64_t end = k + 1 < cuts->starts.size() ? cuts->starts[k + 1] : cuts->frames;
    const auto ticks = [cuts](int64_t frames) {
        return (frames * kTicksPerSecond + cuts->rate / 2) / cuts->rate;
    };
    span.startTicks = ticks(cuts->starts[k]);
    span.lengthTicks = ticks(end) - span.startTicks;
    span.startSample = cuts->starts[k];
    span.samples = end - cuts->starts[k];
    return span;
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
            const TChapterSpan span =
                ChapterSpan(title, k, cuts != chapterAudio.end() ? &cuts->second : nullptr);
            text += listing_text::Chapter(title.chapters[k].number, FormatTicks(span.startTicks),
                                          FormatTicks(span.lengthTicks)) +
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

namespace {

// Ticks as seconds, rounded to the millisecond as the text listing rounds them.
std::string JsonSeconds(int64_t ticks) {
    return json_text::Seconds((ticks + 45) / 90);
}

std::string JsonAudio(const TDiscAudio& audio, bool emphasis) {
    json_text::TObject item;
    item.Number("number", audio.number).Text("codec", AudioCodecName(audio.codec));
    if (audio.codec == TAudioCodec::Lpcm)
        item.Number("bits", audio.bits);
    item.Number("rate", audio.rate).Number("channels", audio.channels);
    if (!audio.language.empty())
        item.Text("language", audio.language);
    // LPCM of the reserved quantisation has no bits and is not converted.
    return item.Flag("convertible", audio.codec == TAudioCodec::Lpcm && audio.bits != 0)
        .Flag("pre_emphasis", emphasis)
        .Done();
}

std::string JsonTitle(const TDiscTitle& title, const TChapterAudio* cuts) {
    json_text::TObject item;
    item.Number("number", title.number).Number("title_set", title.titleSet);
    if (!title.unreadable.empty())
        return item.Text("unreadable", title.unreadable).Done();
    item.Add("seconds", JsonSeconds(title.durationTicks));
    std::vector<std::string> chapters, audio, notes;
    for (size_t k = 0; k < title.chapters.size(); ++k) {
        const TChapterSpan span = ChapterSpan(title, k, cuts);
        json_text::TObject chapter;
        chapter.Number("number", title.chapters[k].number)
            .Add("start_seconds", JsonSeconds(span.startTicks))
            .Add("length_seconds", JsonSeconds(span.lengthTicks));
        if (span.startSample >= 0)
            chapter.Number("start_samples", span.startSample).Number("length_samples", span.samples);
        chapters.push_back(chapter.Done());
    }
    for (const TDiscAudio& stream : title.audio)
        audio.push_back(JsonAudio(stream, cuts != nullptr && cuts->emphasis && &stream == title.FirstLpcm()));
    for (const std::string& note : title.notes)
        notes.push_back(json_text::String(note));
    return item.Add("chapters", json_text::Array(chapters))
        .Add("audio", json_text::Array(audio))
        .Add("notes", json_text::Array(notes))
        .Done();
}

} // namespace

std::string DiscListingJson(const std::string& label, const std::vector<TDiscTitle>& titles,
                            const std::map<int, TChapterAudio>& chapterAudio) {
    std::vector<std::string> items;
    for (const TDiscTitle& title : titles) {
        const auto cuts = chapterAudio.find(title.number);
        items.push_back(JsonTitle(title, cuts != chapterAudio.end() ? &cuts->second : nullptr));
    }
    return json_text::TObject()
        .Text("kind", "dvd-video")
        .Text("label", label)
        .Add("titles", json_text::Array(items))
        .Members();
}
