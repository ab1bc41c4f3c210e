#include "disc/DvdReader.h"

#include <cstdarg>
#include <dvdread/dvd_reader.h>

namespace {

void DiscardLog(void*, dvd_logger_level_t, const char*, va_list) {}

const dvd_logger_cb kQuietLogger = {DiscardLog};

} // namespace

TDvdReader OpenDvdReader(const std::string& path) {
    dvd_reader_t* reader = DVDOpen2(nullptr, &kQuietLogger, path.c_str());
    if (reader == nullptr)
        return nullptr;
    return TDvdReader(reader, DVDClose);
}
