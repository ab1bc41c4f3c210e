#pragma once

#include "disc/DvdReader.h"
#include "disc/TitleWire.h"

#include <optional>
#include <vector>

// The disc's titles as its title search pointer table (TT_SRPT) numbers them, each with its chain cells,
// chapters and audio streams, from the VMG and VTS IFO files. Nothing when an IFO file is missing or does
// not parse. libdvdread may crash on damaged IFO files: this runs only in the child process of ReadDisc.
std::optional<std::vector<TRawTitle>> ReadTitleTable(const TDvdReader& reader);
