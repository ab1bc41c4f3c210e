#pragma once

#include "dvd/LpcmFormat.h"
#include "dvd/LpcmLayout.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Which packing a 20- or 24-bit track uses, judged from the sample times that carry a signal: the bytes are
// read both ways and each reading's roughness (per channel, the sum of |x[t] - 2 x[t-1] + x[t-2]|)
// compared. The wrong reading mixes high words with low parts and channels with each other, which makes
// audio of any level into noise far rougher than the right one. Sample times that are silent or nearly so
// in both readings say nothing and are passed over, so that a track may begin with silence or fade in.
struct TPackingEvidence {
    int64_t pairsRoughness = 0;
    int64_t quadsRoughness = 0;
    // Samples of the quads reading that differ from their channel's previous one.
    int64_t changingSamples = 0;
    // The same of the pairs reading.
    int64_t pairsChangingSamples = 0;
};

// Sample times that carry a signal judged at a time, the factor by which one reading must be smoother
// than the other, and the changing samples the smoother one needs.
inline constexpr int kPackingFrames = 4096;
inline constexpr int kPackingFactor = 4;
inline constexpr int kPackingMinChanging = 256;
// The most of a track read for the judgement: a long silent lead-in, or a quiet or noisy one.
inline constexpr int kPackingMaxSeconds = 30;
// Samples within this of zero (at the 24-bit scale: one step of 16 bits) are nearly silent.
inline constexpr int32_t kPackingQuietLevel = 256;

// What the judgement found: a packing, or nothing clear.
enum class TPackingVerdict { Unknown, Pairs, Quads };

// Judges the packing of a track fed to it in pieces. The judged sample times are taken kPackingFrames at
// a time; the first stretch in which one reading is clearly the smoother over enough changing samples
// decides. Where none does within kPackingMaxSeconds, the packing is unknown.
class TPackingDetector {
public:
    // `format`: a layout whose packings differ.
    explicit TPackingDetector(const TLpcmFormat& format);

    // Takes the track's next bytes, while the judgement is open.
    void Feed(const uint8_t* data, size_t size);
    // A stretch has decided, or as much of the track was read as is ever judged.
    bool Done() const { return verdict_ != TPackingVerdict::Unknown || frames_ >= maxFrames_; }
    // The deciding stretch's verdict; before one, the verdict of the stretch still open.
    TPackingVerdict Verdict() const;
    // What the verdict rests on: the deciding stretch, or the one still open.
    const TPackingEvidence& Evidence() const { return window_; }

private:
    void Judge(const std::vector<int32_t>& pairs, const std::vector<int32_t>& quads, size_t frames);

    size_t channels_;
    int64_t maxFrames_;
    TLpcmDecoder pairs_, quads_;
    // Samples of each reading decoded but not yet judged (the quads reading may be a group ahead).
    std::vector<int32_t> pairsAhead_, quadsAhead_;
    // The two sample times before the next, of each reading, channel by channel.
    std::vector<int32_t> pairsHistory_, quadsHistory_;
    int64_t frames_ = 0; // sample times read
    int judged_ = 0;     // sample times judged in the open stretch
    TPackingEvidence window_;
    TPackingVerdict verdict_ = TPackingVerdict::Unknown;
};

// The packing of bytes from a track's start, judged at once: quads only on a verdict of quads.
TLpcmPacking DetectPacking(const TLpcmFormat& format, const uint8_t* data, size_t size,
                           TPackingEvidence* evidence = nullptr);
