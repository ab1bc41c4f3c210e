#pragma once

#include <FLAC/stream_encoder.h>

#include <cstdint>

// Exported by libFLAC for the flac tool's --no-md5-sum, and part of its ABI, though not in the installed
// headers.
extern "C" FLAC_API FLAC__bool FLAC__stream_encoder_set_do_md5(FLAC__StreamEncoder* encoder,
                                                               FLAC__bool value);

// What every libFLAC encoder of one output is given, so that the encoder that writes the file's head and
// those that encode its frames make the same stream.
struct TFlacEncoderSettings {
    uint32_t channels = 2;
    uint32_t bitsPerSample = 16; // the valid bits: 20 stays 20
    uint32_t sampleRate = 48000;
    int level = 5;
};

// Gives an uninitialised encoder the settings; the length stays unknown and libFLAC sums no MD5 (the
// sink does). False when libFLAC refuses one.
inline bool ConfigureFlacEncoder(FLAC__StreamEncoder* encoder, const TFlacEncoderSettings& settings) {
    return FLAC__stream_encoder_set_channels(encoder, settings.channels) &&
           FLAC__stream_encoder_set_bits_per_sample(encoder, settings.bitsPerSample) &&
           FLAC__stream_encoder_set_sample_rate(encoder, settings.sampleRate) &&
           FLAC__stream_encoder_set_compression_level(encoder, static_cast<uint32_t>(settings.level)) &&
           FLAC__stream_encoder_set_total_samples_estimate(encoder, 0) &&
           FLAC__stream_encoder_set_do_md5(encoder, false);
}
