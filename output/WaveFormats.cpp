#include "output/WaveFormats.h"

#include "output/ClassicWaveSink.h"
#include "output/Rf64WaveSink.h"
#include "output/WaveMarks.h"

// The plain file is the header and the samples, nothing else.
bool WaveTakesTag(std::string_view name, const TSinkSettings& settings) {
    return !settings.plainWave && WaveInfoTakesTag(name);
}

int64_t WaveFrameLimit(const TAudioFormat& format, const TSinkSettings& settings) {
    return settings.plainWave ? TClassicWaveSink().FrameLimit(format) : TAudioSink::kNoFrameLimit;
}

std::unique_ptr<TAudioSink> MakeWaveSink(const TSinkSettings& settings, const TOutputMetadata& metadata) {
    if (settings.plainWave)
        return std::make_unique<TClassicWaveSink>(settings.extensible);
    return std::make_unique<TRf64WaveSink>(metadata);
}
