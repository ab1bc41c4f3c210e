#pragma once

#include "disc/DvdReader.h"
#include "disc/TitleWire.h"

#include <functional>
#include <optional>
#include <vector>

// The disc's titles as its title search pointer table (TT_SRPT) numbers them, each with its chain cells,
// chapters and audio streams, from the VMG and VTS IFO files. Nothing when the VMG's IFO file is missing or
// does not parse; a title whose title set's IFO file is missing or does not parse has the fault
// IfoUnreadable. `beforeOpening`, when given, is called with 0 and with each title set's number before its
// IFO file is opened. libdvdread may crash on damaged IFO files: this runs only in the disc reader's child
// process.
std::optional<std::vector<TRawTitle>> ReadTitleTable(const TDvdReader& reader,
                                                     const std::function<void(int)>& beforeOpening = {});
