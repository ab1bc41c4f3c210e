#pragma once

#include "dvd/LpcmFormat.h"
#include "output/AudioSink.h"
#include "output/FlacSink.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// FLAC outputs: the compression level and the comments every output of the call gets, each replacing an
// automatic one of its name.
struct TFlacSettings {
    int level = TFlacSink::kDefaultLevel;
    std::vector<TFlacTag> tags;
};

// How a run writes its outputs, beside what the host's controls say (the format item and the rate).
struct TRunOptions {
    // Outputs are written so that they may outgrow RIFF: no fallback question and no 16-bit limit then.
    // The raw path otherwise writes the plain 46-byte RIFF WAVE file with its limits.
    bool rf64 = false;
    // 16-bit outputs are reduced with TPDF dither instead of dropping the low bits.
    bool dither = false;
    // Where the samples go instead of the output format's own sink; for tests.
    std::function<std::unique_ptr<TAudioSink>()> makeSink;
    // Outputs are FLAC instead of WAVE.
    std::optional<TFlacSettings> flac;
    // How 20- and 24-bit DVD LPCM of other than two channels is packed: detected per track, or forced.
    TLpcmPackingChoice lpcmPacking = TLpcmPackingChoice::Auto;
};
