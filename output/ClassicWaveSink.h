#pragma once

#include "output/WaveSink.h"
#include "wave/WaveHeader.h"

// The plain RIFF WAVE file of the window and the raw path: the 46-byte header with an 18-byte PCM format
// chunk, then the samples, nothing else. Stereo at 16 bits or with 20 valid bits in 3-byte containers.
// Its limits are the header's: the 32-bit sizes at 16 bits, and the group count from which the raw path
// asks to fall back to 16 bits.
class TClassicWaveSink final : public TWaveSink {
public:
    int64_t FrameLimit(const TAudioFormat& format) const override;
    bool Begin(TMMIOFile& file, const TAudioFormat& format) override;
    bool Finish(int64_t dataBytes) override;

private:
    TWaveHeader header_{};
};
