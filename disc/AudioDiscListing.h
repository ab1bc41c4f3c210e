#pragma once

#include "disc/AudioDisc.h"

#include <string>

// The plain-text listing of a DVD-Audio disc for `oxlip-convert --list`: per title its number, length,
// track count and format (coding, bits, rate, channels and speakers), then each track's start and length
// to the millisecond where its samples are cut; a title that cannot be converted says why. A PCM title
// whose audio starts with the pre-emphasis flag says so (its first packs are read for that).
std::string FormatAudioDiscListing(const TAudioDisc& disc);
