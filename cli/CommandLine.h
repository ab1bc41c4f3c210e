#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What `oxlip-convert` was asked to do.
struct ConvertOptions {
    int bits = 24;
    int32_t sampleRate = 48000;
    bool assumeYes = false;
    bool quiet = false;
    std::string output;
    std::vector<std::string> inputs;
    bool showHelp = false;
    bool showVersion = false;
};

// Parses the arguments; on a usage error returns false with the reason in `error`.
bool ParseCommandLine(const std::vector<std::string>& args, ConvertOptions& options, std::string& error);

extern const char* const kUsage;
