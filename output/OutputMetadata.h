#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A tag as the user gives it (--tag NAME=VALUE): its name (printable ASCII, no '=') and its UTF-8 value.
using TUserTag = std::pair<std::string, std::string>;

// What one output says of itself beside its samples, in one shape for every format; each sink maps it to
// its own fields (Vorbis comments and CUESHEET, LIST/INFO and cue, APEv2). Empty fields are left out.
struct TOutputMetadata {
    std::string title;
    std::string album;
    std::string artist;
    int trackNumber = 0; // 0: none
    int trackTotal = 0;
    // The program that wrote the file; a sink that always names its maker (FLAC's ENCODER) fills it in
    // itself when empty.
    std::string encoder;
    // The frames at which a whole title's chapters begin, the first at 0; empty for none. A run that finds
    // them as it reads gives the sink the final ones before Finish (TAudioSink::SetChapterStarts).
    std::vector<int64_t> chapterStarts;
    // The user's tags, in their order; each replaces the automatic field of its name.
    std::vector<TUserTag> userTags;
    bool preEmphasis = false;

    bool Empty() const {
        return title.empty() && album.empty() && artist.empty() && trackNumber == 0 && encoder.empty() &&
               chapterStarts.empty() && userTags.empty() && !preEmphasis;
    }
};
