#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What an output says of itself beside its samples, where the run knows it: the title and the album, the
// program that wrote it, and the frames at which its chapters begin (a whole disc title's, the first at 0;
// empty for none).
struct TOutputMarks {
    std::string title;
    std::string album;
    std::string encoder;
    std::vector<int64_t> chapterStarts;
};
