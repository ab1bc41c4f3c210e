#pragma once

#include <memory>
#include <string>

struct dvd_reader_s;

// An open libdvdread handle, shared by the disc and the title readers made from it so that it outlives
// them all. libdvdread's own messages go nowhere: every failure reaches the user as one of ours.
using TDvdReader = std::shared_ptr<dvd_reader_s>;

// nullptr when libdvdread cannot open `path` (a disc root folder or an image file).
TDvdReader OpenDvdReader(const std::string& path);
