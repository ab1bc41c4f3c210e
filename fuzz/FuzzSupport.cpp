#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

struct Scratch {
    std::filesystem::path root;

    Scratch() {
        std::error_code ignored;
        const std::filesystem::path base =
            ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path(ignored);
        std::string pattern = (base / "oxlip-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("oxlip fuzz: mkdtemp");
            std::abort();
        }
        root = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

} // namespace

std::string ScratchPath(const std::string& name) {
    return (TheScratch().root / name).string();
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        FUZZ_CHECK(n > 0);
        done += static_cast<size_t>(n);
    }
    FUZZ_CHECK(::close(fd) == 0);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char chunk[65536];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0)
        bytes.append(chunk, static_cast<size_t>(n));
    ::close(fd);
    FUZZ_CHECK(n == 0);
    return true;
}

void FuzzCheckFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}
