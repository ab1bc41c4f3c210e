#include "disc/DiscListing.h"

#include "texts/Messages.h"

#include <cstdio>

namespace {

std::string AudioLine(const TDiscAudio& audio) {
    char line[160];
    if (audio.codec == TAudioCodec::Lpcm && audio.bits == 0)
        std::snprintf(line, sizeof line, "  Audio %d: %s, %d Hz, %d ch", audio.number, msg::kReservedLpcm,
                      audio.rate, audio.channels);
    else if (audio.codec == TAudioCodec::Lpcm)
        std::snprintf(line, sizeof line, "  Audio %d: LPCM %d bit, %d Hz, %d ch", audio.number, audio.bits,
                      audio.rate, audio.channels);
    else
        std::snprintf(line, sizeof line, "  Audio %d: %s, %d ch, %s", audio.number,
                      AudioCodecName(audio.codec), audio.channels, msg::kNotConvertible);
    std::string text = line;
    if (!audio.language.empty())
        text += ", " + audio.language;
    return text + "\n";
}

} // namespace

std::string FormatTicks(int64_t ticks) {
    const int64_t ms = (ticks + 45) / 90;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string FormatDiscListing(const std::string& label, const std::vector<TDiscTitle>& titles) {
    std::string text = "Disc " + label + ": " + std::to_string(titles.size()) +
                       (titles.size() == 1 ? " title\n" : " titles\n");
    for (const TDiscTitle& title : titles) {
        text += "Title " + std::to_string(title.number) + ": " + FormatTicks(title.durationTicks) + ", " +
                std::to_string(title.chapters.size()) + " chapters\n";
        for (const TDiscChapter& chapter : title.chapters)
            text += "  Chapter " + std::to_string(chapter.number) + ": start " +
                    FormatTicks(chapter.startTicks) + ", length " + FormatTicks(chapter.lengthTicks) + "\n";
        if (title.audio.empty())
            text += "  No audio\n";
        for (const TDiscAudio& audio : title.audio)
            text += AudioLine(audio);
    }
    return text;
}
