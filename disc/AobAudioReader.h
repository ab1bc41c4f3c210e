#pragma once

#include "dvd/ProgramStreamDemuxer.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

// What a DVD-Audio stream's samples are: little-endian, interleaved in WAVE and FLAC channel order. The
// same fields as an output's TAudioFormat, which a host fills from it.
struct TAudioSampleFormat {
    uint16_t channels = 2;
    uint32_t sampleRate = 48000;
    uint16_t validBits = 16;     // 16, 20 or 24
    uint16_t containerBytes = 2; // 2 or 3
    uint32_t channelMask = 0;
    uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * containerBytes); }
    bool operator==(const TAudioSampleFormat&) const = default;
};

// Turns one DVD-Audio sub-stream's packets (from their sub-stream id on) into samples.
class TAobPacketDecoder {
public:
    virtual ~TAobPacketDecoder() = default;
    // The samples of whole sample periods that the packet completes, perhaps none. False on an error that
    // ends the stream, with `error` in the program's words.
    virtual bool Decode(const TAudioPacket& packet, std::span<const uint8_t>& samples,
                        std::string& error) = 0;
    // At the end of the stream: the samples still held; false on an error.
    virtual bool Finish(std::span<const uint8_t>& samples, std::string& error) = 0;
    // The samples' format, once Decode has handed some out.
    virtual const TAudioSampleFormat& Format() const = 0;
    // Bytes passed over as damaged: packets whose header does not hold together, a cut unit at the end.
    virtual int64_t DamagedBytes() const = 0;
    // Some packet carried the pre-emphasis flag.
    virtual bool Emphasis() const { return false; }
};

// PCM (sub-stream A0).
std::unique_ptr<TAobPacketDecoder> MakeAobPcmPacketDecoder();
// MLP (sub-stream A1), through libavcodec's decoder (AobMlpDecoder.cpp).
std::unique_ptr<TAobPacketDecoder> MakeAobMlpPacketDecoder();

// The sub-stream ids of DVD-Audio PCM and MLP.
inline constexpr uint8_t kAobPcmId = 0xA0;
inline constexpr uint8_t kAobMlpId = 0xA1;

// The sub-stream of the first DVD-Audio PCM or MLP packet of a program stream (kAobPcmId or kAobMlpId),
// or 0 when it has none: a bare AOB file converts like a VOB, its first audio stream whole, through a
// TAobAudioReader of that id over a new source of the same file.
uint8_t FirstAobSubStream(TStreamSource& source);

// One DVD-Audio audio stream of a program stream (an AOB file, or a title's cells) as blocks of samples.
class TAobAudioReader {
public:
    // subStreamId: kAobPcmId or kAobMlpId.
    TAobAudioReader(TStreamSource& source, uint8_t subStreamId);

    // Reads to the stream's first samples, which fix Format(). False when there are none or the stream
    // cannot be decoded, with Error() saying why.
    bool Start();
    const TAudioSampleFormat& Format() const { return decoder_->Format(); }
    // The next block of samples (whole sample periods, possibly empty); false at the end of the stream or
    // on an error, which Error() then names (empty at a clean end).
    bool Next(std::span<const uint8_t>& samples);
    const std::string& Error() const { return error_; }

    // Sample periods handed out so far.
    int64_t Frames() const { return frames_; }
    bool Emphasis() const { return decoder_->Emphasis(); }
    // Bytes passed over as damaged, by the demultiplexer and the decoder.
    int64_t SkippedBytes() const { return demuxer_.SkippedBytes() + decoder_->DamagedBytes(); }
    const TProgramStreamDemuxer& Demuxer() const { return demuxer_; }

private:
    bool Pull(std::span<const uint8_t>& samples);

    TProgramStreamDemuxer demuxer_;
    uint8_t id_;
    std::unique_ptr<TAobPacketDecoder> decoder_;
    std::span<const uint8_t> first_;
    bool holdingFirst_ = false;
    bool ended_ = false;
    int64_t frames_ = 0;
    std::string error_;
};
