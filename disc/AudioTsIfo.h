#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The information files of a DVD-Audio disc's AUDIO_TS folder, read from their bytes. Every offset and
// count is checked against the bytes there are: any input gives a result or nothing, never a read outside.
//
// AUDIO_TS.IFO, the audio manager ("DVDAUDIO-AMG"), all numbers big-endian:
//   0    identifier "DVDAUDIO-AMG"
//   62   number of video title sets; 63 number of audio title sets (ATS_01 to ATS_nn)
//   200  sector of the audio-only title search pointers: a 2-byte count, a 2-byte end address, then a
//        14-byte record per title: type and rank (1), tracks (1), visible tracks (1), 0 (1), length in
//        90 kHz ticks (4), group (1), title in group (1), sector of its title set from the manager's (4)
//   212  sector of the text data manager, 0 without: a 12-byte disc name, 2 bytes, a 2-byte count of
//        language units, a 4-byte end address, then 8 bytes per unit (language code, 0, character set,
//        start address)
//
// ATS_nn_0.IFO, a title set ("DVDAUDIO-ATS"):
//   0    identifier "DVDAUDIO-ATS"
//   256  eight 16-byte audio attribute records: coding (0 PCM, 1 MLP), 1 byte, bits of group 1 and 2 (a
//        nibble each, as in the PCM header: 0 16, 1 20, 2 24, F none), rates likewise (0 48, 1 96, 2 192,
//        8 44.1, 9 88.2, A 176.4 kHz), channel assignment code, 11 bytes
//   2048 the title table: a 2-byte count of titles, 2 bytes, a 4-byte end address, then 8 bytes per
//        title whose last 4 give its record's offset from the table's start. A record: 2 bytes, tracks
//        (1), cells (1), length in ticks (4), 2 bytes, 2 bytes, the cells' offset from the record (2),
//        2 bytes; from byte 16 a 20-byte record per track: flags (1; bits 5-3 the audio attribute record),
//        1 byte, 2 bytes, the track's first cell (1, counted from 1), 1 byte, first PTS (4), length in
//        ticks (4), pause (4), 2 bytes; at the cells' offset a 12-byte record per cell: 4 bytes, first and
//        last sector (4 each), counted in the sectors of the title set's AOB files joined.

enum class TAobCoding { Pcm, Mlp, Other };

// One audio attribute record: the raw nibble codes.
struct TAtsAttributes {
    TAobCoding coding = TAobCoding::Other;
    int codingByte = 0;
    int bitsCode[2] = {0, 0xF};
    int rateCode[2] = {0, 0xF};
    int assignment = 1;
    bool operator==(const TAtsAttributes&) const = default;
};

struct TAtsTrack {
    int firstCell = 0;  // index into the title's cells
    int attributes = 0; // index of its audio attribute record, 0 to 7
    int64_t firstPts = 0;
    int64_t lengthPts = 0;
    bool operator==(const TAtsTrack&) const = default;
};

struct TAtsCell {
    uint32_t firstSector = 0;
    uint32_t lastSector = 0; // inclusive
    bool operator==(const TAtsCell&) const = default;
};

struct TAtsTitle {
    int64_t lengthPts = 0;
    std::vector<TAtsTrack> tracks;
    std::vector<TAtsCell> cells;
    // Empty when the title's tables hold together; else why not, and it has no tracks or cells.
    std::string fault;
    bool operator==(const TAtsTitle&) const = default;
};

struct TAudioTitleSetInfo {
    std::vector<TAtsAttributes> attributes; // the eight records
    std::vector<TAtsTitle> titles;
    bool operator==(const TAudioTitleSetInfo&) const = default;
};

struct TAudioTitlePointer {
    int group = 0;
    int titleInGroup = 0;
    int tracks = 0;
    int64_t lengthPts = 0;
    uint32_t titleSetSector = 0;
    bool operator==(const TAudioTitlePointer&) const = default;
};

struct TAudioManagerInfo {
    int audioTitleSets = 0;
    int videoTitleSets = 0;
    std::vector<TAudioTitlePointer> titles;
    std::string textDiscName; // printable ASCII, trimmed; empty without text data
    bool operator==(const TAudioManagerInfo&) const = default;
};

// Nothing when the bytes are no audio manager: another identifier, or shorter than its first sector.
// Tables that lie outside the bytes are left empty.
std::optional<TAudioManagerInfo> ParseAudioManager(std::span<const uint8_t> ifo);

// Nothing when the bytes are no title set, or its title table lies outside them. A title whose own
// records do not hold together is kept with its fault, so that the others stay readable.
std::optional<TAudioTitleSetInfo> ParseAudioTitleSet(std::span<const uint8_t> ifo);

// The identifiers, for telling the files apart by content.
inline constexpr const char* kAudioManagerMagic = "DVDAUDIO-AMG";
inline constexpr const char* kAudioTitleSetMagic = "DVDAUDIO-ATS";
