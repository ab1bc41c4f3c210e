#pragma once

#include <chrono>
#include <cstdint>

// Lets the window handle its events during a conversion without slowing it down. The run asks for event
// processing twice per group; processing them costs about a microsecond even when nothing is pending, so
// the pump looks at the clock only every so many calls and processes events only when the interval has
// passed since it last did.
class TEventPump {
public:
    static constexpr int kCallsPerClockCheck = 1024;
    static constexpr std::chrono::milliseconds kDefaultInterval{15};

    // Begins a run: the first events are processed one interval from now.
    void Start();
    void Pump() {
        if (--countdown_ <= 0)
            CheckClock();
    }

    void SetInterval(std::chrono::nanoseconds interval) { interval_ = interval; }
    // How often events were processed since Start.
    int64_t PumpCount() const { return pumpCount_; }

private:
    void CheckClock();

    int countdown_ = kCallsPerClockCheck;
    int64_t pumpCount_ = 0;
    std::chrono::nanoseconds interval_ = kDefaultInterval;
    std::chrono::steady_clock::time_point lastPump_{};
};
