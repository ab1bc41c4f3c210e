#include "run/ChapterPlan.h"

#include <algorithm>

TChapterPlan::TChapterPlan(const std::vector<TDiscChapter>& chapters, int endChapter, int64_t endByte)
    : endChapter_(endChapter), endByte_(endByte) {
    for (const TDiscChapter& chapter : chapters) {
        startBytes_.push_back(chapter.startByte);
        startTicks_.push_back(chapter.startTicks);
        videoTicks_.push_back(chapter.lengthTicks);
    }
}

int64_t TChapterPlan::FirstCutByte() const {
    return startBytes_.empty() ? endByte_ : startBytes_.front();
}

std::vector<int64_t> TChapterPlan::EstimatedStarts(int rate, int groupFrames) const {
    std::vector<int64_t> starts;
    for (size_t k = 0; k < startTicks_.size(); ++k)
        starts.push_back(k == 0 ? 0 : NearestGroupStart(startTicks_[k], rate, groupFrames));
    return starts;
}

void TChapterPlan::BeginCutting(int rate, int groupFrames, int fromChapter) {
    // Every chapter's first byte, then the title's end.
    skipped_ = std::clamp(fromChapter - 1, 0, Count());
    std::vector<int64_t> cutBytes(startBytes_.begin() + skipped_, startBytes_.end());
    if (endByte_ >= 0)
        cutBytes.push_back(endByte_);
    cutter_.reset();
    if (!cutBytes.empty())
        cutter_.emplace(std::move(cutBytes), rate, groupFrames);
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
    // Cut i begins chapter i + 1; the one after the chapters ends the title.
    const int after = std::min(static_cast<int>(cutter_->Cuts().size()), Count() - skipped_);
    if (after <= before)
        return 0;
    foundUpTo = skipped_ + after;
    return skipped_ + before + 1;
}

bool TChapterPlan::Found(int number) const {
    if (!cutter_)
        return number == 1;
    return number > skipped_ && number <= Count() &&
           number - skipped_ <= static_cast<int>(cutter_->Cuts().size());
}

int64_t TChapterPlan::StartFrame(int number) const {
    return cutter_ ? cutter_->Cuts()[static_cast<size_t>(number - 1 - skipped_)] : 0;
}

bool TChapterPlan::EndFound() const {
    return cutter_ && endByte_ >= 0 && cutter_->Cuts().size() > startBytes_.size() - skipped_;
}

std::vector<int64_t> TChapterPlan::Starts(int64_t end) const {
    std::vector<int64_t> starts(static_cast<size_t>(skipped_), 0);
    if (cutter_)
        for (const int64_t cut : cutter_->Cuts())
            if (starts.size() < startBytes_.size())
                starts.push_back(cut);
    if (starts.empty())
        starts.push_back(0);
    starts.resize(std::max<size_t>(startBytes_.size(), 1), end);
    return starts;
}
