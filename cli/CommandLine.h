#pragma once

#include "dvd/LpcmFormat.h"
#include "output/OutputFormat.h"
#include "run/RunRequest.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What `oxlip-convert` was asked to do.
struct ConvertOptions {
    int bits = 24;
    int32_t sampleRate = 48000;
    bool rateGiven = false; // -r was on the command line
    bool assumeYes = false;
    bool quiet = false;
    std::string output;
    std::vector<std::string> inputs;
    bool showHelp = false;
    bool showVersion = false;
    bool rf64 = false;   // outputs beyond the RIFF limit become RF64
    bool dither = false; // TPDF dither for -b 16
    // The raw path's 20-bit WAVE in WAVE_FORMAT_EXTENSIBLE rather than the plain 46-byte header.
    bool extensible = false;
    // --lpcm-packing: how 20- and 24-bit DVD LPCM of other than two channels is read.
    TLpcmPackingChoice lpcmPacking = TLpcmPackingChoice::Auto;
    bool strict = false;  // --strict: a program stream's audio that does not follow on fails the run
    bool fillGaps = true; // --no-gap-fill clears it: missing audio is left out, not filled with silence
    bool list = false;    // describe the inputs, convert nothing
    bool json = false;    // --json: with --list, one JSON object per input
    // --title N, --track N, --chapters A-B (or A alone, A-, -B); 0 when not given: the longest title, the
    // first LPCM stream, the first and the last chapter.
    TSelection selection;
    // --format NAME or --flac, else the format an -o name ends in; nullptr: WAVE (or, with --chapters, the
    // default).
    const TOutputFormatRow* format = nullptr;
    int flacLevel = -1;         // --flac-level N, 0 to 8; -1 when not given
    int threads = 0;            // --threads N: encoder threads; 0 for the machine's cores
    std::vector<TUserTag> tags; // --tag NAME=VALUE, in their order
};

// Parses the arguments; on a usage error returns false with the reason in `error`.
bool ParseCommandLine(const std::vector<std::string>& args, ConvertOptions& options, std::string& error);
