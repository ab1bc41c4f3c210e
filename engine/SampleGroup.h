#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "groups are handled as little-endian words");

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
constexpr int EmittedBytes(int formatIndex) {
    return formatIndex == 0 ? 8 : 12;
}

// Big-endian input is the stream as demultiplexed. Little-endian input had every byte pair swapped by a
// ripping tool, so its words come low byte first and its two extension bytes stand exchanged.
//
// Both functions handle the four words as one 64-bit value (W[0] in the low 16 bits, as they lie in
// memory): a handful of register operations per group instead of a loop over bytes.
inline void NormalizeGroup(const uint8_t raw[kGroupBytes], bool bigEndian, TSampleGroup& group) {
    uint64_t words;
    std::memcpy(&words, raw, sizeof words);
    if (bigEndian) {
        words = (words & 0x00FF00FF00FF00FFull) << 8 | (words >> 8 & 0x00FF00FF00FF00FFull);
        group.E1 = raw[8];
        group.E2 = raw[9];
    } else {
        group.E1 = raw[9];
        group.E2 = raw[8];
    }
    std::memcpy(group.W, &words, sizeof words);
}

// Writes the group's output bytes and returns how many: four little-endian 16-bit words (the nibbles
// dropped, no rounding or dither), or four 3-byte little-endian samples with the 20 bits at the top.
inline int EmitGroup(TSampleGroup& group, int formatIndex, uint8_t out[kMaxEmittedBytes]) {
    if (formatIndex == 0) {
        std::memcpy(out, group.W, 8);
        return 8;
    }
    group.L1 = static_cast<uint8_t>(group.E1 << 4);
    group.L2 = static_cast<uint8_t>(group.E2 << 4);
    uint64_t words;
    std::memcpy(&words, group.W, sizeof words);
    // In 32-bit halves, whose masks are immediates: low = W0 | W1 << 16, high = W2 | W3 << 16.
    const auto low = static_cast<uint32_t>(words);
    const auto high = static_cast<uint32_t>(words >> 32);
    const uint32_t e1 = group.E1;
    const uint32_t e2 = group.E2;
    // Output bytes 0-3: E1&F0, W0 (2), L1; 4-7: W1 (2), E2&F0, low byte of W2; 8-11: high byte of W2, L2,
    // W3 (2). A shift by 24 or 28 keeps only the low byte or nibble.
    const uint32_t out0 = (e1 & 0xF0u) | (low << 8 & 0xFFFF00u) | e1 << 28;
    const uint32_t out1 = low >> 16 | (e2 & 0xF0u) << 16 | high << 24;
    const uint32_t out2 = (high >> 8 & 0xFFu) | (e2 << 12 & 0xF000u) | (high & 0xFFFF0000u);
    const uint64_t head = out0 | uint64_t{out1} << 32;
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + 8, &out2, sizeof out2);
    return 12;
}
