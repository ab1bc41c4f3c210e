#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// DVD-Audio PCM: private stream 1, sub-stream A0, in the packs of an AOB file.
//
// The packet's private header, counted from the sub-stream id (byte 0, A0):
//   1      ISRC number (low nibble) or continuity counter
//   2      ISRC data
//   3      header length L: the audio begins at byte 4 + L, after up to seven stuffing bytes
//   4-5    first access unit pointer (big-endian), counted from byte 5
//   6      emphasis (bit 7), down mix code (low nibble)
//   7      bits per sample: group 1 in the high nibble, group 2 in the low; 0 = 16, 1 = 20, 2 = 24, F = no
//          group 2
//   8      sampling rate, likewise: 0 = 48, 1 = 96, 2 = 192, 8 = 44.1, 9 = 88.2, A = 176.4 kHz, F = none
//   9      multichannel type (0)
//   10     channel assignment code, 0 to 20 (low five bits)
//   11     dynamic range control
// Bytes 2 and 3 are sometimes read as one 16-bit length: the two readings agree while byte 2 is 0, and
// only byte 3 is taken here.
//
// The audio is a run of units of two sample periods. A unit holds group 2's block, then group 1's; a
// group of c channels at b bits fills c * b / 4 bytes: the 2c big-endian high 16-bit words of period n
// (channels in stream order), then of period n + 1; then, for 24 bits, the 2c low bytes in the same order,
// and for 20 bits the 2c low nibbles in the same order, two to a byte, the earlier in the high nibble.
// Where the groups' rates differ, how their periods interleave is not known: such a stream is refused.
struct TAobPcmFormat {
    int bits[2] = {16, 0};    // 16, 20 or 24; group 2: 0 when the stream has none
    int rate[2] = {48000, 0}; // Hz; group 2: 0 when the stream has none
    int assignment = 1;       // channel assignment code, 0 to 20
    bool operator==(const TAobPcmFormat&) const = default;

    bool HasGroup2() const { return bits[1] != 0; }
    // Both groups at one rate (or a single group): what a decoder can lay out as one stream.
    bool OneRate() const { return !HasGroup2() || rate[0] == rate[1]; }
};

struct TAobPcmHeader {
    TAobPcmFormat format;
    size_t audioOffset = 0; // from the sub-stream id
    bool emphasis = false;
};

// The smallest private header (L = 8) with its sub-stream id, length byte and pointer.
inline constexpr size_t kAobPcmHeaderMinBytes = 12;

// Reads the header of a packet that starts at its sub-stream id (A0). False when it does not hold
// together: shorter than its stated length, a reserved bits or rate code, an assignment past 20, or an
// assignment whose channels would not fit the groups the codes name.
bool ParseAobPcmHeader(const uint8_t* packet, size_t size, TAobPcmHeader& header);

// The rate codes' values (0 for a reserved code): 0 48 kHz, 1 96, 2 192, 8 44.1, 9 88.2, 10 176.4.
int AobRate(int code);
int AobBits(int code); // 0 16, 1 20, 2 24; else 0

// Turns the audio of DVD-Audio PCM packets, taken as one continuous stream, into little-endian samples
// interleaved in the order WAVE and FLAC want (see OutputPositions). Both groups go in one container as
// large as the larger of them, each sample at its own resolution, shifted to the top: 20 valid bits in 3
// bytes have the low 4 bits zero, and a 16-bit group beside a 24-bit one gets a zero low byte.
class TAobPcmDecoder {
public:
    // `format` must have one rate (OneRate) and a known assignment.
    explicit TAobPcmDecoder(const TAobPcmFormat& format);

    int Channels() const { return channels_; }
    int SampleRate() const { return rate_; }
    int OutputBits() const { return outputBits_; }
    int ContainerBytes() const { return outputBits_ == 16 ? 2 : 3; }
    uint32_t ChannelMask() const { return mask_; }
    // Input bytes of one unit (two sample periods).
    int UnitBytes() const { return unitBytes_; }

    // Decodes every whole unit of the bytes carried from the previous call followed by `data`; the bytes
    // of an unfinished unit are kept for the next call. The result stays valid until the next call.
    std::span<const uint8_t> Decode(const uint8_t* data, size_t size);
    int64_t Frames() const { return frames_; }
    // Bytes of an unfinished unit held back: at the end of the stream they are dropped.
    size_t PendingBytes() const { return pending_.size(); }

private:
    // One sample of a unit: where its high word is and where it goes, and its low byte in a 3-byte
    // container: (in[low] << shift) & mask (a 24-bit sample's low byte, a 20-bit one's nibble, or 0).
    struct TStep {
        uint16_t high;
        uint16_t low;
        uint16_t out;
        uint8_t shift;
        uint8_t mask;
    };

    uint8_t* DecodeUnits(const uint8_t* in, size_t units, uint8_t* out) const;

    int channels_;
    int rate_;
    int outputBits_;
    uint32_t mask_;
    int unitBytes_;
    int outputUnitBytes_;
    std::vector<TStep> steps_;
    std::vector<uint8_t> pending_;
    std::vector<uint8_t> block_;
    int64_t frames_ = 0;
};
