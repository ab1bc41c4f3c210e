#pragma once

#include <chrono>

// Lets a hook that is called for every sample group cost next to nothing: it counts calls down and looks
// at the clock only when the count runs out, and is due only when the interval has passed since it last
// was. Used by both front ends for their event processing and progress display.
class TThrottle {
public:
    TThrottle(int callsPerClockCheck, std::chrono::nanoseconds interval)
        : callsPerClockCheck_(callsPerClockCheck), interval_(interval) {}

    // The first time it is due is one interval from now.
    void Start() {
        countdown_ = callsPerClockCheck_;
        last_ = std::chrono::steady_clock::now();
    }

    bool Due() {
        if (--countdown_ > 0) [[likely]]
            return false;
        countdown_ = callsPerClockCheck_;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < interval_)
            return false;
        last_ = now;
        return true;
    }

    // Starts the interval again from now: time spent in what was due (a dialog, say) does not count.
    void Restart() { last_ = std::chrono::steady_clock::now(); }

    void SetInterval(std::chrono::nanoseconds interval) { interval_ = interval; }

private:
    int callsPerClockCheck_;
    int countdown_ = 0;
    std::chrono::nanoseconds interval_;
    std::chrono::steady_clock::time_point last_{};
};
