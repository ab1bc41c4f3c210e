#pragma once

#include <string>

// What an input is, decided by its content: a DVD-Video disc (folder, IFO file or image; also a file that
// only looks like one, so that the disc reader says what is wrong with it), a DVD program stream (.VOB),
// or anything else, which goes the raw or swapped-WAVE way.
enum class TInputKind { RawOrWave, ProgramStream, Disc };

TInputKind ClassifyInput(const std::string& path);
