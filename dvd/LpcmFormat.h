#pragma once

#include <cstdint>

// The format of a DVD-Video LPCM track as its per-packet header states it.
struct TLpcmFormat {
    int bits = 16;          // 16, 20 or 24
    int sampleRate = 48000; // 48000, 96000, 44100 or 32000
    int channels = 2;       // 1 to 8
    bool emphasis = false;

    // Bytes of one sample time of all channels (20-bit mono: 2.5, so counted per two sample times).
    int BytesPerTwoFrames() const { return bits * channels / 4; }
    // Bits, rate and channels: what an output file's header is built from. Emphasis may change freely.
    bool SameLayout(const TLpcmFormat& other) const {
        return bits == other.bits && sampleRate == other.sampleRate && channels == other.channels;
    }
};

// How 20- and 24-bit samples are packed in a group. Pairs: two sample times of all N channels, the 2N
// high words, then the 2N low parts. Quads: the interleaved samples four at a time, four high words, then
// those four samples' low parts (across the pair boundary for odd channel counts). Both are the same for
// stereo and for 16 bits.
enum class TLpcmPacking { Pairs, Quads };

// What the user asks for: one packing, or the one detected at the start of each track.
enum class TLpcmPackingChoice { Auto, Pairs, Quads };

// The two packings read a layout differently: 20 or 24 bits, not stereo.
inline bool PackingsDiffer(const TLpcmFormat& format) {
    return format.bits != 16 && format.channels != 2;
}

// The 7-byte header that follows the PES header of an LPCM packet in private stream 1: sub-stream id,
// frame header count, first access unit pointer (2), emphasis/mute/frame number, quantisation/rate/
// channels, dynamic range control.
inline constexpr int kLpcmHeaderBytes = 7;

// Reads bits, rate, channels and emphasis from the header. False for the reserved quantisation (3).
inline bool ParseLpcmHeader(const uint8_t header[kLpcmHeaderBytes], TLpcmFormat& format) {
    static constexpr int kBits[4] = {16, 20, 24, 0};
    // The two rates DVD-Video allows, then the two FFmpeg also accepts.
    static constexpr int kRates[4] = {48000, 96000, 44100, 32000};
    const uint8_t layout = header[5];
    if (kBits[layout >> 6] == 0)
        return false;
    format.bits = kBits[layout >> 6];
    format.sampleRate = kRates[layout >> 4 & 3];
    format.channels = (layout & 7) + 1;
    format.emphasis = (header[4] & 0x80) != 0;
    return true;
}

// The channel mask of a WAVE file for a track's channel order, as FFmpeg lays out DVD LPCM: 1 FC; 2 FL FR;
// 3 FL FR LFE; 4 FL FR FC BC; 5 FL FR FC BL BR; 6 FL FR FC LFE BL BR; 7 FL FR FC LFE BC SL SR;
// 8 FL FR FC LFE BL BR SL SR.
constexpr uint32_t DvdChannelMask(int channels) {
    constexpr uint32_t kMasks[9] = {0, 0x4, 0x3, 0xB, 0x107, 0x37, 0x3F, 0x70F, 0x63F};
    return channels >= 1 && channels <= 8 ? kMasks[channels] : 0;
}
