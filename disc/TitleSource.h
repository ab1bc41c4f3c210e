#pragma once

#include "disc/DiscContent.h"
#include "disc/VobBlocks.h"
#include "dvd/StreamSource.h"

#include <memory>
#include <string>
#include <vector>

// A title's program stream: its cells' sectors in program-chain order, read from the title set's VOBs as
// one stream across their 1 GB boundaries, in large block reads. A read error, or a scrambled (CSS) pack
// met on the way, ends the stream with -1 and names the cause in Error().
//
// Past its Size(), the stream goes on with up to kTailBlocks of the VOBs that follow the last cell: a
// title that ends inside a VOB may have audio of its own muxed there, after the video it plays with. A
// read that fails there only ends the stream.
class TTitleSource : public TStreamSource {
public:
    // The title's cells of its title set's VOBs.
    TTitleSource(std::unique_ptr<TVobBlocks> vobs, const TDiscTitle& title);

    // About three seconds of the highest rate a DVD reads at, the farthest audio strays from its video.
    static constexpr int64_t kTailBlocks = 2048;

    int64_t Read(uint8_t* buffer, int64_t count) override;
    // The title's cells' bytes, without the tail.
    int64_t Size() const override { return size_; }
    bool Restart() override;
    // Empty until a read fails: msg::kDiscReadFailed or msg::kDiscEncrypted.
    const std::string& Error() const override { return error_; }

private:
    // Reads whole blocks of the current cell into `into`; the number of blocks, 0 at the end, -1 on error.
    int64_t ReadBlocks(uint8_t* into, int64_t maxBlocks);
    int64_t Fail(const char* message);

    std::unique_ptr<TVobBlocks> vobs_;
    std::vector<TDiscCell> cells_; // the title's, then the tail's when there is one
    size_t titleCells_ = 0;
    int64_t size_ = 0;
    size_t cell_ = 0;            // the cell being read
    uint32_t nextSector_ = 0;    // its next sector
    std::vector<uint8_t> spare_; // blocks read for a request smaller than a block
    size_t spareAt_ = 0, spareEnd_ = 0;
    std::string error_;
};
