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
        // The change of each channel's step, which audio keeps small far into the treble, while the
        // misread samples jump by as much as a step of noise.
        const auto curve = [channels](const std::vector<int32_t>& x, size_t i) {
            return std::abs(int64_t{x[i]} - 2 * int64_t{x[i - channels]} + x[i - 2 * channels]);
        };
        for (size_t i = 2 * channels; i < samples; ++i) {
            found.pairsRoughness += curve(pairs, i);
            found.quadsRoughness += curve(quads, i);
            found.changingSamples += quads[i] != quads[i - channels];
        }
    }
    if (evidence)
        *evidence = found;
    const bool quads = found.changingSamples >= kPackingMinChanging &&
                       found.quadsRoughness * kPackingFactor < found.pairsRoughness;
    return quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
}
