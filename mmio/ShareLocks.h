#pragma once

#include <cstdint>

// Share modes between every open of the same file, in this process and in others: each open takes
// open-file-description locks on reserved bytes far beyond any real data, in one range for each access it
// has and each access it denies, and tests the opposite ranges for locks held by other opens.
namespace mmio {

enum class ShareResult { Granted, Conflict, Unsupported, Error };

struct ShareRequest {
    bool hasRead;
    bool hasWrite;
    bool denyRead;
    bool denyWrite;
};

ShareRequest ShareRequestFor(uint32_t openFlags);

// Takes the locks for `request` on `fd` and checks that no other open conflicts with it. `readable` says
// whether `fd` was opened with read access: a write-only descriptor cannot hold read locks and takes write
// locks instead. Unsupported means the file system cannot lock at all; the open may then go ahead with
// the in-process record alone. Error leaves errno set.
ShareResult AcquireShare(int fd, bool readable, const ShareRequest& request);

// The in-process record of open files, which still enforces share modes where locks are unsupported.
class OpenFileRegistry {
public:
    // Records the open unless it conflicts with one already recorded for the same file. Raises
    // std::bad_alloc when the record cannot grow.
    static bool TryAdd(const void* owner, uint64_t device, uint64_t inode, const ShareRequest& request);
    static void Remove(const void* owner);
};

} // namespace mmio
