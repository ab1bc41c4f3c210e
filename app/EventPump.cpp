#include "EventPump.h"

#include <QCoreApplication>

void TEventPump::Start() {
    countdown_ = kCallsPerClockCheck;
    pumpCount_ = 0;
    lastPump_ = std::chrono::steady_clock::now();
}

void TEventPump::CheckClock() {
    countdown_ = kCallsPerClockCheck;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPump_ < interval_)
        return;
    ++pumpCount_;
    QCoreApplication::processEvents();
    // Measured after processing: a dialog opened from the events must not count as time of the run.
    lastPump_ = std::chrono::steady_clock::now();
}
