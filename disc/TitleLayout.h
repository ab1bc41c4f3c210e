#pragma once

#include "disc/DiscContent.h"

#include <vector>

// A cell of a title's program chains as the IFO lists it. `played` is false for the cells of an angle block
// after its first: the other angles of a scene play instead of the first one, not after it.
struct TChainCell {
    TDiscCell cell;
    bool played = true;
};

// Sets the title's cells (the played ones, in order), its duration and its chapters (numbered from 1), with
// their start times and byte ranges, from its chain cells and the index into `chain` of each chapter's
// first cell. A chapter that starts on another angle's cell starts at the next played cell.
void LayOutTitle(const std::vector<TChainCell>& chain, const std::vector<int>& chapterFirstCells,
                 TDiscTitle& title);
