#pragma once

#include <cstdint>

// One 10-byte unit of input: the upper 16 bits of four 20-bit samples as words, then two extension bytes
// holding their low nibbles. The four samples are two stereo frames.
//
// Nibble packing (as on DVD-Video): the high nibble of E1 belongs to sample 1, the low nibble of E1 to
// sample 2, the high nibble of E2 to sample 3 and the low nibble of E2 to sample 4.
struct TSampleGroup {
    uint16_t W[4];
    uint8_t E1;
    uint8_t E2;
    // Work bytes of the 24-bit path: the low nibbles of samples 2 and 4, moved into the high nibble.
    uint8_t L1;
    uint8_t L2;
};

inline constexpr int kGroupBytes = 10;
inline constexpr int kMaxEmittedBytes = 12;

// Bytes a group takes in the output: 8 at 16 bits (format index 0), 12 in 3-byte containers otherwise.
constexpr int EmittedBytes(int formatIndex) { return formatIndex == 0 ? 8 : 12; }

// Big-endian input is the stream as demultiplexed. Little-endian input had every byte pair swapped by a
// ripping tool, so its words come low byte first and its two extension bytes stand exchanged.
inline void NormalizeGroup(const uint8_t raw[kGroupBytes], bool bigEndian, TSampleGroup& group) {
    if (bigEndian) {
        for (int i = 0; i < 4; ++i)
            group.W[i] = static_cast<uint16_t>(raw[2 * i] << 8 | raw[2 * i + 1]);
        group.E1 = raw[8];
        group.E2 = raw[9];
    } else {
        for (int i = 0; i < 4; ++i)
            group.W[i] = static_cast<uint16_t>(raw[2 * i + 1] << 8 | raw[2 * i]);
        group.E1 = raw[9];
        group.E2 = raw[8];
    }
}

// Writes the group's output bytes and returns how many: four little-endian 16-bit words (the nibbles
// dropped, no rounding or dither), or four 3-byte little-endian samples with the 20 bits at the top.
inline int EmitGroup(TSampleGroup& group, int formatIndex, uint8_t out[kMaxEmittedBytes]) {
    if (formatIndex == 0) {
        for (int i = 0; i < 4; ++i) {
            out[2 * i] = static_cast<uint8_t>(group.W[i]);
            out[2 * i + 1] = static_cast<uint8_t>(group.W[i] >> 8);
        }
        return 8;
    }
    group.L1 = static_cast<uint8_t>(group.E1 << 4);
    group.L2 = static_cast<uint8_t>(group.E2 << 4);
    const uint8_t low[4] = {static_cast<uint8_t>(group.E1 & 0xF0), group.L1,
                            static_cast<uint8_t>(group.E2 & 0xF0), group.L2};
    for (int i = 0; i < 4; ++i) {
        out[3 * i] = low[i];
        out[3 * i + 1] = static_cast<uint8_t>(group.W[i]);
        out[3 * i + 2] = static_cast<uint8_t>(group.W[i] >> 8);
    }
    return 12;
}
