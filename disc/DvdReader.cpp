#include "disc/DvdReader.h"

#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <dvdread/dvd_reader.h>

// libdvdread asks the dynamic loader for libdvdcss.so.2 on every open and decrypts with it when it is
// installed. Oxlip reads only unencrypted discs and never loads a decryption library, so this program's
// dlopen refuses that one name and hands every other request to the system's. (The definition in the
// executable takes the place of the C library's for libdvdread's calls.)
extern "C" void* dlopen(const char* file, int mode) {
    using TDlopen = void* (*)(const char*, int);
    static const TDlopen systemDlopen = reinterpret_cast<TDlopen>(dlsym(RTLD_NEXT, "dlopen"));
    if (file != nullptr) {
        const char* slash = std::strrchr(file, '/');
        if (std::strncmp(slash != nullptr ? slash + 1 : file, "libdvdcss", 9) == 0)
            return nullptr;
    }
    return systemDlopen(file, mode);
}

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
