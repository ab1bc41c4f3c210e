#include "run/InputKind.h"

#include "disc/Disc.h"
#include "disc/DiscLocation.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "mmio/FilePeek.h"

TInputKind ClassifyInput(const std::string& path) {
    uint8_t start[kProgramStreamProbeBytes];
    if (PeekFile(path, 0, start, sizeof start) == TPeekResult::Read && IsProgramStream(start, sizeof start))
        return TInputKind::ProgramStream;
    if (LooksLikeDisc(path) || HasDiscSignature(path))
        return TInputKind::Disc;
    return TInputKind::RawOrWave;
}
