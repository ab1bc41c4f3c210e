#include "mmio/FilePeek.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TPeekResult PeekFile(const std::string& path, int64_t offset, void* buffer, size_t count) {
    // Opened first and then asked what it is, so that the answer is about the file that is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return TPeekResult::NotThere;
    struct stat st {};
    TPeekResult result = TPeekResult::NotThere;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        const ssize_t got = ::pread(fd, buffer, count, static_cast<off_t>(offset));
        if (got < 0)
            result = TPeekResult::Failed;
        else if (static_cast<size_t>(got) == count)
            result = TPeekResult::Read;
    }
    ::close(fd);
    return result;
}

std::optional<TFileId> FileIdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return TFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}
