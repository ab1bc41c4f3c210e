#include "output/Rf64WaveSink.h"

#include "output/WaveWriter.h"

bool TRf64WaveSink::Begin(TMMIOFile& file, const TAudioFormat& format) {
    file_ = &file;
    format_ = format;
    const std::vector<uint8_t> header = ProvisionalWaveHeader(format);
    const auto length = static_cast<int32_t>(header.size());
    return file.Write(header.data(), length) == length;
}

bool TRf64WaveSink::Finish(int64_t dataBytes) {
    return FinishWaveFile(*file_, format_, dataBytes);
}
