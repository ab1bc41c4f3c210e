#pragma once

#include "engine/TpdfDither.h"

#include <cstdint>
#include <span>
#include <vector>

// Interleaved little-endian samples in 3-byte containers (20 or 24 valid bits, left-justified as WAVE
// keeps them) reduced to 16 bits when a run asks for it: the high 16 bits, or with dither TPDF-dithered
// from the valid bits, one generator per channel. Other samples, and a run that keeps its resolution,
// pass through unchanged.
class TSampleReducer {
public:
    TSampleReducer(bool reduce, int channels, int containerBytes, int validBits, bool dither)
        : channels_(channels), active_(reduce && containerBytes == 3 && validBits > 16),
          validBits_(validBits), dither_(dither) {
        for (int channel = 0; active_ && dither && channel < channels; ++channel)
            generators_.emplace_back(DitherSeed(channel));
    }

    // What the output's header says of its samples, once reduced.
    int ValidBits() const { return active_ ? 16 : validBits_; }
    int ContainerBytes(int given) const { return active_ ? 2 : given; }

    // The block reduced; valid until the next call.
    std::span<const uint8_t> Reduce(std::span<const uint8_t> samples) {
        if (!active_)
            return samples;
        const size_t frames = samples.size() / (3 * static_cast<size_t>(channels_));
        out_.resize(frames * static_cast<size_t>(channels_) * 2);
        const uint8_t* in = samples.data();
        uint8_t* out = out_.data();
        for (size_t frame = 0; frame < frames; ++frame)
            for (int channel = 0; channel < channels_; ++channel, in += 3, out += 2) {
                int32_t value = static_cast<int16_t>(in[1] | in[2] << 8);
                if (dither_) {
                    const auto container = static_cast<int32_t>(static_cast<uint32_t>(in[0]) << 8 |
                                                                static_cast<uint32_t>(in[1]) << 16 |
                                                                static_cast<uint32_t>(in[2]) << 24) >>
                                           8;
                    value = generators_[static_cast<size_t>(channel)].Reduce(container >> (24 - validBits_),
                                                                             validBits_);
                }
                out[0] = static_cast<uint8_t>(value);
                out[1] = static_cast<uint8_t>(value >> 8);
            }
        return {out_.data(), out_.size()};
    }

private:
    int channels_;
    bool active_;
    int validBits_;
    bool dither_;
    std::vector<TTpdfDither> generators_;
    std::vector<uint8_t> out_;
};
