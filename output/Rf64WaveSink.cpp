#include "output/Rf64WaveSink.h"

#include "output/WaveMarks.h"
#include "output/WaveWriter.h"

bool TRf64WaveSink::Begin(TMMIOFile& file, const TAudioFormat& format) {
    file_ = &file;
    format_ = format;
    const std::vector<uint8_t> header = ProvisionalWaveHeader(format);
    const auto length = static_cast<int32_t>(header.size());
    return file.Write(header.data(), length) == length;
}

bool TRf64WaveSink::Finish(int64_t dataBytes) {
    // A file kept short marks only the chapters it reaches.
    TOutputMetadata metadata = metadata_;
    const int64_t frames = dataBytes / format_.BlockAlign();
    std::erase_if(metadata.chapterStarts, [frames](int64_t start) { return start >= frames; });
    return FinishWaveFile(*file_, format_, dataBytes, WaveMarkChunks(metadata));
}
