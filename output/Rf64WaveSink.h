#pragma once

#include <utility>

#include "output/OutputMetadata.h"
#include "output/WaveSink.h"

// A WAVE file that may outgrow RIFF: the writer's layout, whose JUNK chunk holds the place of a ds64 chunk,
// finished as RIFF within 4 GiB and as RF64 beyond. It has no limit to ask about.
// The metadata given (chapters, title, album, ...) follows the data chunk.
class TRf64WaveSink final : public TWaveSink {
public:
    explicit TRf64WaveSink(TOutputMetadata metadata = {}) : metadata_(std::move(metadata)) {}
    int64_t FrameLimit(const TAudioFormat&) const override { return kNoFrameLimit; }
    bool Begin(TMMIOFile& file, const TAudioFormat& format) override;
    bool Finish(int64_t dataBytes) override;
    void SetChapterStarts(const std::vector<int64_t>& starts) override { metadata_.chapterStarts = starts; }

private:
    TAudioFormat format_{};
    TOutputMetadata metadata_;
};
