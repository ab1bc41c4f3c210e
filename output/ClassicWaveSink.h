#pragma once

#include "output/WaveSink.h"
#include "wave/WaveHeader.h"

// The plain RIFF WAVE file of the window and the raw path: the 46-byte header with an 18-byte PCM format
// chunk, then the samples, nothing else. Stereo at 16 bits or with 20 valid bits in 3-byte containers.
// `extensible`: 20 valid bits get the 68-byte header of WAVE_FORMAT_EXTENSIBLE instead (24 bits per sample,
// 20 valid, FL FR), which the tools that refuse a plain PCM header of 20 bits read.
// Its limits are the header's: the 32-bit sizes at 16 bits, and the group count from which the raw path
// asks to fall back to 16 bits.
class TClassicWaveSink final : public TWaveSink {
public:
    explicit TClassicWaveSink(bool extensible = false) : extensible_(extensible) {}
    int64_t FrameLimit(const TAudioFormat& format) const override;
    bool Begin(TMMIOFile& file, const TAudioFormat& format) override;
    bool Finish(int64_t dataBytes) override;

private:
    bool extensible_;
    TWaveHeader header_{};
    // The extensible header's length; 0 for the plain one.
    int64_t extensibleBytes_ = 0;
};
