#include "mmio/ShareLocks.h"

#include "mmio/MMIOCodes.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <vector>

namespace mmio {
namespace {

// Reserved lock bytes, far beyond any real data. An open holds a shared lock on the byte of each access it
// has and of each access it denies; a conflicting open finds a lock of another open on the opposite byte.
constexpr off_t kLockBase = 0x7FFF'FFFF'FFFF'FF00;
constexpr off_t kHasRead = kLockBase + 0;
constexpr off_t kHasWrite = kLockBase + 1;
constexpr off_t kDeniesRead = kLockBase + 2;
constexpr off_t kDeniesWrite = kLockBase + 3;

struct flock LockAt(off_t offset, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    lock.l_pid = 0;
    return lock;
}

bool LocksUnsupported(int error) { return error == ENOLCK || error == EINVAL || error == EBADF; }

ShareResult Hold(int fd, off_t offset) {
    struct flock lock = LockAt(offset, F_RDLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return ShareResult::Granted;
    if (errno == EAGAIN || errno == EACCES)
        return ShareResult::Conflict;
    return LocksUnsupported(errno) ? ShareResult::Unsupported : ShareResult::Error;
}

// Whether another open holds a lock on the byte (locks of this open never count).
ShareResult Probe(int fd, off_t offset) {
    struct flock lock = LockAt(offset, F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return LocksUnsupported(errno) ? ShareResult::Unsupported : ShareResult::Error;
    return lock.l_type == F_UNLCK ? ShareResult::Granted : ShareResult::Conflict;
}

bool Clashes(const ShareRequest& a, const ShareRequest& b) {
    return (a.hasRead && b.denyRead) || (a.hasWrite && b.denyWrite) || (a.denyRead && b.hasRead) ||
           (a.denyWrite && b.hasWrite);
}

struct Entry {
    const void* owner;
    uint64_t device;
    uint64_t inode;
    ShareRequest request;
};

std::mutex registryMutex;
std::vector<Entry>& Registry() {
    static std::vector<Entry> entries;
    return entries;
}

} // namespace

ShareRequest ShareRequestFor(uint32_t openFlags) {
    const uint32_t access = openFlags & kAccessMask;
    const uint32_t share = openFlags & kShareMask;
    ShareRequest request{};
    request.hasRead = access == kRead || access == kReadWrite;
    request.hasWrite = access == kWrite || access == kReadWrite;
    // Compatibility mode behaves as deny-none.
    request.denyRead = share == kExclusive || share == kDenyRead;
    request.denyWrite = share == kExclusive || share == kDenyWrite;
    return request;
}

ShareResult AcquireShare(int fd, const ShareRequest& request) {
    // Take this open's own locks first, then look for conflicts: of two opens racing, at least one sees
    // the other.
    const std::pair<bool, off_t> holds[] = {{request.hasRead, kHasRead},
                                            {request.hasWrite, kHasWrite},
                                            {request.denyRead, kDeniesRead},
                                            {request.denyWrite, kDeniesWrite}};
    for (const auto& [wanted, offset] : holds) {
        if (!wanted)
            continue;
        const ShareResult result = Hold(fd, offset);
        if (result != ShareResult::Granted)
            return result;
    }
    const std::pair<bool, off_t> probes[] = {{request.hasRead, kDeniesRead},
                                             {request.hasWrite, kDeniesWrite},
                                             {request.denyRead, kHasRead},
                                             {request.denyWrite, kHasWrite}};
    for (const auto& [wanted, offset] : probes) {
        if (!wanted)
            continue;
        const ShareResult result = Probe(fd, offset);
        if (result != ShareResult::Granted)
            return result;
    }
    return ShareResult::Granted;
}

bool OpenFileRegistry::TryAdd(const void* owner, uint64_t device, uint64_t inode,
                              const ShareRequest& request) {
    const std::lock_guard guard(registryMutex);
    auto& entries = Registry();
    for (const Entry& entry : entries)
        if (entry.device == device && entry.inode == inode && Clashes(entry.request, request))
            return false;
    entries.push_back({owner, device, inode, request});
    return true;
}

void OpenFileRegistry::Remove(const void* owner) {
    const std::lock_guard guard(registryMutex);
    std::erase_if(Registry(), [owner](const Entry& entry) { return entry.owner == owner; });
}

} // namespace mmio
