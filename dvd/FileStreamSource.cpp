#include "dvd/FileStreamSource.h"

#include <algorithm>
#include <limits>

TFileStreamSource::TFileStreamSource(TMMIOFile& file) : file_(file) {
    file_.SetBufferSize(kBufferSize);
    start_ = file_.Position();
    const int64_t end = file_.SeekToEnd();
    if (start_ >= 0 && end >= start_ && file_.SeekTo(start_) == start_)
        size_ = end;
}

bool TFileStreamSource::Restart() {
    failed_ = start_ < 0 || file_.SeekTo(start_) != start_;
    return !failed_;
}

int64_t TFileStreamSource::Read(uint8_t* buffer, int64_t count) {
    if (failed_)
        return -1;
    int64_t total = 0;
    while (total < count) {
        const auto piece =
            static_cast<int32_t>(std::min<int64_t>(count - total, std::numeric_limits<int32_t>::max()));
        const int32_t got = file_.Read(buffer + total, piece);
        if (got < 0)
            return total > 0 ? total : -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}
