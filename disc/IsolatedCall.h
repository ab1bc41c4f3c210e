#pragma once

#include <functional>
#include <optional>
#include <string>

// Limits on a call made in a child process.
struct TIsolationLimits {
    int seconds = 30;                  // wall-clock time before the child is killed
    int64_t memoryBytes = 512LL << 20; // address space the child may add to what it inherits
    size_t replyBytes = 16u << 20;     // the longest reply taken
};

// Runs `work` in a forked child and returns what it returned, or nothing when the child crashed, was
// killed for exceeding a limit, failed, or replied more than the limit. libdvdread parses the IFO files and
// the image's file system without checking them fully and crashes on damaged ones; doing that in a child
// keeps such a crash from taking the program (and the window) with it. The reply is only bytes: the caller
// checks every number in it.
std::optional<std::string> CallIsolated(const std::function<std::string()>& work,
                                        const TIsolationLimits& limits = {});
