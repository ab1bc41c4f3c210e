#pragma once

#include "disc/AudioDisc.h"
#include "dvd/FileStreamSource.h"
#include "dvd/StreamSource.h"

#include <memory>
#include <string>
#include <vector>

// The title set's AOB files in order, ATS_nn_1.AOB on while each is there: one space of 2048-byte
// sectors, in which the cells count.
std::vector<const TAudioTsFile*> AobFiles(const TAudioTsVolume& volume, int titleSet);
// The whole sectors of those files.
int64_t AobSectors(const std::vector<const TAudioTsFile*>& files);

// A run of a title's cells as one program stream, read in large block reads across the AOB files. A read
// error, or a scrambled pack met on the way (a protected disc), ends the stream with -1 and names the cause
// in Error().
class TAobSource : public TStreamSource {
public:
    TAobSource(std::shared_ptr<const TAudioTsVolume> volume, std::vector<const TAudioTsFile*> files,
               std::vector<TAudioDiscCell> cells);

    int64_t Read(uint8_t* buffer, int64_t count) override;
    int64_t Size() const override { return size_; }
    bool Restart() override;
    // Empty until a read fails: msg::kAudioDiscReadFailed or msg::kAudioDiscProtected.
    const std::string& Error() const override { return error_; }

private:
    // Reads whole sectors of the current cell into `into`: the number read, 0 at the end, -1 on error.
    int64_t ReadSectors(uint8_t* into, int64_t maxSectors);
    int64_t Fail(const char* message);

    std::shared_ptr<const TAudioTsVolume> volume_;
    std::vector<const TAudioTsFile*> files_;
    std::vector<int64_t> fileStarts_; // the first sector of each file
    std::vector<TAudioDiscCell> cells_;
    int64_t size_ = 0;
    size_t cell_ = 0;
    int64_t nextSector_ = 0;
    std::vector<uint8_t> spare_;
    size_t spareAt_ = 0, spareEnd_ = 0;
    std::string error_;
};

// A bare AOB file (one copied out of an AUDIO_TS folder) as a program stream, read as TFileStreamSource
// reads it. Reads end on pack boundaries, so that every pack is looked at whole: a scrambled one (a file
// of a protected disc) ends the stream with -1 and msg::kAudioDiscProtected in Error(), as on the disc.
class TAobFileSource : public TStreamSource {
public:
    explicit TAobFileSource(TMMIOFile& file) : stream_(file) {}

    int64_t Read(uint8_t* buffer, int64_t count) override;
    int64_t Size() const override { return stream_.Size(); }
    bool Restart() override;
    const std::string& Error() const override { return error_; }

private:
    TFileStreamSource stream_;
    int64_t position_ = 0;
    std::string error_;
};
