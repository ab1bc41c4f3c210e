#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// Limits on a call made in a child process.
struct TIsolationLimits {
    int seconds = 30;                  // wall-clock time before the child is killed, at most the budget's
    int64_t memoryBytes = 512LL << 20; // address space the child may add to what it inherits
    size_t replyBytes = 16u << 20;     // the longest reply taken
};

// Runs `work` in a forked child and returns what it returned, or nothing when the child crashed, was
// killed for exceeding a limit, failed, or replied more than the limit. libdvdread parses the IFO files and
// the image's file system without checking them fully and crashes on damaged ones; doing that in a child
// keeps such a crash from taking the program (and the window) with it. The reply is only bytes: the caller
// checks every number in it.
// No child runs past its deadline, nor starts after it.
std::optional<std::string> CallIsolated(const std::function<std::string()>& work,
                                        const TIsolationLimits& limits = {});

// The time all the children of one look at a disc take together: its opening, its listing, or the planning
// of its run. While one lives on a thread, every CallIsolated on that thread shares its deadline; one made
// inside it shares the outer one's. So a disc whose child never returns costs one wait, however many
// children the look makes. Without one, each call has a budget of its own.
class TIsolationBudget {
public:
    // The default: 30 seconds, or OXLIP_DISC_SECONDS (1 to 3600) where it is set.
    TIsolationBudget() : TIsolationBudget(DefaultLength()) {}
    explicit TIsolationBudget(std::chrono::milliseconds length);
    ~TIsolationBudget();
    TIsolationBudget(const TIsolationBudget&) = delete;
    TIsolationBudget& operator=(const TIsolationBudget&) = delete;

    static std::chrono::milliseconds DefaultLength();

private:
    bool outer_ = false;
};
