#pragma once

#include "mmio/SysCalls.h"

#include <cerrno>
#include <unistd.h>

// Counts the system calls the file object makes, and can make them fail.
struct SysCallSpy {
    static inline int reads = 0;
    static inline int writes = 0;
    static inline int failWritesAfter = -1; // writes that succeed before every further one fails
    static inline int failReadsAfter = -1;

    SysCallSpy() : saved(mmio::Sys()) {
        reads = writes = 0;
        failWritesAfter = failReadsAfter = -1;
        mmio::Sys().read = [](int fd, void* buffer, size_t count) -> ssize_t {
            if (failReadsAfter >= 0 && reads >= failReadsAfter) {
                errno = EIO;
                return -1;
            }
            ++reads;
            return ::read(fd, buffer, count);
        };
        mmio::Sys().write = [](int fd, const void* buffer, size_t count) -> ssize_t {
            if (failWritesAfter >= 0 && writes >= failWritesAfter) {
                errno = ENOSPC;
                return -1;
            }
            ++writes;
            return ::write(fd, buffer, count);
        };
    }
    ~SysCallSpy() { mmio::Sys() = saved; }
    mmio::SysCalls saved;
};
