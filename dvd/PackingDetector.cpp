#include "dvd/PackingDetector.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Bytes decoded at a time, so that the decoders' blocks stay small whatever is fed.
constexpr size_t kPieceBytes = 16 * 1024;

// Output samples in 3-byte containers, appended as values at the 24-bit scale.
void Append(std::span<const uint8_t> out, std::vector<int32_t>& samples) {
    for (size_t i = 0; i + 3 <= out.size(); i += 3)
        samples.push_back(static_cast<int32_t>(static_cast<uint32_t>(out[i]) << 8 |
                                               static_cast<uint32_t>(out[i + 1]) << 16 |
                                               static_cast<uint32_t>(out[i + 2]) << 24) >>
                          8);
}

TPackingVerdict Clear(const TPackingEvidence& e) {
    if (e.changingSamples >= kPackingMinChanging && e.quadsRoughness * kPackingFactor < e.pairsRoughness)
        return TPackingVerdict::Quads;
    if (e.pairsChangingSamples >= kPackingMinChanging && e.pairsRoughness * kPackingFactor < e.quadsRoughness)
        return TPackingVerdict::Pairs;
    return TPackingVerdict::Unknown;
}

} // namespace

TPackingDetector::TPackingDetector(const TLpcmFormat& format)
    : channels_(static_cast<size_t>(std::clamp(format.channels, 1, 8))),
      maxFrames_(int64_t{kPackingMaxSeconds} * format.sampleRate),
      pairs_(format, false, false, TLpcmPacking::Pairs), quads_(format, false, false, TLpcmPacking::Quads),
      pairsHistory_(2 * channels_), quadsHistory_(2 * channels_) {}

void TPackingDetector::Feed(const uint8_t* data, size_t size) {
    for (size_t at = 0; at < size && !Done(); at += kPieceBytes) {
        const size_t piece = std::min(kPieceBytes, size - at);
        Append(pairs_.Decode(data + at, piece), pairsAhead_);
        Append(quads_.Decode(data + at, piece), quadsAhead_);
        const size_t frames = std::min(pairsAhead_.size(), quadsAhead_.size()) / channels_;
        Judge(pairsAhead_, quadsAhead_, frames);
        const auto judged = static_cast<std::ptrdiff_t>(frames * channels_);
        pairsAhead_.erase(pairsAhead_.begin(), pairsAhead_.begin() + judged);
        quadsAhead_.erase(quadsAhead_.begin(), quadsAhead_.begin() + judged);
    }
}

void TPackingDetector::Judge(const std::vector<int32_t>& pairs, const std::vector<int32_t>& quads,
                             size_t frames) {
    const size_t n = channels_;
    for (size_t f = 0; f < frames && !Done(); ++f) {
        const int32_t* p = pairs.data() + f * n;
        const int32_t* q = quads.data() + f * n;
        bool quiet = true;
        for (size_t c = 0; c < n; ++c)
            quiet = quiet && std::abs(p[c]) <= kPackingQuietLevel && std::abs(q[c]) <= kPackingQuietLevel;
        if (!quiet && frames_ >= 2) {
            // The change of each channel's step, which audio keeps small far into the treble, while the
            // misread samples jump by as much as a step of noise.
            for (size_t c = 0; c < n; ++c) {
                const int64_t p1 = pairsHistory_[c], p2 = pairsHistory_[n + c];
                const int64_t q1 = quadsHistory_[c], q2 = quadsHistory_[n + c];
                window_.pairsRoughness += std::llabs(p[c] - 2 * p1 + p2);
                window_.quadsRoughness += std::llabs(q[c] - 2 * q1 + q2);
                window_.pairsChangingSamples += p[c] != p1;
                window_.changingSamples += q[c] != q1;
            }
            if (++judged_ == kPackingFrames) {
                verdict_ = Clear(window_);
                if (verdict_ == TPackingVerdict::Unknown) {
                    window_ = {};
                    judged_ = 0;
                }
            }
        }
        std::copy_n(pairsHistory_.begin(), n, pairsHistory_.begin() + static_cast<std::ptrdiff_t>(n));
        std::copy_n(quadsHistory_.begin(), n, quadsHistory_.begin() + static_cast<std::ptrdiff_t>(n));
        std::copy_n(p, n, pairsHistory_.begin());
        std::copy_n(q, n, quadsHistory_.begin());
        ++frames_;
    }
}

TPackingVerdict TPackingDetector::Verdict() const {
    return verdict_ != TPackingVerdict::Unknown ? verdict_ : Clear(window_);
}

TLpcmPacking DetectPacking(const TLpcmFormat& format, const uint8_t* data, size_t size,
                           TPackingEvidence* evidence) {
    if (!PackingsDiffer(format)) {
        if (evidence)
            *evidence = {};
        return TLpcmPacking::Pairs;
    }
    TPackingDetector detector(format);
    detector.Feed(data, size);
    if (evidence)
        *evidence = detector.Evidence();
    return detector.Verdict() == TPackingVerdict::Quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
}
