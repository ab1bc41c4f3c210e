#pragma once

#include "engine/SampleGroup.h"

#include <cstdint>

// Triangular (TPDF) dither for reducing a sample to 16 bits: the difference of two independent uniform
// values of one output LSB each is added before rounding, then the result is clipped. The error stays
// within 1.5 LSB and averages zero, and it no longer follows the signal as plain truncation does. One
// generator serves one channel; a fixed seed makes two runs give the same file.
class TTpdfDither {
public:
    explicit TTpdfDither(uint64_t seed) : state_(seed) {}

    // A sample with `bits` valid bits (17 to 24, right-aligned, signed) reduced to 16 bits.
    int16_t Reduce(int32_t sample, int bits) {
        // Work with 16 bits more below the output LSB than the source has: the two uniform values are
        // 16-bit integers in units of 1/65536 LSB.
        const uint64_t random = Next();
        const int64_t uniformA = static_cast<int64_t>(random & 0xFFFF);
        const int64_t uniformB = static_cast<int64_t>(random >> 16 & 0xFFFF);
        const int64_t scaled = static_cast<int64_t>(sample) * (int64_t{1} << (32 - bits));
        const int64_t value = (scaled + uniformA - uniformB + 0x8000) >> 16;
        return static_cast<int16_t>(value < -32768 ? -32768 : value > 32767 ? 32767 : value);
    }

private:
    // SplitMix64: fast, 64 bits of state, passes the usual statistical tests.
    uint64_t Next() {
        uint64_t z = state_ += 0x9E3779B97F4A7C15ull;
        z = (z ^ z >> 30) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ z >> 27) * 0x94D049BB133111EBull;
        return z ^ z >> 31;
    }

    uint64_t state_;
};

// The seed of channel `channel`'s generator: fixed, different for every channel.
constexpr uint64_t DitherSeed(int channel) {
    return 0x6F786C6970ull + static_cast<uint64_t>(channel) * 0x9E3779B97F4A7C15ull;
}

// A normalised stereo group of 20-bit samples reduced to four 16-bit little-endian words with dither, in
// place of EmitGroup's truncation, with one generator per channel.
inline void DitherGroupTo16(const TSampleGroup& group, TTpdfDither& left, TTpdfDither& right,
                            uint8_t out[8]) {
    const int32_t low[4] = {group.E1 >> 4, group.E1 & 0x0F, group.E2 >> 4, group.E2 & 0x0F};
    for (int k = 0; k < 4; ++k) {
        const int32_t sample = static_cast<int16_t>(group.W[k]) * 16 + low[k];
        const int16_t reduced = (k & 1 ? right : left).Reduce(sample, 20);
        out[2 * k] = static_cast<uint8_t>(reduced);
        out[2 * k + 1] = static_cast<uint8_t>(reduced >> 8);
    }
}
