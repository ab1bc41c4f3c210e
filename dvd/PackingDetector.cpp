#include "dvd/PackingDetector.h"

#include "dvd/LpcmLayout.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// The samples of one reading at the source's resolution, in 24-bit containers.
std::vector<int32_t> Read(const TLpcmFormat& format, const uint8_t* data, size_t size, TLpcmPacking packing) {
    TLpcmDecoder decoder(format, false, false, packing);
    const auto out = decoder.Decode(data, size);
    std::vector<int32_t> samples(out.size() / 3);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int32_t>(static_cast<uint32_t>(out[3 * i]) << 8 |
                                          static_cast<uint32_t>(out[3 * i + 1]) << 16 |
                                          static_cast<uint32_t>(out[3 * i + 2]) << 24) >>
                     8;
    return samples;
}

} // namespace

TLpcmPacking DetectPacking(const TLpcmFormat& format, const uint8_t* data, size_t size,
                           TPackingEvidence* evidence) {
    TPackingEvidence found;
    if (PackingsDiffer(format)) {
        const std::vector<int32_t> pairs = Read(format, data, size, TLpcmPacking::Pairs);
        const std::vector<int32_t> quads = Read(format, data, size, TLpcmPacking::Quads);
        const auto channels = static_cast<size_t>(format.channels);
        const size_t samples = std::min(pairs.size(), quads.size());
        for (size_t i = channels; i < samples; ++i) {
            const int32_t quadStep = quads[i] - quads[i - channels];
            found.pairsRoughness += std::abs(pairs[i] - pairs[i - channels]);
            found.quadsRoughness += std::abs(quadStep);
            found.changingSamples += quadStep != 0;
        }
    }
    if (evidence)
        *evidence = found;
    const bool quads = found.changingSamples >= kPackingMinChanging &&
                       found.quadsRoughness * kPackingFactor < found.pairsRoughness;
    return quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
}
