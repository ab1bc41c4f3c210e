#pragma once

#include "output/OutputMarks.h"

#include <cstdint>
#include <vector>

// The chunks that go after a WAVE file's data chunk, so that the header stays where it is: `cue ` with a
// point per chapter and LIST/adtl labelling each "Chapter C", when there are chapters, then LIST/INFO
// with INAM (the title), IPRD (the album) and ISFT (the encoder), those that are known. Empty when the
// marks hold nothing.
std::vector<uint8_t> WaveMarkChunks(const TOutputMarks& marks);
