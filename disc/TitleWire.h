#pragma once

#include "disc/TitleLayout.h"

#include <optional>
#include <string>
#include <vector>

// Why a title cannot be read: its title set's IFO and BUP files are both missing, or neither could be read
// or parsed (or the two disagree), or its VOB files cannot be opened or read; the last the program finds
// itself,
// a title whose cells are all empty (no time, no sectors), as a table from a failed read is.
enum class TTitleFault { None, IfoMissing, IfoUnreadable, VobMissing, VobUnreadable, EmptyCells };

// A title as the IFO files describe it, before anything in it is trusted.
struct TRawTitle {
    int titleSet = 0;
    TTitleFault fault = TTitleFault::None;
    int64_t vobBlocks = -1; // the size of the title set's VOBs in blocks; -1 when they cannot be opened
    // In an image, the sector where they begin: libdvdread reads a title set's VOBs there as one run of
    // vobBlocks blocks, from the start of VTS_nn_1.VOB on. 0 for a folder.
    int64_t vobSector = 0;
    int vobParts = 1; // how many VOB files (VTS_nn_1.VOB on) hold them
    // A hash of the first and the last block of the VOBs, by which the program knows that its own reader
    // finds them where the child did.
    int64_t vobCheck = 0;
    bool cutAtVobEnd = false; // set when decoding: cells were cut at the end of the VOBs
    int64_t ifoTicks = 0;     // set when decoding: the played cells' time before any was cut
    std::vector<TChainCell> chain;
    std::vector<int> chapterFirstCells; // index into `chain`
    std::vector<TDiscAudio> audio;
};

struct TRawDisc {
    bool scrambled = false;
    std::string label; // an image's volume label; empty for a folder
    std::vector<TRawTitle> titles;
};

// The fixed form in which the child process that reads the IFO files hands a disc to the program: a
// sequence of 64-bit numbers.
std::string EncodeDisc(const TRawDisc& disc);

// Nothing unless `bytes` is exactly one encoded disc whose every number lies in its range: titles 1 to 99,
// title sets 1 to 99, chapters up to 999 naming cells of their title, cells inside the title set's VOBs,
// a readable title's VOBs inside the image of `imageBlocks` blocks (at sector 0 for a folder, when that is
// negative), audio streams as DVD-Video defines them. Cells that reach past the end of the VOBs are cut
// there (the title then says so in its notes); a title whose cells are all empty, as a table read from a
// failed read would be, is taken as unreadable.
std::optional<TRawDisc> DecodeDisc(const std::string& bytes, int64_t imageBlocks);

// The titles laid out from checked raw titles; chapters that would be empty are dropped, and the title's
// notes say so. A title with a fault gets the reason in `unreadable`, and nothing else; so does a title
// whose cells add up to more than the 99:59:59 a disc can state.
std::vector<TDiscTitle> LayOutTitles(const std::vector<TRawTitle>& raw);
