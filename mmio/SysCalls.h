#pragma once

#include <sys/types.h>

// The few system calls the file object makes per buffer. They go through this table so that tests can
// inject I/O errors and short writes; the program itself never changes it.
namespace mmio {

struct SysCalls {
    ssize_t (*read)(int fd, void* buffer, size_t count);
    ssize_t (*write)(int fd, const void* buffer, size_t count);
};

SysCalls& Sys();

} // namespace mmio
