#include "mmio/ReadOnlyFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::shared_ptr<const TReadOnlyFile> TReadOnlyFile::Open(const std::string& path) {
    // Not blocking: a FIFO put in the file's place must not hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<const TReadOnlyFile>(new TReadOnlyFile(fd, st.st_size));
}

TReadOnlyFile::~TReadOnlyFile() {
    ::close(fd_);
}

int64_t TReadOnlyFile::ReadAt(int64_t offset, void* buffer, size_t count) const {
    if (offset < 0)
        return -1;
    auto* into = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd_, into + done, count - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}
