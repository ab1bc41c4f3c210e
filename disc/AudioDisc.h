#pragma once

#include "disc/AudioTsIfo.h"
#include "disc/AudioTsVolume.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A DVD-Audio disc (the AUDIO_TS folder of a disc, a folder copy of one, or an image) and its titles, read
// with this program's own parser of the information files; no library of DVD-Audio is used.
//
// For a host (through run/):
//   LooksLikeAudioDisc(path)          whether to offer the disc's titles at all
//   LooksLikeHybridDisc(path)         whether it has a video side too (both AUDIO_TS and VIDEO_TS)
//   TAudioDisc::Open(path, error)     the titles, or a message in `error`
//   disc->Titles(), title.tracks       the listing: numbers, starts and lengths, formats (Describe)
//   TAudioTitleStream::Open(...)       a title's or a range of its tracks' samples (AudioTitleStream.h)
//   disc->Hybrid()                     the disc has a VIDEO_TS beside, which TDisc (Disc.h) opens

// The format of a title or track as its title set's audio attribute record states it.
struct TAudioDiscFormat {
    TAobCoding coding = TAobCoding::Pcm;
    int bits[2] = {16, 0};    // group 2: 0 when there is none
    int rate[2] = {48000, 0}; // group 2: 0 when there is none
    int assignment = 1;       // channel assignment code, 0 to 20 (-1 when unknown)
    bool operator==(const TAudioDiscFormat&) const = default;

    bool HasGroup2() const { return bits[1] != 0; }
    bool OneRate() const { return !HasGroup2() || rate[0] == rate[1]; }
    int Channels() const;
    int OutputBits() const; // the larger group's bits
    // WAVE/FLAC channel mask and the speakers in output order ("L R C LFE Ls Rs").
    uint32_t ChannelMask() const;
    std::string Speakers() const;
    // Samples per group of the stream's cuts: 2 sample periods for PCM (its units), an access unit of MLP
    // (40 at 44.1 and 48 kHz, more at the higher rates).
    int FramesPerUnit() const;
    // For listings: "PCM 24 bit, 96000 Hz, 6 ch (L R C LFE Ls Rs)", "PCM 24/16 bit, 48000 Hz, ...",
    // "MLP 24 bit, 96000 Hz, 2 ch (L R)", or with two rates "PCM 24 bit 96000 Hz (L R C) + 16 bit 48000 Hz
    // (LFE Ls Rs)".
    std::string Describe() const;
};

// A song: a track of a title. Its start is where its first PTS falls on the title's audio clock, from the
// title's first track's, to the nearest unit of the format (FramesPerUnit): the tracks joined are the
// title, sample for sample.
struct TAudioDiscTrack {
    int number = 0;         // 1-based within the title
    int64_t firstPts = 0;   // 90 kHz, as the disc states it
    int64_t lengthPts = 0;  // 90 kHz, as the disc states it
    int64_t startFrame = 0; // sample periods from the title's start, at the title's rate
    int firstCell = 0;      // index into the title's cells
    int cellCount = 0;
    TAudioDiscFormat format; // its own attribute record
};

struct TAudioDiscCell {
    uint32_t firstSector = 0; // in the title set's AOB files joined
    uint32_t lastSector = 0;  // inclusive
};

struct TAudioDiscTitle {
    int number = 0;     // 1-based over the disc: the title sets in order, their titles in order
    int titleSet = 0;   // ATS_nn
    int titleInSet = 0; // 1-based
    int64_t lengthPts = 0;
    TAudioDiscFormat format; // the first track's
    std::vector<TAudioDiscTrack> tracks;
    std::vector<TAudioDiscCell> cells;
    // Why the title cannot be converted ("its audio lies outside the title set's AOB files"); empty when it
    // can. A title with a reason keeps what could be read of it, for the listing.
    std::string unconvertible;

    int64_t Frames() const; // the title's stated length at its rate
    // The frame where track `index` (0-based) ends: the next track's start, or the title's stated end.
    int64_t TrackEndFrame(size_t index) const;
};

// Whether `path` names a DVD-Audio disc (see TAudioTsVolume::Locate). Cheap enough to ask for every input:
// it reads a few bytes of a folder's files, and for an image lists its AUDIO_TS folder in a child.
bool LooksLikeAudioDisc(const std::string& path, bool* readFailed = nullptr);
// Whether it is a DVD-Audio disc with a VIDEO_TS.IFO beside AUDIO_TS: a hybrid disc, whose video side
// TDisc (Disc.h) opens from the same path.
bool LooksLikeHybridDisc(const std::string& path, bool* readFailed = nullptr);

class TAobSource;

class TAudioDisc {
public:
    // nullptr with `error` set: msg::kNoAudioDisc, msg::kReadFailed-like texts of texts/AudioDiscTexts.h (an
    // information file that neither it nor its backup could be read, or both read and differing), or
    // msg::kAudioDiscProtected when a title's first packs are scrambled. A title whose own tables are
    // damaged, or whose audio is not convertible, says why in TAudioDiscTitle::unconvertible.
    static std::unique_ptr<TAudioDisc> Open(const std::string& path, std::string& error);

    const std::string& Label() const { return volume_->Label(); }
    const std::vector<TAudioDiscTitle>& Titles() const { return titles_; }
    // nullptr when the disc has no title of that number.
    const TAudioDiscTitle* Title(int number) const;
    // A VIDEO_TS.IFO is beside AUDIO_TS: the disc has a video side too.
    bool Hybrid() const { return volume_->HasVideoTs(); }
    const std::string& DiscRoot() const { return volume_->DiscRoot(); }
    // The disc name of the manager's text data; empty when it has none.
    const std::string& TextName() const { return manager_.textDiscName; }

    // The sectors of cells [firstCell, lastCell] of a title, as a program stream; nullptr with `error` set
    // when its title set's AOB files cannot be opened.
    std::unique_ptr<TAobSource> OpenCells(const TAudioDiscTitle& title, size_t firstCell, size_t lastCell,
                                          std::string& error) const;

private:
    TAudioDisc() = default;

    std::shared_ptr<const TAudioTsVolume> volume_;
    TAudioManagerInfo manager_;
    std::vector<TAudioDiscTitle> titles_;
};
