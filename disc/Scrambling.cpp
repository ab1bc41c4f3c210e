#include "disc/Scrambling.h"

bool PackIsScrambled(const uint8_t* pack) {
    // MPEG-2 pack header: 00 00 01 BA, ten more bytes, the last one's low three bits the stuffing length.
    if (pack[0] != 0 || pack[1] != 0 || pack[2] != 1 || pack[3] != 0xBA || (pack[4] & 0xC0) != 0x40)
        return false;
    const uint8_t* pes = pack + 14 + (pack[13] & 0x07);
    if (pes[0] != 0 || pes[1] != 0 || pes[2] != 1)
        return false;
    const uint8_t id = pes[3];
    const bool carriesMedia = id == 0xBD || (id >= 0xC0 && id <= 0xEF);
    // An MPEG-2 PES header's first flag byte: '10', then the two scrambling-control bits.
    return carriesMedia && (pes[6] & 0xC0) == 0x80 && (pes[6] & 0x30) != 0;
}
