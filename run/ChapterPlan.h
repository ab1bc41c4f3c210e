#pragma once

#include "disc/DiscContent.h"
#include "dvd/ChapterCutter.h"

#include <cstdint>
#include <optional>
#include <vector>

// A title's chapters as a run cuts them, in one place: where each begins in the title's stream and how
// long its video plays, where each one's audio begins as the run finds it (TChapterCutter), and the
// chapter at whose start the run ends. Chapters are numbered from 1. The title is cut like its chapters:
// its audio begins where its first chapter's does, and ends where the audio after the title begins (the
// stream may go on past the title, as a title that ends inside a VOB does).
class TChapterPlan {
public:
    // `endChapter`: the run ends where this chapter's audio begins; 0 for the end of the title. `endByte`:
    // where the title ends in its stream; -1 for the end of the stream.
    TChapterPlan(const std::vector<TDiscChapter>& chapters, int endChapter, int64_t endByte = -1);

    int Count() const { return static_cast<int>(startBytes_.size()); }
    int EndChapter() const { return endChapter_; }
    // Where chapter `number` begins in the title's stream.
    int64_t StartByte(int number) const { return startBytes_[static_cast<size_t>(number - 1)]; }

    // The first byte at which the run must know the video's start: where the first cut is looked for.
    int64_t FirstCutByte() const;

    // Where each chapter would begin by its video's playing time, for a track of `rate` whose sample groups
    // are `groupFrames` long: the marks a whole title's output starts with, until the audio says.
    std::vector<int64_t> EstimatedStarts(int rate, int groupFrames) const;

    // Starts finding where the chapters' audio begins in a track of `rate` and `groupFrames`, from chapter
    // `fromChapter` on: the chapters before it lie in audio of another format, cut before.
    void BeginCutting(int rate, int groupFrames, int fromChapter = 1);
    bool Cutting() const { return cutter_.has_value(); }
    // The first byte of the next chapter to find, or -1 when all are found (or cutting has not begun).
    int64_t NextStartByte() const;
    // Takes the track's next packet (see TChapterCutter::OnPacket); returns the number of the first
    // chapter it found, and sets `foundUpTo` to the last (none found: 0).
    int OnPacket(const TAudioPacket& packet, int64_t framesBefore, int64_t videoStart, int& foundUpTo);
    // Whether chapter `number`'s audio start is known, and where it is (without cutting, the first
    // chapter's at frame 0).
    bool Found(int number) const;
    int64_t StartFrame(int number) const;
    // Whether the title's end was found, and where its audio ends.
    bool EndFound() const;
    int64_t EndFrame() const { return cutter_->Cuts().back(); }
    // The frames at which every chapter begins, as found; those the audio never reached begin at `end`.
    std::vector<int64_t> Starts(int64_t end) const;

    // Chapters whose audio is longer or shorter than their video by more than `tolerance` ticks: calls
    // `tell(chapter, difference in seconds)` for each of `chapters` that was found, the audio ending at
    // `end` frames of `rate`.
    template <class Tell>
    void CompareLengths(const std::vector<int>& chapters, int64_t end, int rate, int64_t tolerance,
                        Tell tell) const;

private:
    std::vector<int64_t> startBytes_;
    std::vector<int64_t> startTicks_;
    std::vector<int64_t> videoTicks_;
    int endChapter_ = 0;
    int skipped_ = 0; // chapters before the one cutting began at
    int64_t endByte_ = -1;
    std::optional<TChapterCutter> cutter_;
};

template <class Tell>
void TChapterPlan::CompareLengths(const std::vector<int>& chapters, int64_t end, int rate, int64_t tolerance,
                                  Tell tell) const {
    const std::vector<int64_t> starts = Starts(end);
    for (const int chapter : chapters) {
        const auto k = static_cast<size_t>(chapter);
        if (chapter < 1 || chapter > Count() || !Found(chapter))
            continue;
        const int64_t chapterEnd = k < starts.size() ? std::min(starts[k], end) : end;
        const int64_t audioTicks = (chapterEnd - starts[k - 1]) * 90000 / rate;
        const int64_t difference = audioTicks - videoTicks_[k - 1];
        if (difference > tolerance || difference < -tolerance)
            tell(chapter, static_cast<double>(difference) / 90000);
    }
}
