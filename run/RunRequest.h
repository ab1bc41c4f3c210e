#pragma once

#include "run/RunOptions.h"

#include <string>
#include <utility>
#include <vector>

// The formats an output can be written in.
enum class TOutputFormat { Wave, Flac };

// What a host asks to have converted. The output item (16 bits or the source's resolution) and the rate
// are answered by the host as the run asks for them.
struct TRunRequest {
    std::string input;
    // The output file; for one file per chapter, the folder for them. Empty for a disc: the default names,
    // in `folder`.
    std::string output;
    std::string folder = ".";
    // An output name ending in .flac asks for FLAC as well.
    TOutputFormat format = TOutputFormat::Wave;
    int flacLevel = 5; // 0 to 8
    // Vorbis comments for every FLAC output, each replacing an automatic one of its name.
    std::vector<std::pair<std::string, std::string>> tags;
    TRunOptions options;
    // The rate was given by the user: a program stream or disc takes its own, and says so.
    bool rateGiven = false;
    // Discs: the title (0: the longest), the audio stream (0: the first LPCM one), and one file per
    // chapter, from the first to the last (0: all). Program streams: `track` is the LPCM track (0: the
    // first).
    int title = 0;
    int track = 0;
    bool chapters = false;
    int firstChapter = 0;
    int lastChapter = 0;
};
