#pragma once

#include "disc/DvdReader.h"

#include <cstdint>
#include <memory>

class TReadOnlyFile;

// A title set's VOBs as one run of 2048-byte blocks from block 0, however the disc stores them.
class TVobBlocks {
public:
    virtual ~TVobBlocks() = default;
    // Their size in blocks.
    virtual int64_t Blocks() const = 0;
    // Reads up to `count` blocks from `block` on into `into`: the number read, fewer (or none) where the
    // VOBs or the file holding them end, -1 when a read fails.
    virtual int64_t Read(int64_t block, int64_t count, uint8_t* into) = 0;
};

// The title set's VOB files through libdvdread, which reads them as one run across their 1 GB files (a
// folder's; or an image's in the child that parses it); nullptr when it cannot open them.
std::unique_ptr<TVobBlocks> OpenDvdreadVobs(const TDvdReader& reader, int titleSet);

// `blocks` blocks of an image from `firstSector` on, read with plain reads: a run the caller has checked
// to lie inside the image as it was opened.
std::unique_ptr<TVobBlocks> OpenImageVobs(std::shared_ptr<const TReadOnlyFile> image, int64_t firstSector,
                                          int64_t blocks);
