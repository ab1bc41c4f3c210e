#pragma once

#include "disc/TitleLayout.h"

#include <optional>
#include <string>
#include <vector>

// A title as the IFO files describe it, before anything in it is trusted.
struct TRawTitle {
    int titleSet = 0;
    int64_t vobBlocks = -1; // the size of the title set's VOBs in blocks; -1 when they cannot be opened
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
// title sets 1 to 99, chapters up to 999 naming cells of their title, cells inside the title set's VOBs
// (no larger than `imageBlocks` when that is not negative), audio streams as DVD-Video defines them.
std::optional<TRawDisc> DecodeDisc(const std::string& bytes, int64_t imageBlocks);

// The titles laid out from checked raw titles; chapters that would be empty are dropped.
std::vector<TDiscTitle> LayOutTitles(const std::vector<TRawTitle>& raw);
