#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Looking at a file before deciding what it is: bytes at an offset of a regular file, read without
// waiting on anything else (a FIFO, a device) and without moving any position, so that looking at an
// input does not count as reading it.
enum class TPeekResult {
    Read,     // all `count` bytes were read
    NotThere, // no regular file of that name, or it is shorter
    Failed,   // the file is there but could not be read
};

TPeekResult PeekFile(const std::string& path, int64_t offset, void* buffer, size_t count);

// What makes two names one file: the device and the inode.
struct TFileId {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const TFileId&) const = default;
};

// Nothing when no file of that name exists (links followed).
std::optional<TFileId> FileIdOf(const std::string& path);

// Both names exist and are the same file.
inline bool SameFile(const std::string& a, const std::string& b) {
    const std::optional<TFileId> first = FileIdOf(a);
    return first && first == FileIdOf(b);
}
