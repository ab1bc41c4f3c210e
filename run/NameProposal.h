#pragma once

#include <string>

// The extension of a file name: the text from its last dot, unless a "\", ":" or "/" follows that dot
// (then there is none).
std::string FileExtension(const std::string& name);

// The output name proposed for an input: take1.raw gives take1.wav, take1.wav gives take1_new.wav (the
// extension compared in any letter case), a name without an extension gets ".wav" appended.
std::string ProposeOutputName(const std::string& inputName);
