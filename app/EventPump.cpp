#include "EventPump.h"

#include <QCoreApplication>

void TEventPump::Start() {
    throttle_.Start();
    pumpCount_ = 0;
}

void TEventPump::ProcessEvents() {
    ++pumpCount_;
    QCoreApplication::processEvents();
    // Measured after processing: a dialog opened from the events must not count as time of the run.
    throttle_.Restart();
}
