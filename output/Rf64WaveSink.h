#pragma once

#include "output/WaveSink.h"

// A WAVE file that may outgrow RIFF: the writer's layout, whose JUNK chunk holds the place of a ds64 chunk,
// finished as RIFF within 4 GiB and as RF64 beyond. It has no limit to ask about.
class TRf64WaveSink final : public TWaveSink {
public:
    int64_t FrameLimit(const TAudioFormat&) const override { return kNoFrameLimit; }
    bool Begin(TMMIOFile& file, const TAudioFormat& format) override;
    bool Finish(int64_t dataBytes) override;

private:
    TAudioFormat format_{};
};
