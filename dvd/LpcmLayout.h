#pragma once

#include "dvd/LpcmFormat.h"
#include "engine/TpdfDither.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Turns a DVD-Video LPCM track's bytes, taken as one continuous stream across packets, into little-endian
// output samples in the stream's channel order.
//
// 16 bit: one group is one sample time, big-endian words interleaved. 20 and 24 bit: one group is two
// sample times of all N channels: the 2N high 16-bit words (time 0 channels 1..N, then time 1), then the
// low parts in the same order, a byte each at 24 bit, a nibble each at 20 bit, two to a byte with the
// earlier sample in the high nibble. At 20 bit stereo that is the raw path's 10-byte group. Quads packing
// (see TLpcmPacking): the same parts for every four interleaved samples; a group is four sample times
// for odd channel counts, so that it holds whole quads.
//
// Output: the source's resolution (16 bit; 20 valid bits in 3-byte containers with the low 4 bits zero;
// 24 bit), or 16 bit on request: the low bits dropped, or with TPDF dither.
class TLpcmDecoder {
public:
    TLpcmDecoder(const TLpcmFormat& format, bool reduceTo16, bool dither,
                 TLpcmPacking packing = TLpcmPacking::Pairs);

    // Quads only where it differs from pairs.
    TLpcmPacking Packing() const { return packing_; }

    int Channels() const { return channels_; }
    // Valid bits per output sample (16, 20 or 24) and the bytes of its container (2 or 3).
    int OutputBits() const { return outputBits_; }
    int OutputContainerBytes() const { return outputBits_ == 16 ? 2 : 3; }
    // Input bytes of one group and the sample times it holds.
    int GroupBytes() const { return groupBytes_; }
    int GroupFrames() const { return groupFrames_; }

    // Decodes every whole group of the bytes carried from the previous call followed by `data`, and
    // returns the output samples; the bytes of an unfinished group are kept for the next call. The result
    // stays valid until the next call.
    std::span<const uint8_t> Decode(const uint8_t* data, size_t size);
    // Sample times decoded so far.
    int64_t Frames() const { return frames_; }
    // Bytes of an unfinished group held back: at the end of the stream they are dropped.
    size_t PendingBytes() const { return pendingBytes_; }
    // Forgets the bytes held back: where the stream is broken they would join two places into one group.
    void DropPending() { pendingBytes_ = 0; }

    // A decoder of whole 20- or 24-bit groups for one layout, compiled for its channel count.
    using FixedDecode = uint8_t* (*)(const uint8_t* in, size_t groups, uint8_t* out);

private:
    uint8_t* DecodeGroups(const uint8_t* in, size_t groups, uint8_t* out);
    uint8_t* DecodeGeneric(const uint8_t* group, uint8_t* out);
    int32_t SampleValue(const uint8_t* group, int k) const;

    int bits_;
    int channels_;
    int outputBits_;
    bool dither_;
    TLpcmPacking packing_;
    int groupBytes_;
    int groupFrames_;
    int outputGroupBytes_;
    FixedDecode fixedDecode_ = nullptr; // without dither: every 20- and 24-bit layout but the raw path's
    std::vector<TTpdfDither> generators_;
    std::vector<uint8_t> block_;
    uint8_t pending_[12 * 8] = {}; // four sample times of 8 channels at 24 bit
    size_t pendingBytes_ = 0;
    int64_t frames_ = 0;
};
