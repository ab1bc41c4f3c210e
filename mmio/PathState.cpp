#include "mmio/PathState.h"

#include <cerrno>
#include <sys/stat.h>

TPathState StateOfPath(const std::string& name) {
    struct stat st {};
    if (::stat(name.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? TPathState::Folder : TPathState::File;
    return errno == ENOENT || errno == ENOTDIR ? TPathState::Missing : TPathState::Unknown;
}
