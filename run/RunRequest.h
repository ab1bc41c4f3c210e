#pragma once

#include "output/OutputFormat.h"
#include "output/OutputMetadata.h"
#include "run/RunOptions.h"

#include <cstdint>
#include <string>

// What of an input to convert, in one shape for oxlip-convert, the window's dialogs and the runs. Discs:
// the title (0: the longest with LPCM audio), the audio stream (0: the first LPCM one), and one file per
// chapter (a DVD-Audio title's tracks), from the first to the last (0: all). Program streams: `track` is
// the LPCM track (0: the first).
struct TSelection {
    int title = 0;
    int track = 0;
    bool chapters = false;
    int firstChapter = 0;
    int lastChapter = 0;
    // A disc with both sides (DVD-Audio and DVD-Video): its video side instead of its audio side.
    bool videoSide = false;
};

// The resolution of the samples written: the source's own (for the raw path, 20 valid bits in 3-byte
// containers), or reduced to 16 bits.
enum class TResolution { Source, Reduced16 };

// What a host asks to have converted; the runs take everything they need from it.
struct TRunRequest {
    std::string input;
    // The output file; for one file per chapter, the folder for them. Empty for the default: beside a
    // file input, or the disc's default names in `folder`.
    std::string output;
    std::string folder = ".";
    TSelection selection;
    TResolution resolution = TResolution::Source;
    // The rate a raw input's header takes; a program stream or disc takes its own, and when the rate was
    // given by the user it says so.
    int32_t sampleRate = 48000;
    bool rateGiven = false;
    // The output format; nullptr: the one the output's name ends in, else WAVE.
    const TOutputFormatRow* format = nullptr;
    TRunOptions options;
    // What every output says of itself; the run adds what it knows of each (title, album, chapters).
    TOutputMetadata metadata;
};

// The request's output format: as asked, else by the output's extension, else WAVE.
inline const TOutputFormatRow& FormatOf(const TRunRequest& request) {
    if (request.format)
        return *request.format;
    if (const TOutputFormatRow* named = OutputFormatOfName(request.output))
        return *named;
    return DefaultOutputFormat();
}

// The settings a request's sinks are made with.
inline TSinkSettings SinkSettingsOf(const TRunRequest& request, bool plainWave) {
    return {plainWave, request.options.level, request.options.threads, request.options.extensible};
}
