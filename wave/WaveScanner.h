#pragma once

#include "mmio/MMIOFile.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <functional>

// Walks a RIFF WAVE file's chunks and returns the offset of the "data" chunk's body; 0 when the file is
// not RIFF WAVE or no data chunk is reached (a short read, a failed move, the end of the file). Fills
// `header` with what it reads on the way. Never raises; leaves the position where the scan stopped.
int64_t FindWaveData(TMMIOFile& file, TWaveHeader& header);
// The same, and `readFailed` tells whether the scan ended on a read error (the file could not be read)
// rather than on what the file holds: a WAVE file is not to be taken for raw input because of that.
int64_t FindWaveData(TMMIOFile& file, TWaveHeader& header, bool& readFailed);
// The same, asking `keepGoing` before every chunk: a file of millions of empty chunks takes long to walk,
// and the caller may stop it (the scan then gives 0).
int64_t FindWaveData(TMMIOFile& file, TWaveHeader& header, bool& readFailed,
                     const std::function<bool()>& keepGoing);
