#pragma once

#include "dvd/LpcmFormat.h"
#include "output/AudioSink.h"

#include <functional>
#include <memory>

// How a run writes its outputs, beside the format, the resolution and the rate.
struct TRunOptions {
    // Outputs are written so that they may outgrow RIFF: no fallback question and no 16-bit limit then.
    // The raw path otherwise writes the plain 46-byte RIFF WAVE file with its limits.
    bool rf64 = false;
    // 16-bit outputs are reduced with TPDF dither instead of dropping the low bits.
    bool dither = false;
    // Where the samples go instead of the output format's own sink; for tests.
    std::function<std::unique_ptr<TAudioSink>()> makeSink;
    // How 20- and 24-bit DVD LPCM of other than two channels is packed: detected per track, or forced.
    TLpcmPackingChoice lpcmPacking = TLpcmPackingChoice::Auto;
    // A program stream's audio that does not follow on (a pack lost, blanked or out of order, a gap in
    // time) fails the run instead of being concealed.
    bool strictStream = false;
    // Missing time in a program stream's audio is filled with silence; otherwise the audio on either side
    // is joined.
    bool fillGaps = true;
    // The format's compression level (FLAC 0-8); -1 for its default.
    int level = -1;
    // Encoder threads for the formats that use them; 0 for the machine's cores.
    int threads = 0;
    // The raw path's plain WAVE file describes 20 valid bits with WAVE_FORMAT_EXTENSIBLE.
    bool extensible = false;
};
