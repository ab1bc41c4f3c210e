#pragma once

#include <cstdint>

// A DVD playback time in 90 kHz ticks. The time is a frame count written as hours, minutes, seconds and
// frames (each two BCD digits); the frame byte's two high bits give the rate: 01 for 25 fps, 11 for
// 29.97 fps, whose "seconds" are 30 frames of 3003 ticks each (as authoring tools write them). -1 for a
// time that is not valid BCD or has an unknown frame rate.
int64_t PlaybackTicks(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte);
