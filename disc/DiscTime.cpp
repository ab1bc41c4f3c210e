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
    const int64_t seconds = int64_t{h} * 3600 + m * 60 + s;
    switch (frameByte >> 6) {
    case 1:
        return (seconds * 25 + f) * 3600;
    case 3:
        return (seconds * 30 + f) * 3003;
    default:
        // Rate bits 00 come with a zero frame count in some authoring tools' cells: whole seconds.
        return f == 0 ? seconds * 90000 : -1;
    }
}
