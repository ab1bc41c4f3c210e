#pragma once

#include "disc/DvdReader.h"

#include <map>
#include <string>

// A disc image made in memory that holds only a VIDEO_TS folder of the given files (name to bytes, each a
// whole number of blocks), in the UDF form libdvdread reads: libdvdread parses copies of the IFO files from
// it without a file on disk.
std::string BuildInfoImage(const std::map<std::string, std::string>& files);

// libdvdread's reader of such an image, through an anonymous memory file; nullptr when none can be made.
TDvdReader OpenInfoImage(const std::string& image);
