#pragma once

#include "dvd/LpcmFormat.h"

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
    // --lpcm-packing: how 20- and 24-bit DVD LPCM of other than two channels is read.
    TLpcmPackingChoice lpcmPacking = TLpcmPackingChoice::Auto;
    bool list = false; // describe the inputs, convert nothing
    int track = 0;     // --track N; 0 when not given
    int title = 0;     // --title N; 0 when not given
    bool chapters = false;
    // --chapters A-B (or A alone, A-, -B): the chapters to convert; 0 for the first, 0 for the last.
    int firstChapter = 0;
    int lastChapter = 0;
    bool flac = false;                                     // --flac, or an -o name ending in .flac
    int flacLevel = 5;                                     // --flac-level N, 0 to 8
    std::vector<std::pair<std::string, std::string>> tags; // --tag NAME=VALUE, in their order
};

// Parses the arguments; on a usage error returns false with the reason in `error`.
bool ParseCommandLine(const std::vector<std::string>& args, ConvertOptions& options, std::string& error);
