#pragma once

#include "output/OutputMetadata.h"

#include <cstdint>
#include <string_view>
#include <vector>

// The chunks that go after a WAVE file's data chunk, so that the header stays where it is: `cue ` with a
// point per chapter and LIST/adtl labelling each "Chapter C", when there are chapters, then LIST/INFO
// with what is known of INAM (the title), IPRD (the album), IART, ICRD, IGNR, ICMT, ITRK and ISFT (the
// encoder). A user's tag replaces the field of its name (TITLE, ALBUM, ARTIST, DATE, GENRE, COMMENT,
// TRACKNUMBER, ENCODER); tags of other names have no field in INFO and are left out. Empty when the
// metadata holds nothing.
std::vector<uint8_t> WaveMarkChunks(const TOutputMetadata& metadata);

// Whether INFO has a field for a tag of this name (compared without regard to ASCII case).
bool WaveInfoTakesTag(std::string_view name);
