#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A regular file opened once for reads at offsets (pread): its readers share one descriptor and no
// position, and a file put in its place under the same name later is not the one read.
class TReadOnlyFile {
public:
    // nullptr unless `path` opens and is a regular file.
    static std::shared_ptr<const TReadOnlyFile> Open(const std::string& path);
    ~TReadOnlyFile();
    TReadOnlyFile(const TReadOnlyFile&) = delete;
    TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

    // Its size when it was opened.
    int64_t Size() const { return size_; }
    // Reads `count` bytes at `offset`, fewer where the file ends before them: the number read, -1 when a
    // read fails.
    int64_t ReadAt(int64_t offset, void* buffer, size_t count) const;

private:
    TReadOnlyFile(int fd, int64_t size) : fd_(fd), size_(size) {}

    int fd_;
    int64_t size_;
};
