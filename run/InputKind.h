#pragma once

#include <string>

// What an input is, decided by its content: a DVD-Video disc (folder, IFO file or image; also a file that
// only looks like one, so that the disc reader says what is wrong with it), a DVD program stream (.VOB),
// or anything else, which goes the raw or swapped-WAVE way. One rule for every host: a folder is a disc
// only when it holds one; any other folder is no input at all, which the raw run's checks say.
// Refused: an input that could not be looked at, or one named as a disc or stream (.iso, .ifo, .vob, .mpg)
// that holds none, which is never taken for raw audio.
enum class TInputKind { RawOrWave, ProgramStream, Disc, Refused };

// For a refused input, `refusal` (when given) says why.
TInputKind ClassifyInput(const std::string& path, std::string* refusal = nullptr);
