#pragma once

#include "output/OutputFormat.h"

// The WAVE row: the raw path's plain 46-byte file with its limits, or the writer that may become RF64 and
// carries the metadata.
bool WaveTakesTag(std::string_view name, const TSinkSettings& settings);
int64_t WaveFrameLimit(const TAudioFormat& format, const TSinkSettings& settings);
std::unique_ptr<TAudioSink> MakeWaveSink(const TSinkSettings& settings, const TOutputMetadata& metadata);
