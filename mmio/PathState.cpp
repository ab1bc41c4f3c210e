#include "mmio/PathState.h"

#include <cerrno>
#include <sys/stat.h>

TPathState StateOfPath(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? TPathState::Folder : TPathState::File;
    return errno == ENOENT || errno == ENOTDIR ? TPathState::Missing : TPathState::Unknown;
}

bool NothingAt(const std::string& name) {
    const size_t end = name.find_last_not_of('/');
    struct stat st {};
    return end != std::string::npos && ::lstat(name.substr(0, end + 1).c_str(), &st) != 0 && errno == ENOENT;
}
