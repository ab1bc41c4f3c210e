#pragma once

#include "output/AudioFormat.h"
#include "output/AudioSink.h"
#include "output/OutputMetadata.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// How a run wants its outputs written, beside the format itself.
struct TSinkSettings {
    // WAVE: the plain 46-byte RIFF header of the raw path, with its limits; otherwise the writer that may
    // become RF64 and carries the marks.
    bool plainWave = false;
    // The compression level for the formats that have one (FLAC 0-8); -1 for the format's default.
    int level = -1;
    // Worker threads for the encoders that can use them; 0 for the machine's cores.
    int threads = 0;
    // The plain WAVE file's 20 valid bits in WAVE_FORMAT_EXTENSIBLE rather than its plain PCM header.
    bool extensible = false;
};

// One output format: everything the rest of the program needs to know of it. Each format's row lives in
// output/OutputFormats.cpp, its sink in files of its own.
struct TOutputFormatRow {
    const char* id;        // as --format names it: "wav", "flac", "wv"
    const char* name;      // for people: "WAVE", "FLAC", "WavPack"
    const char* extension; // with its dot, lower case
    const char* filter;    // the window's Save filter: "WAVE file (*.wav)"
    bool carriesTags;      // title, album, artist, track, user tags
    bool carriesMarks;     // chapter marks
    // Whether the file has a field for a user's tag of this name.
    bool (*takesTag)(std::string_view name, const TSinkSettings& settings);
    // The most frames one file can hold of `format` with `settings`.
    int64_t (*frameLimit)(const TAudioFormat& format, const TSinkSettings& settings);
    std::unique_ptr<TAudioSink> (*makeSink)(const TSinkSettings& settings, const TOutputMetadata& metadata);
};

// Every output format, WAVE first.
const std::vector<const TOutputFormatRow*>& OutputFormats();
// The row --format names (case-insensitive); nullptr for none.
const TOutputFormatRow* OutputFormatById(std::string_view id);
// The row whose extension `path` ends with (case-insensitive); nullptr for none.
const TOutputFormatRow* OutputFormatOfName(const std::string& path);
// WAVE, the default.
const TOutputFormatRow& DefaultOutputFormat();
// `path` with its extension replaced by the format's (take1.raw gives take1.flac).
std::string WithFormatExtension(const std::string& path, const TOutputFormatRow& format);
