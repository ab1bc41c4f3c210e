#pragma once

#include "disc/DiscContent.h"
#include "disc/DvdReader.h"

#include <optional>
#include <vector>

// The disc's titles as its title search pointer table (TT_SRPT) numbers them, each with its cells in
// program-chain order, chapters, duration and audio streams, from the VMG and VTS IFO files. Nothing when
// an IFO file is missing or does not parse.
std::optional<std::vector<TDiscTitle>> ReadTitleTable(const TDvdReader& reader);
