#pragma once

#include "dvd/LpcmFormat.h"

#include <cstddef>
#include <cstdint>

// Which packing a 20- or 24-bit track uses, judged from its start: the bytes are read both ways and each
// reading's roughness (per channel, the sum of |x[t] - x[t-1]|) compared. The wrong reading mixes high
// words with low parts and channels with each other, which makes audio of any level into noise far
// rougher than the right one. Quads only when its reading is clearly the smoother over enough samples
// that change; otherwise pairs, so that silence, noise and short starts read as they always have.
struct TPackingEvidence {
    int64_t pairsRoughness = 0;
    int64_t quadsRoughness = 0;
    // Samples of the quads reading that differ from their channel's previous one.
    int64_t changingSamples = 0;
};

// Sample times a track's start is judged on, the factor by which quads must be smoother, and the changing
// samples it needs.
inline constexpr int kPackingFrames = 4096;
inline constexpr int kPackingFactor = 4;
inline constexpr int kPackingMinChanging = 256;

TLpcmPacking DetectPacking(const TLpcmFormat& format, const uint8_t* data, size_t size,
                           TPackingEvidence* evidence = nullptr);
