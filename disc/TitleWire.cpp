#include "disc/TitleWire.h"

#include "texts/Messages.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int64_t kMaxTitles = 99, kMaxTitleSets = 99, kMaxChapters = 999, kMaxAudio = 8, kMaxVobParts = 9;
constexpr int64_t kMaxCells = 255 * 999; // 255 cells in each program chain a title's chapters name
constexpr int64_t kMaxLabel = 64;
constexpr int64_t kMaxCellTicks = int64_t{100} * 3600 * kTicksPerSecond;
constexpr int64_t kMaxSector = 0xFFFFFFFF;
// libdvdread addresses the blocks of a title set's VOBs with an int: blocks past that cannot be read.
constexpr int64_t kMaxReadableBlocks = int64_t{INT32_MAX} + 1;
constexpr int64_t kEndMark = 0x4F584C4950454E44; // "OXLIPEND"

class TWriter {
public:
    void Put(int64_t value) {
        char bytes[8];
        std::memcpy(bytes, &value, 8);
        out_.append(bytes, 8);
    }
    std::string Take() { return std::move(out_); }

private:
    std::string out_;
};

class TReader {
public:
    explicit TReader(const std::string& bytes) : bytes_(bytes) {}
    // The next number if it lies in [low, high]; otherwise the reader fails and every later call too.
    int64_t Get(int64_t low, int64_t high) {
        if (!good_ || bytes_.size() - at_ < 8) {
            good_ = false;
            return low;
        }
        int64_t value;
        std::memcpy(&value, bytes_.data() + at_, 8);
        at_ += 8;
        if (value < low || value > high) {
            good_ = false;
            return low;
        }
        return value;
    }
    bool Good() const { return good_; }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    const std::string& bytes_;
    size_t at_ = 0;
    bool good_ = true;
};

// a * part / whole rounded down, for a >= 0 and 0 <= part <= whole, where the product itself may not fit: a
// cell's time of up to 100 hours times a part of up to 2^32 blocks.
int64_t ScaledDown(int64_t a, int64_t part, int64_t whole) {
    const int64_t q = a / whole, r = a % whole; // r * part < 2^64: both are at most 2^32
    return q * part + static_cast<int64_t>(static_cast<uint64_t>(r) * static_cast<uint64_t>(part) /
                                           static_cast<uint64_t>(whole));
}

bool IsOneOf(int64_t value, std::initializer_list<int64_t> allowed) {
    for (int64_t a : allowed)
        if (value == a)
            return true;
    return false;
}

} // namespace

std::string EncodeDisc(const TRawDisc& disc) {
    TWriter w;
    w.Put(disc.scrambled);
    w.Put(static_cast<int64_t>(disc.label.size()));
    for (char c : disc.label)
        w.Put(static_cast<unsigned char>(c));
    w.Put(static_cast<int64_t>(disc.titles.size()));
    for (const TRawTitle& title : disc.titles) {
        w.Put(title.titleSet);
        w.Put(static_cast<int64_t>(title.fault));
        w.Put(title.vobBlocks);
        w.Put(title.vobSector);
        w.Put(title.vobParts);
        w.Put(title.vobCheck);
        w.Put(static_cast<int64_t>(title.chain.size()));
        for (const TChainCell& cell : title.chain) {
            w.Put(cell.cell.firstSector);
            w.Put(cell.cell.lastSector);
            w.Put(cell.cell.ticks);
            w.Put(cell.played);
        }
        w.Put(static_cast<int64_t>(title.chapterFirstCells.size()));
        for (int first : title.chapterFirstCells)
            w.Put(first);
        w.Put(static_cast<int64_t>(title.audio.size()));
        for (const TDiscAudio& audio : title.audio) {
            w.Put(audio.number);
            w.Put(static_cast<int64_t>(audio.codec));
            w.Put(audio.bits);
            w.Put(audio.rate);
            w.Put(audio.channels);
            w.Put(audio.language.size() == 2 ? static_cast<unsigned char>(audio.language[0]) : 0);
            w.Put(audio.language.size() == 2 ? static_cast<unsigned char>(audio.language[1]) : 0);
            w.Put(audio.subStreamId);
        }
    }
    w.Put(kEndMark);
    return w.Take();
}

std::optional<TRawDisc> DecodeDisc(const std::string& bytes, int64_t imageBlocks) {
    TReader r(bytes);
    TRawDisc disc;
    disc.scrambled = r.Get(0, 1) != 0;
    const int64_t labelLength = r.Get(0, kMaxLabel);
    for (int64_t i = 0; i < labelLength && r.Good(); ++i)
        disc.label += static_cast<char>(r.Get(1, 255));
    const int64_t titleCount = r.Get(0, kMaxTitles);
    const int64_t maxBlocks = imageBlocks >= 0 ? imageBlocks : kMaxSector + 1;
    // Cells are read only where libdvdread can address them.
    const int64_t readableBlocks = std::min(maxBlocks, kMaxReadableBlocks);
    for (int64_t t = 0; t < titleCount && r.Good(); ++t) {
        TRawTitle title;
        title.titleSet = static_cast<int>(r.Get(1, kMaxTitleSets));
        title.fault = static_cast<TTitleFault>(r.Get(0, static_cast<int64_t>(TTitleFault::VobUnreadable)));
        title.vobBlocks = r.Get(-1, maxBlocks);
        title.vobSector = r.Get(0, imageBlocks >= 0 ? kMaxSector : 0);
        // A readable title of an image is read from the image's own sectors: they must all be there. Then
        // neither number, nor their sum, exceeds the image's blocks, whose bytes fit in 64 bits.
        if (imageBlocks >= 0 && title.fault == TTitleFault::None &&
            (title.vobSector > imageBlocks || title.vobBlocks > imageBlocks - title.vobSector))
            return std::nullopt;
        title.vobParts = static_cast<int>(r.Get(1, kMaxVobParts));
        title.vobCheck = r.Get(INT64_MIN, INT64_MAX);
        // Without VOB files the title cannot be read at all: it is never opened. Nor is a title whose VOBs
        // could not be read, whose cells keep the times the IFO gives them: what it would last.
        const int64_t sectorEnd = title.fault != TTitleFault::None ? kMaxSector
                                  : title.vobBlocks >= 0 ? std::min(title.vobBlocks, readableBlocks) - 1
                                                         : readableBlocks - 1;
        const int64_t cellCount = r.Get(0, kMaxCells);
        bool allEmpty = true;
        for (int64_t c = 0; c < cellCount && r.Good(); ++c) {
            TChainCell cell;
            int64_t first = r.Get(0, kMaxSector), last = r.Get(0, kMaxSector);
            cell.cell.ticks = r.Get(0, kMaxCellTicks);
            cell.played = r.Get(0, 1) != 0;
            if (cell.played && first > last)
                return std::nullopt;
            if (cell.played && (first != 0 || last != 0 || cell.cell.ticks != 0))
                allEmpty = false;
            if (cell.played)
                title.ifoTicks += cell.cell.ticks;
            // A played cell is read only inside its VOBs: one that reaches past their end is cut there, its
            // time in proportion, and one that begins past it takes no part in the title.
            if (cell.played && last > sectorEnd) {
                title.cutAtVobEnd = true;
                if (first > sectorEnd) {
                    cell.played = false;
                    last = first;
                } else {
                    cell.cell.ticks = ScaledDown(cell.cell.ticks, sectorEnd - first + 1, last - first + 1);
                    last = sectorEnd;
                }
            }
            cell.cell.firstSector = static_cast<uint32_t>(first);
            cell.cell.lastSector = static_cast<uint32_t>(last);
            title.chain.push_back(cell);
        }
        if (title.fault == TTitleFault::None && cellCount > 0 && allEmpty)
            title.fault = TTitleFault::EmptyCells;
        const int64_t chapterCount = r.Get(0, kMaxChapters);
        for (int64_t c = 0; c < chapterCount && r.Good(); ++c)
            title.chapterFirstCells.push_back(static_cast<int>(r.Get(0, cellCount - 1)));
        const int64_t audioCount = r.Get(0, kMaxAudio);
        for (int64_t a = 0; a < audioCount && r.Good(); ++a) {
            TDiscAudio audio;
            audio.number = static_cast<int>(r.Get(1, kMaxAudio));
            audio.codec = static_cast<TAudioCodec>(r.Get(0, static_cast<int64_t>(TAudioCodec::Other)));
            audio.bits = static_cast<int>(r.Get(0, 24));
            audio.rate = static_cast<int>(r.Get(32000, 96000));
            audio.channels = static_cast<int>(r.Get(1, 8));
            const int64_t lang0 = r.Get(0, 255), lang1 = r.Get(0, 255);
            if (lang0 != 0 || lang1 != 0)
                audio.language = {static_cast<char>(lang0), static_cast<char>(lang1)};
            audio.subStreamId = static_cast<int>(r.Get(0, 255));
            if (!IsOneOf(audio.bits, {0, 16, 20, 24}) || !IsOneOf(audio.rate, {32000, 44100, 48000, 96000}))
                return std::nullopt;
            title.audio.push_back(audio);
        }
        disc.titles.push_back(std::move(title));
    }
    r.Get(kEndMark, kEndMark);
    if (!r.Good() || !r.AtEnd())
        return std::nullopt;
    return disc;
}

namespace {

// Chapters that start no later than the one before them (program tables that cycle through the same
// programs), or at the title's end, would be empty: they are dropped, the others numbered on from 1, so
// that a listing and the files of --chapters agree and no chapter file is ever empty. The number dropped.
int DropEmptyChapters(TDiscTitle& title) {
    const int64_t endTicks = title.durationTicks, endByte = title.Bytes();
    std::vector<TDiscChapter> kept;
    for (const TDiscChapter& chapter : title.chapters)
        if (kept.empty() ||
            (chapter.startTicks > kept.back().startTicks && chapter.startByte > kept.back().startByte &&
             chapter.startTicks < endTicks && chapter.startByte < endByte))
            kept.push_back(chapter);
    const int dropped = static_cast<int>(title.chapters.size() - kept.size());
    if (dropped == 0)
        return 0;
    for (size_t i = 0; i < kept.size(); ++i) {
        kept[i].number = static_cast<int>(i) + 1;
        const bool last = i + 1 == kept.size();
        kept[i].lengthTicks = (last ? endTicks : kept[i + 1].startTicks) - kept[i].startTicks;
        kept[i].bytes = (last ? endByte : kept[i + 1].startByte) - kept[i].startByte;
    }
    title.chapters = std::move(kept);
    return dropped;
}

std::string UnreadableReason(const TRawTitle& raw) {
    switch (raw.fault) {
    case TTitleFault::IfoMissing:
        return msg::IfoMissing(raw.titleSet);
    case TTitleFault::IfoUnreadable:
        return msg::IfoUnreadable(raw.titleSet);
    case TTitleFault::VobMissing:
        return msg::VobMissing(raw.titleSet);
    case TTitleFault::VobUnreadable:
        return msg::VobUnreadable(raw.titleSet);
    case TTitleFault::EmptyCells:
        return msg::OnlyEmptyCells(raw.titleSet);
    case TTitleFault::None:
        break;
    }
    return {};
}

} // namespace

std::vector<TDiscTitle> LayOutTitles(const std::vector<TRawTitle>& raw) {
    std::vector<TDiscTitle> titles;
    for (size_t t = 0; t < raw.size(); ++t) {
        TDiscTitle title;
        title.number = static_cast<int>(t) + 1;
        title.titleSet = raw[t].titleSet;
        title.unreadable = UnreadableReason(raw[t]);
        title.ifoTicks = raw[t].ifoTicks;
        if (title.unreadable.empty() && raw[t].ifoTicks >= kMaxCellTicks)
            title.unreadable = msg::ImpossiblePlayingTime(raw[t].titleSet);
        if (title.unreadable.empty()) {
            LayOutTitle(raw[t].chain, raw[t].chapterFirstCells, title);
            if (raw[t].cutAtVobEnd)
                title.notes.push_back(msg::CutAtVobEnd(title.number, raw[t].titleSet, raw[t].vobParts));
            if (const int dropped = DropEmptyChapters(title); dropped > 0)
                title.notes.push_back(msg::EmptyChaptersDropped(title.number, dropped));
            title.audio = raw[t].audio;
        } else if (raw[t].fault == TTitleFault::VobMissing || raw[t].fault == TTitleFault::VobUnreadable) {
            // What it would last is known: enough to tell whether it would be the longest title.
            LayOutTitle(raw[t].chain, raw[t].chapterFirstCells, title);
            title.cells.clear();
            title.chapters.clear();
        } else {
            title.durationTicks = -1;
            title.ifoTicks = -1;
        }
        titles.push_back(std::move(title));
    }
    return titles;
}
