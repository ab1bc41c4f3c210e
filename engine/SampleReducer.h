#pragma once

#include "engine/TpdfDither.h"

#include <cstdint>
#include <span>
#include <vector>

// Interleaved little-endian samples in 3-byte containers (20 or 24 valid bits, left-justified as WAVE
// keeps them) reduced to 16 bits: the high 16 bits, or with dither TPDF-dithered from the valid bits,
// one generator per channel. Other samples pass through unchanged.
class TSampleReducer {
public:
    TSampleReducer(int channels, int containerBytes, int validBits, bool dither)
        : channels_(channels), active_(containerBytes == 3 && validBits > 16), validBits_(validBits),
          dither_(dither) {
        for (int channel = 0; channel < channels && dither; ++channel)
            generators_.emplace_back(DitherSeed(channel));
    }

    bool Active() const { return active_; }

    // The block reduced; valid until the next call.
    std::span<const uint8_t> Reduce(std::span<const uint8_t> samples) {
        if (!active_)
            return samples;
        const size_t count = samples.size() / 3;
        out_.resize(count * 2);
        for (size_t k = 0; k < count; ++k) {
            const uint8_t* in = samples.data() + 3 * k;
            int32_t value = static_cast<int16_t>(in[1] | in[2] << 8);
            if (dither_) {
                const int32_t container = static_cast<int32_t>(static_cast<uint32_t>(in[0]) << 8 |
                                                               static_cast<uint32_t>(in[1]) << 16 |
                                                               static_cast<uint32_t>(in[2]) << 24) >>
                                          8;
                value = generators_[k % static_cast<size_t>(channels_)].Reduce(container >> (24 - validBits_),
                                                                               validBits_);
            }
            out_[2 * k] = static_cast<uint8_t>(value);
            out_[2 * k + 1] = static_cast<uint8_t>(value >> 8);
        }
        return out_;
    }

private:
    int channels_;
    bool active_;
    int validBits_;
    bool dither_;
    std::vector<TTpdfDither> generators_;
    std::vector<uint8_t> out_;
};
