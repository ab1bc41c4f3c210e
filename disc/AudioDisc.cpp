#include "disc/AudioDisc.h"

#include "disc/AobSource.h"
#include "disc/DiscContent.h"
#include "disc/Scrambling.h"
#include "dvd/AobChannels.h"
#include "dvd/AobPcm.h"
#include "texts/AudioDiscTexts.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr int64_t kSector = 2048;
// The longest information file taken: far more than any disc's tables.
constexpr int64_t kMaxInfoBytes = 1 << 20;
// Packs read at the start of each title to look for scrambling.
constexpr int64_t kPacksChecked = 64;

// The whole file, or nothing when it is missing, too long or a read of it fails; `present` is set when the
// file is there.
std::optional<std::vector<uint8_t>> ReadInfoFile(const TAudioTsVolume& volume, const std::string& name,
                                                 bool& present) {
    const TAudioTsFile* file = volume.File(name);
    if (file == nullptr)
        return std::nullopt;
    present = true;
    if (file->size > kMaxInfoBytes)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(file->size));
    if (!volume.Read(*file, 0, bytes.data(), bytes.size()))
        return std::nullopt;
    return bytes;
}

enum class TPick { Taken, Missing, Unreadable, Differ };

// An information file read from itself and from its backup: the two must agree where both could be read;
// where only one could, that one is taken.
template <typename TInfo, typename TParse>
TPick ReadChecked(const TAudioTsVolume& volume, const std::string& stem, TParse parse, TInfo& info) {
    bool present = false;
    std::optional<TInfo> parsed[2];
    for (int backup = 0; backup < 2; ++backup)
        if (const auto bytes = ReadInfoFile(volume, stem + (backup ? ".BUP" : ".IFO"), present))
            parsed[backup] = parse(std::span<const uint8_t>(*bytes));
    if (parsed[0] && parsed[1] && !(*parsed[0] == *parsed[1]))
        return TPick::Differ;
    if (!parsed[0] && !parsed[1])
        return present ? TPick::Unreadable : TPick::Missing;
    info = parsed[0] ? *parsed[0] : *parsed[1];
    return TPick::Taken;
}

TAudioDiscFormat FormatOf(const TAtsAttributes& attributes) {
    TAudioDiscFormat format;
    format.coding = attributes.coding;
    const TAobChannelAssignment* assignment = AobChannelAssignment(attributes.assignment);
    format.assignment = assignment != nullptr ? attributes.assignment : -1;
    for (int g = 0; g < 2; ++g) {
        const bool absent = g == 1 && (attributes.bitsCode[1] == 0xF || attributes.rateCode[1] == 0xF ||
                                       (assignment != nullptr && assignment->group2 == 0));
        format.bits[g] = absent ? 0 : AobBits(attributes.bitsCode[g]);
        format.rate[g] = absent ? 0 : AobRate(attributes.rateCode[g]);
        if (!absent && (format.bits[g] == 0 || format.rate[g] == 0))
            format.assignment = -1; // a reserved code: the format is not known
    }
    return format;
}

bool KnownFormat(const TAudioDiscFormat& format) {
    return format.assignment >= 0 && format.bits[0] != 0 && format.rate[0] != 0;
}

std::string TitleSetStem(int titleSet) {
    char stem[16];
    std::snprintf(stem, sizeof stem, "ATS_%02d_0", titleSet % 100);
    return stem;
}

// Why a title cannot be converted, judged from its tables alone; empty when it can.
std::string Unconvertible(const TAudioDiscTitle& title) {
    for (const TAudioDiscTrack& track : title.tracks) {
        if (track.format.coding == TAobCoding::Other || !KnownFormat(track.format))
            return msg::kAudioTitleUnknownCoding;
        if (!(track.format == title.format))
            return msg::kAudioTitleMixedFormats;
    }
    if (!title.format.OneRate())
        return msg::kAudioTitleMixedRates;
    return "";
}

TAudioDiscTitle MakeTitle(const TAtsTitle& raw, const TAudioTitleSetInfo& set, int64_t aobSectors) {
    TAudioDiscTitle title;
    title.lengthPts = raw.lengthPts;
    if (!raw.fault.empty()) {
        title.unconvertible = raw.fault;
        return title;
    }
    for (const TAtsCell& cell : raw.cells)
        title.cells.push_back({cell.firstSector, cell.lastSector});
    for (size_t t = 0; t < raw.tracks.size(); ++t) {
        const TAtsTrack& source = raw.tracks[t];
        TAudioDiscTrack track;
        track.number = static_cast<int>(t) + 1;
        track.firstPts = source.firstPts;
        track.lengthPts = source.lengthPts;
        track.firstCell = source.firstCell;
        const int nextCell =
            t + 1 < raw.tracks.size() ? raw.tracks[t + 1].firstCell : static_cast<int>(raw.cells.size());
        track.cellCount = nextCell - source.firstCell;
        track.format = FormatOf(set.attributes[static_cast<size_t>(source.attributes)]);
        title.tracks.push_back(track);
    }
    title.format = title.tracks.front().format;
    title.unconvertible = Unconvertible(title);
    if (title.unconvertible.empty()) {
        // Track starts on the title's audio clock, never before the previous one.
        const int64_t origin = title.tracks.front().firstPts;
        int64_t previous = 0;
        for (TAudioDiscTrack& track : title.tracks) {
            const int64_t ticks = std::max<int64_t>(0, track.firstPts - origin);
            track.startFrame = std::max(
                previous, NearestGroupStart(ticks, title.format.rate[0], title.format.FramesPerUnit()));
            previous = track.startFrame;
        }
    }
    if (title.unconvertible.empty() && aobSectors == 0)
        title.unconvertible = msg::kAudioTitleNoAob;
    for (const TAudioDiscCell& cell : title.cells)
        if (title.unconvertible.empty() && cell.lastSector >= aobSectors)
            title.unconvertible = msg::kAudioTitleCellsOutside;
    return title;
}

bool TitleScrambled(const std::shared_ptr<const TAudioTsVolume>& volume,
                    const std::vector<const TAudioTsFile*>& files, const TAudioDiscTitle& title) {
    const TAudioDiscCell& first = title.cells.front();
    const int64_t sectors =
        std::min<int64_t>(kPacksChecked, int64_t{first.lastSector} - first.firstSector + 1);
    std::vector<TAudioDiscCell> cells{
        {first.firstSector, static_cast<uint32_t>(first.firstSector + sectors - 1)}};
    TAobSource source(volume, files, cells);
    std::vector<uint8_t> packs(static_cast<size_t>(sectors * kSector));
    while (source.Read(packs.data(), static_cast<int64_t>(packs.size())) > 0) {
    }
    return source.Error() == msg::kAudioDiscProtected;
}

} // namespace

int TAudioDiscFormat::Channels() const {
    const TAobChannelAssignment* channels = AobChannelAssignment(assignment);
    if (channels == nullptr)
        return 0;
    return HasGroup2() ? channels->Channels() : channels->group1;
}

int TAudioDiscFormat::OutputBits() const {
    return std::max(bits[0], bits[1]);
}

uint32_t TAudioDiscFormat::ChannelMask() const {
    const TAobChannelAssignment* channels = AobChannelAssignment(assignment);
    return channels != nullptr ? ::ChannelMask(*channels, HasGroup2()) : 0;
}

std::string TAudioDiscFormat::Speakers() const {
    return SpeakerNames(assignment, HasGroup2());
}

int TAudioDiscFormat::FramesPerUnit() const {
    if (coding != TAobCoding::Mlp)
        return 2;
    // An MLP access unit is 1/1200 s at 48 and 44.1 kHz (40 samples), with the samples doubling with the
    // rate.
    const int base = rate[0] % 44100 == 0 ? 44100 : 48000;
    return 40 * std::max(1, rate[0] / base);
}

std::string TAudioDiscFormat::Describe() const {
    const std::string name = coding == TAobCoding::Pcm   ? "PCM"
                             : coding == TAobCoding::Mlp ? "MLP"
                                                         : "unknown coding";
    const TAobChannelAssignment* channels = AobChannelAssignment(assignment);
    if (channels == nullptr || bits[0] == 0 || rate[0] == 0)
        return name + " (format unknown)";
    if (!OneRate()) {
        return name + " " + std::to_string(bits[0]) + " bit " + std::to_string(rate[0]) + " Hz (" +
               SpeakerNames(assignment, false) + ") + " + std::to_string(bits[1]) + " bit " +
               std::to_string(rate[1]) + " Hz (the other " + std::to_string(channels->group2) + " ch)";
    }
    std::string bitsText = std::to_string(bits[0]);
    if (HasGroup2() && bits[1] != bits[0])
        bitsText += "/" + std::to_string(bits[1]);
    return name + " " + bitsText + " bit, " + std::to_string(rate[0]) + " Hz, " + std::to_string(Channels()) +
           " ch (" + Speakers() + ")";
}

int64_t TAudioDiscTitle::Frames() const {
    if (format.rate[0] == 0)
        return 0;
    return NearestGroupStart(lengthPts, format.rate[0], format.FramesPerUnit());
}

int64_t TAudioDiscTitle::TrackEndFrame(size_t index) const {
    if (index + 1 < tracks.size())
        return tracks[index + 1].startFrame;
    return std::max(Frames(), tracks[index].startFrame);
}

bool LooksLikeAudioDisc(const std::string& path, bool* readFailed) {
    return TAudioTsVolume::Locate(path, readFailed) != nullptr;
}

bool LooksLikeHybridDisc(const std::string& path, bool* readFailed) {
    const std::shared_ptr<TAudioTsVolume> volume = TAudioTsVolume::Locate(path, readFailed);
    return volume && volume->HasVideoTs();
}

std::unique_ptr<TAudioDisc> TAudioDisc::Open(const std::string& path, std::string& error) {
    bool readFailed = false;
    std::shared_ptr<TAudioTsVolume> volume = TAudioTsVolume::Locate(path, &readFailed);
    if (!volume) {
        error = readFailed ? msg::kReadFailed : msg::kNoAudioDisc;
        return nullptr;
    }
    std::unique_ptr<TAudioDisc> disc(new TAudioDisc);
    disc->volume_ = volume;

    // The manager only says how many title sets there are: when it cannot be read, they are found by name.
    const bool haveManager =
        ReadChecked(*volume, "AUDIO_TS", ParseAudioManager, disc->manager_) == TPick::Taken;
    std::vector<int> sets;
    for (int set = 1; set <= 99; ++set) {
        const bool named = haveManager && set <= disc->manager_.audioTitleSets;
        const bool found =
            volume->File(TitleSetStem(set) + ".IFO") || volume->File(TitleSetStem(set) + ".BUP");
        if (named || found)
            sets.push_back(set);
    }

    for (const int set : sets) {
        TAudioTitleSetInfo info;
        const std::string stem = TitleSetStem(set);
        switch (ReadChecked(*volume, stem, ParseAudioTitleSet, info)) {
        case TPick::Taken:
            break;
        case TPick::Missing:
            error = msg::AudioTitleSetMissing(set);
            return nullptr;
        case TPick::Unreadable:
            error = msg::AudioIfoUnreadable(stem + ".IFO");
            return nullptr;
        case TPick::Differ:
            error = msg::AudioIfoDisagrees(stem + ".IFO");
            return nullptr;
        }
        const std::vector<const TAudioTsFile*> files = AobFiles(*volume, set);
        const int64_t aobSectors = AobSectors(files);
        for (size_t t = 0; t < info.titles.size(); ++t) {
            TAudioDiscTitle title = MakeTitle(info.titles[t], info, aobSectors);
            title.number = static_cast<int>(disc->titles_.size()) + 1;
            title.titleSet = set;
            title.titleInSet = static_cast<int>(t) + 1;
            if (title.unconvertible.empty() && TitleScrambled(volume, files, title)) {
                error = msg::kAudioDiscProtected;
                return nullptr;
            }
            disc->titles_.push_back(std::move(title));
        }
    }
    if (disc->titles_.empty()) {
        error = msg::kAudioDiscNoTitles;
        return nullptr;
    }
    return disc;
}

const TAudioDiscTitle* TAudioDisc::Title(int number) const {
    for (const TAudioDiscTitle& title : titles_)
        if (title.number == number)
            return &title;
    return nullptr;
}

std::unique_ptr<TAobSource> TAudioDisc::OpenCells(const TAudioDiscTitle& title, size_t firstCell,
                                                  size_t lastCell, std::string& error) const {
    std::vector<const TAudioTsFile*> files = AobFiles(*volume_, title.titleSet);
    if (files.empty() || firstCell > lastCell || lastCell >= title.cells.size()) {
        error = msg::kAudioDiscReadFailed;
        return nullptr;
    }
    std::vector<TAudioDiscCell> cells(title.cells.begin() + static_cast<std::ptrdiff_t>(firstCell),
                                      title.cells.begin() + static_cast<std::ptrdiff_t>(lastCell) + 1);
    return std::make_unique<TAobSource>(volume_, std::move(files), std::move(cells));
}
