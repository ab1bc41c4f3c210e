#include "mmio/FilePeek.h"

#include "mmio/ReadOnlyFile.h"

#include <sys/stat.h>

TPeekResult PeekFile(const std::string& path, int64_t offset, void* buffer, size_t count) {
    // Opened first and then asked what it is, so that the answer is about the file that is read.
    const std::shared_ptr<const TReadOnlyFile> file = TReadOnlyFile::Open(path);
    if (file == nullptr)
        return TPeekResult::NotThere;
    const int64_t got = file->ReadAt(offset, buffer, count);
    if (got < 0)
        return TPeekResult::Failed;
    return static_cast<size_t>(got) == count ? TPeekResult::Read : TPeekResult::NotThere;
}

std::optional<TFileId> FileIdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return TFileId{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}
