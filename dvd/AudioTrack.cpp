#include "dvd/AudioTrack.h"

#include "texts/ListingTexts.h"
#include "texts/Messages.h"

#include <cstdio>
#include <set>

const char* AudioCodecName(TAudioCodec codec) {
    switch (codec) {
    case TAudioCodec::Lpcm:
        return "LPCM";
    case TAudioCodec::Ac3:
        return "AC-3";
    case TAudioCodec::Dts:
        return "DTS";
    case TAudioCodec::Sdds:
        return "SDDS";
    case TAudioCodec::MpegAudio:
        return "MPEG audio";
    case TAudioCodec::Mpeg1Audio:
        return "MPEG-1 audio";
    case TAudioCodec::Mpeg2Audio:
        return "MPEG-2 audio";
    case TAudioCodec::Other:
        break;
    }
    return "unknown";
}

std::string JoinedCodecNames(const std::vector<TAudioCodec>& codecs) {
    std::string names;
    std::set<std::string> seen;
    for (const TAudioCodec codec : codecs)
        if (seen.insert(AudioCodecName(codec)).second)
            names += (names.empty() ? "" : ", ") + std::string(AudioCodecName(codec));
    return names;
}

TAudioCodec PrivateStreamCodec(uint8_t subStreamId) {
    if (subStreamId >= 0xA0 && subStreamId <= 0xA7)
        return TAudioCodec::Lpcm;
    if (subStreamId >= 0x80 && subStreamId <= 0x87)
        return TAudioCodec::Ac3;
    if (subStreamId >= 0x88 && subStreamId <= 0x8F)
        return TAudioCodec::Dts;
    if (subStreamId >= 0x90 && subStreamId <= 0x97)
        return TAudioCodec::Sdds;
    return TAudioCodec::Other;
}

double TAudioTrack::Seconds() const {
    if (codec != TAudioCodec::Lpcm)
        return 0;
    return static_cast<double>(payloadBytes) * 2 / format.BytesPerTwoFrames() / format.sampleRate;
}

std::string FormatPlayTime(double seconds) {
    const auto tenthsTotal = static_cast<long long>(seconds * 10);
    const long long whole = tenthsTotal / 10;
    char text[48];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", whole / 3600, whole / 60 % 60, whole % 60,
                  tenthsTotal % 10);
    return text;
}

std::string TAudioTrack::Describe() const {
    char text[96];
    if (codec != TAudioCodec::Lpcm) {
        std::snprintf(text, sizeof text, listing_text::kOtherTrack, AudioCodecName(codec),
                      msg::kNotConvertible);
        return text;
    }
    std::snprintf(text, sizeof text, listing_text::kLpcmTrack, format.bits, format.sampleRate,
                  format.channels, format.channels == 1 ? "" : "s");
    return text + FormatPlayTime(Seconds()) + (formatChanges ? listing_text::kFormatChangesAfter : "") +
           (emphasis ? listing_text::kPreEmphasis : "");
}
