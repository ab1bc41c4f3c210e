#include "run/ChapterPlan.h"

TChapterPlan::TChapterPlan(const std::vector<TDiscChapter>& chapters, int endChapter)
    : endChapter_(endChapter) {
    for (const TDiscChapter& chapter : chapters) {
        startBytes_.push_back(chapter.startByte);
        startTicks_.push_back(chapter.startTicks);
        videoTicks_.push_back(chapter.lengthTicks);
    }
}

std::vector<int64_t> TChapterPlan::EstimatedStarts(int rate, int groupFrames) const {
    std::vector<int64_t> starts;
    for (size_t k = 0; k < startTicks_.size(); ++k)
        starts.push_back(k == 0 ? 0 : NearestGroupStart(startTicks_[k], rate, groupFrames));
    return starts;
}

void TChapterPlan::BeginCutting(int rate, int groupFrames) {
    cutter_.reset();
    if (!startBytes_.empty())
        cutter_.emplace(std::vector<int64_t>(startBytes_.begin() + 1, startBytes_.end()), rate, groupFrames);
}

int64_t TChapterPlan::NextStartByte() const {
    return cutter_ ? cutter_->NextStartByte() : -1;
}

int TChapterPlan::OnPacket(const TAudioPacket& packet, int64_t framesBefore, int64_t videoStart,
                           int& foundUpTo) {
    foundUpTo = 0;
    if (!cutter_ || cutter_->NextStartByte() < 0)
        return 0;
    const auto before = static_cast<int>(cutter_->Cuts().size());
    cutter_->OnPacket(packet, framesBefore, videoStart);
    const auto after = static_cast<int>(cutter_->Cuts().size());
    if (after == before)
        return 0;
    // Cut i begins chapter i + 2: the first chapter begins at the start.
    foundUpTo = after + 1;
    return before + 2;
}

bool TChapterPlan::Found(int number) const {
    return number == 1 || (cutter_ && number >= 2 && number - 2 < static_cast<int>(cutter_->Cuts().size()));
}

int64_t TChapterPlan::StartFrame(int number) const {
    return number == 1 ? 0 : cutter_->Cuts()[static_cast<size_t>(number - 2)];
}

std::vector<int64_t> TChapterPlan::Starts(int64_t end) const {
    std::vector<int64_t> starts = {0};
    if (cutter_)
        starts.insert(starts.end(), cutter_->Cuts().begin(), cutter_->Cuts().end());
    starts.resize(std::max<size_t>(startBytes_.size(), 1), end);
    return starts;
}
