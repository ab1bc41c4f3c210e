#pragma once

#include "output/AudioFormat.h"

#include <cstdint>
#include <vector>

class TMMIOFile;

// An output WAVE file that may grow beyond what RIFF's 32-bit sizes describe. Its header is written with
// zero sizes before the samples and finished once they are all written:
//
//   RIFF <size> WAVE, JUNK (28 bytes, the place of a ds64 chunk), fmt, data <size>, samples.
//
// Mono and stereo at 16 or 24 bits get the 18-byte PCM format chunk (format tag 1); 20 valid bits and 3 to
// 8 channels get WAVE_FORMAT_EXTENSIBLE: 24 bits per sample for the 3-byte containers, the valid bits and
// the format's channel mask. The finished header is RIFF when the file fits 4 GiB, else RF64
// with a ds64 chunk (EBU Tech 3306), the 32-bit sizes then 0xFFFFFFFF.

// The header's length: 82 bytes for plain PCM, 104 for the extensible format.
int WaveWriterHeaderBytes(const TAudioFormat& format);

// The format chunk, its id and size included: 26 bytes of plain PCM, or 48 of the extensible format.
std::vector<uint8_t> WaveFormatChunk(const TAudioFormat& format);

// The header to write before the samples: RIFF with both sizes 0, the JUNK placeholder in place.
std::vector<uint8_t> ProvisionalWaveHeader(const TAudioFormat& format);

// The finished header for `dataBytes` bytes of samples: RIFF when the file stays within 4 GiB, else RF64.
// `trailerBytes`: the chunks after the data chunk, counted in the RIFF size.
std::vector<uint8_t> BuildWaveWriterHeader(const TAudioFormat& format, int64_t dataBytes,
                                           int64_t trailerBytes = 0);

// Finishes a file whose header and `dataBytes` bytes of samples are written: adds the pad byte an odd data
// chunk needs, then writes the header with the real sizes at offset 0. False when a seek or write failed;
// closing the file afterwards flushes it, which may still fail.
// `trailer`: whole chunks that follow the data chunk.
bool FinishWaveFile(TMMIOFile& file, const TAudioFormat& format, int64_t dataBytes,
                    const std::vector<uint8_t>& trailer = {});
