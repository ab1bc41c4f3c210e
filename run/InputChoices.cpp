#include "run/InputChoices.h"

#include "disc/Disc.h"
#include "disc/DiscListing.h"
#include "disc/DiscNames.h"
#include "dvd/FileStreamSource.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "texts/Messages.h"
#include "wave/WaveOpeners.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

std::string TitleLength(int64_t ticks) {
    constexpr int64_t kTicksPerTenth = 9000;
    const int64_t tenths = (std::max<int64_t>(ticks, 0) + kTicksPerTenth / 2) / kTicksPerTenth;
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", static_cast<long long>(tenths / 36000),
                  static_cast<long long>(tenths / 600 % 60), static_cast<long long>(tenths / 10 % 60),
                  static_cast<long long>(tenths % 10));
    return text;
}

bool ReadDiscChoices(const std::string& disc, TDiscChoices& choices, std::string& error) {
    const std::unique_ptr<TDisc> opened = TDisc::Open(disc, error);
    if (!opened)
        return false;
    choices = {};
    choices.label = opened->Label();
    choices.folder = FolderBesideDisc(disc);
    for (const TDiscTitle& title : opened->Titles()) {
        TTitleChoice choice;
        choice.number = title.number;
        choice.titleSet = title.titleSet;
        if (!title.unreadable.empty()) {
            choice.unreadable = title.unreadable;
            choice.refusal = msg::TitleUnreadable(title.number, title.unreadable);
            choices.titles.push_back(std::move(choice));
            continue;
        }
        choice.notes = title.notes;
        choice.length = TitleLength(title.durationTicks);
        choice.chapters = static_cast<int>(title.chapters.size());
        std::vector<TAudioCodec> codecs;
        for (const TDiscAudio& audio : title.audio) {
            const bool lpcm = audio.codec == TAudioCodec::Lpcm && audio.bits > 0;
            choice.audio.push_back({audio.number, DescribeDiscAudio(audio), lpcm, audio.rate, audio.bits,
                                    lpcm && PackingsDiffer({audio.bits, audio.rate, audio.channels})});
            codecs.push_back(audio.codec);
        }
        if (!title.FirstLpcm())
            choice.refusal = msg::TitleWithoutLpcm(title.number, JoinedCodecNames(codecs));
        choices.titles.push_back(std::move(choice));
    }
    if (const TDiscTitle* title = DefaultTitleFor(*opened, disc))
        choices.preferredTitle = title->number;
    return true;
}

std::vector<TAudioChoice> ReadLpcmTracks(const std::string& stream) {
    std::vector<TAudioChoice> choices;
    const std::unique_ptr<TMMIOFile> file = OpenWaveRead(stream, [](const std::string&) {});
    if (!file || !file->Opened())
        return choices;
    TFileStreamSource source(*file);
    for (const TAudioTrack& track : ListAudioTracks(source))
        if (track.Convertible())
            choices.push_back({static_cast<int>(choices.size()) + 1, track.Describe(), true,
                               track.format.sampleRate, track.format.bits});
    return choices;
}

std::string DiscOutputFor(const TDiscChoices& choices, int title, bool chapters,
                          const TOutputFormatRow& format) {
    if (chapters)
        return choices.folder;
    return (std::filesystem::path(choices.folder) / DiscOutputName(choices.label, title, 0, format.extension))
        .string();
}
