#include "disc/AudioTsIfo.h"

#include "texts/AudioDiscTexts.h"

#include <cstring>

namespace {

constexpr size_t kSector = 2048;

// Big-endian reads that fail, instead of reading past the end, where the bytes are too few.
class TReader {
public:
    explicit TReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool Has(size_t offset, size_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    uint8_t U8(size_t offset) const { return bytes_[offset]; }
    uint16_t U16(size_t offset) const {
        return static_cast<uint16_t>(bytes_[offset] << 8 | bytes_[offset + 1]);
    }
    uint32_t U32(size_t offset) const {
        return uint32_t{bytes_[offset]} << 24 | uint32_t{bytes_[offset + 1]} << 16 |
               uint32_t{bytes_[offset + 2]} << 8 | bytes_[offset + 3];
    }
    bool Magic(const char* magic) const { return Has(0, 12) && std::memcmp(bytes_.data(), magic, 12) == 0; }
    size_t Size() const { return bytes_.size(); }

private:
    std::span<const uint8_t> bytes_;
};

constexpr size_t kTitleTable = kSector;
constexpr size_t kTitleRecordHeader = 16;
constexpr size_t kTrackRecord = 20;
constexpr size_t kCellRecord = 12;

TAtsAttributes ReadAttributes(const TReader& ifo, size_t at) {
    TAtsAttributes attributes;
    attributes.codingByte = ifo.U8(at);
    attributes.coding = attributes.codingByte == 0   ? TAobCoding::Pcm
                        : attributes.codingByte == 1 ? TAobCoding::Mlp
                                                     : TAobCoding::Other;
    attributes.bitsCode[0] = ifo.U8(at + 2) >> 4;
    attributes.bitsCode[1] = ifo.U8(at + 2) & 0xF;
    attributes.rateCode[0] = ifo.U8(at + 3) >> 4;
    attributes.rateCode[1] = ifo.U8(at + 3) & 0xF;
    attributes.assignment = ifo.U8(at + 4);
    return attributes;
}

TAtsTitle Faulty() {
    TAtsTitle title;
    title.fault = msg::kAudioTitleTables;
    return title;
}

TAtsTitle ReadTitle(const TReader& ifo, size_t record) {
    if (!ifo.Has(record, kTitleRecordHeader))
        return Faulty();
    TAtsTitle title;
    const size_t trackCount = ifo.U8(record + 2);
    const size_t cellCount = ifo.U8(record + 3);
    title.lengthPts = ifo.U32(record + 4);
    const size_t cells = record + ifo.U16(record + 12);
    if (trackCount == 0 || cellCount == 0 ||
        !ifo.Has(record + kTitleRecordHeader, trackCount * kTrackRecord) ||
        !ifo.Has(cells, cellCount * kCellRecord))
        return Faulty();
    for (size_t c = 0; c < cellCount; ++c) {
        const size_t at = cells + c * kCellRecord;
        const TAtsCell cell{ifo.U32(at + 4), ifo.U32(at + 8)};
        if (cell.firstSector > cell.lastSector)
            return Faulty();
        title.cells.push_back(cell);
    }
    // Each track begins at a later cell than the one before; the first at the first.
    int previousCell = -1;
    for (size_t t = 0; t < trackCount; ++t) {
        const size_t at = record + kTitleRecordHeader + t * kTrackRecord;
        TAtsTrack track;
        track.attributes = ifo.U8(at) >> 3 & 7;
        track.firstCell = ifo.U8(at + 4) - 1;
        track.firstPts = ifo.U32(at + 6);
        track.lengthPts = ifo.U32(at + 10);
        if (track.firstCell <= previousCell || track.firstCell >= static_cast<int>(cellCount) ||
            (t == 0 && track.firstCell != 0))
            return Faulty();
        previousCell = track.firstCell;
        title.tracks.push_back(track);
    }
    return title;
}

// The printable ASCII of a fixed-size text field, trimmed of spaces and zeros.
std::string TextField(const TReader& ifo, size_t at, size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t c = ifo.U8(at + i);
        if (c == 0)
            break;
        text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    while (!text.empty() && text.front() == ' ')
        text.erase(text.begin());
    return text;
}

} // namespace

std::optional<TAudioManagerInfo> ParseAudioManager(std::span<const uint8_t> bytes) {
    const TReader ifo(bytes);
    if (!ifo.Magic(kAudioManagerMagic) || !ifo.Has(0, kSector))
        return std::nullopt;
    TAudioManagerInfo info;
    info.videoTitleSets = ifo.U8(62);
    info.audioTitleSets = ifo.U8(63);
    const uint64_t pointers = uint64_t{ifo.U32(200)} * kSector;
    constexpr size_t kPointerRecord = 14;
    if (pointers != 0 && ifo.Has(pointers, 4)) {
        const size_t count = ifo.U16(pointers);
        for (size_t t = 0; t < count; ++t) {
            const size_t at = pointers + 4 + t * kPointerRecord;
            if (!ifo.Has(at, kPointerRecord))
                break;
            TAudioTitlePointer pointer;
            pointer.tracks = ifo.U8(at + 1);
            pointer.lengthPts = ifo.U32(at + 4);
            pointer.group = ifo.U8(at + 8);
            pointer.titleInGroup = ifo.U8(at + 9);
            pointer.titleSetSector = ifo.U32(at + 10);
            info.titles.push_back(pointer);
        }
    }
    const uint64_t text = uint64_t{ifo.U32(212)} * kSector;
    if (text != 0 && ifo.Has(text, 20))
        info.textDiscName = TextField(ifo, text, 12);
    return info;
}

std::optional<TAudioTitleSetInfo> ParseAudioTitleSet(std::span<const uint8_t> bytes) {
    const TReader ifo(bytes);
    constexpr size_t kAttributes = 256, kAttributeRecord = 16, kAttributeRecords = 8;
    if (!ifo.Magic(kAudioTitleSetMagic) || !ifo.Has(kTitleTable, 8))
        return std::nullopt;
    TAudioTitleSetInfo info;
    for (size_t a = 0; a < kAttributeRecords; ++a)
        info.attributes.push_back(ReadAttributes(ifo, kAttributes + a * kAttributeRecord));
    const size_t count = ifo.U16(kTitleTable);
    constexpr size_t kIndexRecord = 8;
    if (!ifo.Has(kTitleTable + 8, count * kIndexRecord))
        return std::nullopt;
    for (size_t t = 0; t < count; ++t) {
        const size_t record = kTitleTable + ifo.U32(kTitleTable + 8 + t * kIndexRecord + 4);
        info.titles.push_back(ReadTitle(ifo, record));
    }
    return info;
}
