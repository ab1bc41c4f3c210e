#pragma once

#include "disc/AudioDisc.h"

#include <string>

// The plain-text listing of a DVD-Audio disc for `oxlip-convert --list`: per title its number, length,
// track count and format (coding, bits, rate, channels and speakers), then each track's start and length
// to the millisecond where its samples are cut; a title that cannot be converted says why. A PCM title
// whose audio starts with the pre-emphasis flag says so (its first packs are read for that).
std::string FormatAudioDiscListing(const TAudioDisc& disc);

// The same as members of a JSON object: kind, label, whether a video side is there, and per title its
// number, title set, seconds, its tracks as chapters (start and length in seconds and in samples at the
// title's rate), its one audio stream, or why it cannot be converted.
std::string AudioDiscListingJson(const TAudioDisc& disc);
