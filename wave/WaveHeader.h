#pragma once

#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "the header record is stored as it lies in the file");

// Four-character codes as 32-bit little-endian words, the first character in the lowest byte.
constexpr uint32_t FourCC(const char (&code)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

inline constexpr uint32_t kRiffId = FourCC("RIFF");
inline constexpr uint32_t kWaveId = FourCC("WAVE");
inline constexpr uint32_t kFmtId = FourCC("fmt ");
inline constexpr uint32_t kDataId = FourCC("data");

// The 46-byte header of a RIFF WAVE file with an 18-byte PCM format chunk, fields in file order.
#pragma pack(push, 1)
struct TWaveHeader {
    uint32_t RiffId;
    uint32_t RiffSize;
    uint32_t WaveId;
    uint32_t FmtId;
    uint32_t FmtSize;
    uint16_t FormatTag;
    uint16_t Channels;
    uint32_t SamplesPerSec;
    uint32_t AvgBytesPerSec;
    uint16_t BlockAlign;
    uint16_t BitsPerSample;
    uint16_t ExtraFormatBytes;
    uint32_t DataId;
    uint32_t DataSize;
};
#pragma pack(pop)

static_assert(sizeof(TWaveHeader) == 46);

inline constexpr int kWaveHeaderBytes = sizeof(TWaveHeader);
// Offsets of the two size fields, for a header that has to be corrected after a run.
inline constexpr int64_t kRiffSizeOffset = 4;
inline constexpr int64_t kDataSizeOffset = 42;
// What the RIFF size counts besides the sample data: the header from offset 8 on.
inline constexpr uint32_t kRiffOverhead = 38;
