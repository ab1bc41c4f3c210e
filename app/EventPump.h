#pragma once

#include "run/Throttle.h"

#include <chrono>
#include <cstdint>

// Lets the window handle its events during a conversion without slowing it down. The run asks for event
// processing twice per group; processing them costs about a microsecond even when nothing is pending, so
// the pump processes events only when its throttle says an interval has passed.
class TEventPump {
public:
    static constexpr int kCallsPerClockCheck = 1024;
    static constexpr std::chrono::milliseconds kDefaultInterval{15};

    // Begins a run: the first events are processed one interval from now.
    void Start();
    void Pump() {
        if (throttle_.Due())
            ProcessEvents();
    }

    void SetInterval(std::chrono::nanoseconds interval) { throttle_.SetInterval(interval); }
    // How often events were processed since Start.
    int64_t PumpCount() const { return pumpCount_; }

private:
    void ProcessEvents();

    TThrottle throttle_{kCallsPerClockCheck, kDefaultInterval};
    int64_t pumpCount_ = 0;
};
