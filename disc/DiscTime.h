#pragma once

#include <cstdint>

// A DVD playback time (hours, minutes, seconds and frames, each two BCD digits; the frame byte's two high
// bits give the frame rate: 01 for 25 fps, 11 for 29.97 fps) in 90 kHz ticks. -1 for a time that is not
// valid BCD or has an unknown frame rate.
int64_t PlaybackTicks(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte);
