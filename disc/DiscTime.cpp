#include "disc/DiscTime.h"

namespace {

int FromBcd(uint8_t value) {
    const int high = value >> 4, low = value & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

} // namespace

int64_t PlaybackTicks(uint8_t hour, uint8_t minute, uint8_t second, uint8_t frameByte) {
    const int h = FromBcd(hour), m = FromBcd(minute), s = FromBcd(second), f = FromBcd(frameByte & 0x3F);
    if (h < 0 || m < 0 || s < 0 || f < 0)
        return -1;
    // A 25 fps frame lasts 3600 ticks; a 29.97 fps frame 3003 (90000 * 1001 / 30000).
    int64_t ticksPerFrame = 0;
    switch (frameByte >> 6) {
    case 1:
        ticksPerFrame = 3600;
        break;
    case 3:
        ticksPerFrame = 3003;
        break;
    default:
        // Rate bits 00 come with a zero frame count in some authoring tools' cells: whole seconds.
        if (f != 0)
            return -1;
    }
    return (int64_t{h} * 3600 + m * 60 + s) * 90000 + f * ticksPerFrame;
}
