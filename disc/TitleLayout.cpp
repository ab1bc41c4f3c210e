#include "disc/TitleLayout.h"

#include <algorithm>

void LayOutTitle(const std::vector<TChainCell>& chain, const std::vector<int>& chapterFirstCells,
                 TDiscTitle& title) {
    // For every chain cell: its index among the played cells, and the time and bytes before it.
    std::vector<int> playedIndex(chain.size() + 1);
    std::vector<int64_t> startTicks(1, 0), startBytes(1, 0);
    title.cells.clear();
    for (size_t c = 0; c < chain.size(); ++c) {
        playedIndex[c] = static_cast<int>(title.cells.size());
        if (!chain[c].played)
            continue;
        title.cells.push_back(chain[c].cell);
        startTicks.push_back(startTicks.back() + chain[c].cell.ticks);
        startBytes.push_back(startBytes.back() + chain[c].cell.Bytes());
    }
    playedIndex[chain.size()] = static_cast<int>(title.cells.size());
    title.durationTicks = startTicks.back();

    title.chapters.assign(chapterFirstCells.size(), TDiscChapter{});
    for (size_t i = 0; i < chapterFirstCells.size(); ++i) {
        TDiscChapter& chapter = title.chapters[i];
        chapter.number = static_cast<int>(i) + 1;
        chapter.firstCell = playedIndex[std::clamp<size_t>(chapterFirstCells[i], 0, chain.size())];
        chapter.startTicks = startTicks[chapter.firstCell];
        chapter.startByte = startBytes[chapter.firstCell];
    }
    for (size_t i = 0; i < title.chapters.size(); ++i) {
        TDiscChapter& chapter = title.chapters[i];
        const bool last = i + 1 == title.chapters.size();
        const int64_t endTicks = last ? title.durationTicks : title.chapters[i + 1].startTicks;
        const int64_t endByte = last ? startBytes.back() : title.chapters[i + 1].startByte;
        chapter.lengthTicks = std::max<int64_t>(0, endTicks - chapter.startTicks);
        chapter.bytes = std::max<int64_t>(0, endByte - chapter.startByte);
    }
}
