#include "disc/InputKind.h"

#include "disc/Disc.h"
#include "disc/DiscLocation.h"
#include "dvd/ProgramStreamDemuxer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The first bytes of a regular file; nothing for anything else (a FIFO is never read here).
bool ReadStart(const std::string& path, uint8_t* bytes, size_t count) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const ssize_t got = ::pread(fd, bytes, count, 0);
    ::close(fd);
    return got == static_cast<ssize_t>(count);
}

} // namespace

TInputKind ClassifyInput(const std::string& path) {
    uint8_t start[kProgramStreamProbeBytes];
    if (ReadStart(path, start, sizeof start) && IsProgramStream(start, sizeof start))
        return TInputKind::ProgramStream;
    if (LooksLikeDisc(path) || HasDiscSignature(path))
        return TInputKind::Disc;
    return TInputKind::RawOrWave;
}
