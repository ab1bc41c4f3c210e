#pragma once

#include "TestFiles.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

// DVD-Video LPCM written from the layout rules, independently of the decoder: 16 bit as interleaved
// big-endian words; 20 and 24 bit in groups of two sample times of all channels, first every sample's
// upper 16 bits as a big-endian word, then the low parts in the same order (a byte each at 24 bit, a
// nibble each at 20 bit, the earlier sample of a pair in the high nibble). With `quads`, the interleaved
// samples are taken four at a time instead, whatever the channel count.
inline Bytes EncodeLpcm(const std::vector<int32_t>& samples, int bits, int channels, bool quads = false) {
    Bytes out;
    size_t group = bits == 16 ? static_cast<size_t>(channels) : 2 * static_cast<size_t>(channels);
    if (quads && bits != 16)
        group = 4;
    for (size_t start = 0; start + group <= samples.size(); start += group) {
        for (size_t k = 0; k < group; ++k) {
            const auto word = static_cast<uint32_t>(samples[start + k] >> (bits - 16));
            out.push_back(static_cast<uint8_t>(word >> 8));
            out.push_back(static_cast<uint8_t>(word));
        }
        for (size_t k = 0; bits == 24 && k < group; ++k)
            out.push_back(static_cast<uint8_t>(samples[start + k]));
        for (size_t k = 0; bits == 20 && k < group; k += 2)
            out.push_back(
                static_cast<uint8_t>((samples[start + k] & 0xF) << 4 | (samples[start + k + 1] & 0xF)));
    }
    return out;
}

// A sine tone per channel (channel c at `hertz` times c + 1, 48 kHz) of `amplitude`, interleaved.
inline std::vector<int32_t> ToneSamples(size_t frames, int channels, double amplitude, double hertz = 441) {
    std::vector<int32_t> samples;
    for (size_t t = 0; t < frames; ++t)
        for (int c = 0; c < channels; ++c)
            samples.push_back(static_cast<int32_t>(
                std::lround(amplitude * std::sin(2 * 3.14159265358979 * hertz * (c + 1) * t / 48000))));
    return samples;
}

// Random signed samples of `bits` bits, the extremes included.
inline std::vector<int32_t> RandomSamples(size_t count, int bits, uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> value(-(1 << (bits - 1)), (1 << (bits - 1)) - 1);
    std::vector<int32_t> samples(count);
    for (auto& sample : samples)
        sample = value(random);
    if (count >= 2) {
        samples[0] = -(1 << (bits - 1));
        samples[1] = (1 << (bits - 1)) - 1;
    }
    return samples;
}

// The output bytes the samples should become: little-endian, `outputBits` 16 (the low bits dropped) or
// the source's own resolution in its container (20 bits shifted up by 4 in 3 bytes).
inline Bytes ExpectedOutput(const std::vector<int32_t>& samples, int bits, bool reduceTo16) {
    Bytes out;
    for (int32_t sample : samples) {
        if (reduceTo16 || bits == 16) {
            const auto word = static_cast<uint32_t>(sample >> (bits - 16));
            out.push_back(static_cast<uint8_t>(word));
            out.push_back(static_cast<uint8_t>(word >> 8));
        } else {
            const auto container = static_cast<uint32_t>(sample) << (24 - bits);
            for (int shift = 0; shift < 24; shift += 8)
                out.push_back(static_cast<uint8_t>(container >> shift));
        }
    }
    return out;
}
