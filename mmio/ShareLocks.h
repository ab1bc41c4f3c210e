#pragma once

#include <cstdint>

// Share modes between every open of the same file, in this process and in others: each open takes
// shared open-file-description locks on reserved bytes far beyond any real data, one byte for each access
// it has and each access it denies, and tests the opposite bytes for locks held by other opens.
namespace mmio {

enum class ShareResult { Granted, Conflict, Unsupported, Error };

struct ShareRequest {
    bool hasRead;
    bool hasWrite;
    bool denyRead;
    bool denyWrite;
};

ShareRequest ShareRequestFor(uint32_t openFlags);

// Takes the locks for `request` on `fd` and checks that no other open conflicts with it. Unsupported
// means the file system refuses such locks; the open may then go ahead unlocked. Error leaves errno set.
ShareResult AcquireShare(int fd, const ShareRequest& request);

// The in-process record of open files, which still enforces share modes where locks are unsupported.
class OpenFileRegistry {
public:
    // Records the open unless it conflicts with one already recorded for the same file.
    static bool TryAdd(const void* owner, uint64_t device, uint64_t inode, const ShareRequest& request);
    static void Remove(const void* owner);
};

} // namespace mmio
