#include "mmio/ShareLocks.h"

#include "mmio/MMIOCodes.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <vector>

namespace mmio {
namespace {

// Reserved lock ranges, far beyond any real data: one for each access an open may have and each it may
// deny. A readable open holds a shared read lock on the first byte of a range. A write-only open cannot
// hold read locks, so it holds a write lock on a byte of the range that no other open holds. Another open
// conflicts when it finds any lock of another open anywhere in the opposite range.
constexpr off_t kSlots = 4096;
constexpr off_t kLockBase = 0x7FFF'FFFF'FFFF'0000;
constexpr off_t kHasRead = kLockBase + 0 * kSlots;
constexpr off_t kHasWrite = kLockBase + 1 * kSlots;
constexpr off_t kDeniesRead = kLockBase + 2 * kSlots;
constexpr off_t kDeniesWrite = kLockBase + 3 * kSlots;

struct flock LockOn(off_t start, off_t length, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    lock.l_pid = 0;
    return lock;
}

// Whether a lock request failed because locks cannot be had here at all, rather than for this open.
bool LocksUnsupported(int error) {
    // ENOLCK: no lock manager to ask (NFS without its lock service). EOPNOTSUPP: a file system
    // without byte-range locks. EINVAL: a kernel without open-file-description locks. Any other error,
    // EBADF above all, is a fault of this open and must not switch the share check off.
    return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL;
}

ShareResult Failure() {
    return LocksUnsupported(errno) ? ShareResult::Unsupported : ShareResult::Error;
}

ShareResult Hold(int fd, bool readable, off_t range) {
    if (readable) {
        struct flock lock = LockOn(range, 1, F_RDLCK);
        return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? ShareResult::Granted : Failure();
    }
    // Write locks exclude each other: every write-only open needs a byte of its own.
    for (off_t slot = range + 1; slot < range + kSlots; ++slot) {
        struct flock lock = LockOn(slot, 1, F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &lock) == 0)
            return ShareResult::Granted;
        if (errno != EAGAIN && errno != EACCES)
            return Failure();
    }
    return ShareResult::Conflict; // thousands of writers at once: refusing one more harms nobody
}

// Whether another open holds a lock anywhere in the range (locks of this open never count).
ShareResult Probe(int fd, off_t range) {
    struct flock lock = LockOn(range, kSlots, F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return Failure();
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

ShareResult AcquireShare(int fd, bool readable, const ShareRequest& request) {
    // Take this open's own locks first, then look for conflicts: of two opens racing, at least one sees
    // the other.
    const std::pair<bool, off_t> holds[] = {{request.hasRead, kHasRead},
                                            {request.hasWrite, kHasWrite},
                                            {request.denyRead, kDeniesRead},
                                            {request.denyWrite, kDeniesWrite}};
    for (const auto& [wanted, offset] : holds) {
        if (!wanted)
            continue;
        const ShareResult result = Hold(fd, readable, offset);
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
