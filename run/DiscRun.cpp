#include "run/DiscRun.h"

#include "disc/Disc.h"
#include "disc/DiscNames.h"
#include "mmio/PathState.h"
#include "run/FileOutputs.h"
#include "texts/Messages.h"

#include <filesystem>

namespace {

// The request's chapter range of `title`, from 1 to the last unless given; false when it has no such
// chapters.
bool ChapterRange(const TSelection& selection, const TDiscTitle& title, int& first, int& last) {
    const int count = static_cast<int>(title.chapters.size());
    first = selection.firstChapter > 0 ? selection.firstChapter : 1;
    last = selection.lastChapter > 0 ? selection.lastChapter : count;
    return first <= last && last <= count;
}

// The title and the audio stream a request names, or takes by default; nullptr when there is none such.
const TDiscTitle* RequestedTitle(const TDisc& disc, const TRunRequest& request) {
    return request.selection.title > 0 ? disc.Title(request.selection.title)
                                       : DefaultTitleFor(disc, request.input);
}
const TDiscAudio* RequestedAudio(const TDiscTitle& title, const TSelection& selection) {
    return selection.track > 0 ? title.Audio(selection.track) : title.FirstLpcm();
}

} // namespace

TOpenedDisc::TOpenedDisc(const std::string& path) : disc(TDisc::Open(path, error)) {}
TOpenedDisc::~TOpenedDisc() = default;

std::vector<std::string> PlanDiscOutputs(const TRunRequest& request, const TDisc& disc) {
    const TDiscTitle* title = RequestedTitle(disc, request);
    const TDiscAudio* audio = title ? RequestedAudio(*title, request.selection) : nullptr;
    int first = 0, last = 0;
    if (!audio || audio->codec != TAudioCodec::Lpcm ||
        (request.selection.chapters && !ChapterRange(request.selection, *title, first, last)))
        return {};
    return DiscPartNames(request, disc.Label(), title->number, first, last);
}

TDiscRun::TDiscRun(TRunHost& host, TRunRequest request, std::shared_ptr<TOpenedDisc> opened)
    : request_(std::move(request)), opened_(std::move(opened)), run_(host, request_) {}

TDiscRun::~TDiscRun() = default;

// The steps of a disc's conversion; each that ends the run says why (nothing after a No).
TRunResult TDiscRun::Execute() {
    run_.BeginPreparing();
    std::string refusal = opened_->error;
    if (!opened_->disc || !ChooseTitle(refusal) || !ChooseAudio(refusal) || !PlanParts(refusal) ||
        !AskAboutExistingOutputs(refusal))
        return run_.RefuseBeforeConverting(refusal);
    return ConvertTitle();
}

// Without a title given, the longest is taken only when no title that cannot be read might be longer.
bool TDiscRun::ChooseTitle(std::string& refusal) {
    const TDisc& disc = *opened_->disc;
    const int asked = request_.selection.title;
    title_ = RequestedTitle(disc, request_);
    if (asked == 0 && title_ == disc.DefaultTitle())
        if (const TDiscTitle* rival = disc.UnreadableRival(title_)) {
            refusal = rival->unreadable.empty() ? msg::LongestTitleCutShort(rival->number)
                                                : msg::LongestTitleUnknown(rival->number, rival->unreadable);
            return false;
        }
    if (!title_)
        refusal = msg::NoSuchTitle(asked, static_cast<int>(disc.Titles().size()));
    else if (!title_->unreadable.empty())
        refusal = msg::TitleUnreadable(title_->number, title_->unreadable);
    return refusal.empty();
}

bool TDiscRun::ChooseAudio(std::string& refusal) {
    const int asked = request_.selection.track;
    audio_ = RequestedAudio(*title_, request_.selection);
    if (asked > 0 && !audio_) {
        refusal = msg::NoSuchAudioStream(asked, title_->number);
    } else if (!audio_) {
        std::vector<TAudioCodec> codecs;
        for (const TDiscAudio& audio : title_->audio)
            codecs.push_back(audio.codec);
        refusal = msg::TitleWithoutLpcm(title_->number, JoinedCodecNames(codecs));
    } else if (audio_->codec != TAudioCodec::Lpcm) {
        refusal = msg::AudioNotConvertible(audio_->number, AudioCodecName(audio_->codec));
    }
    return refusal.empty();
}

// The outputs and the chapters they begin with, found as the audio is read.
bool TDiscRun::PlanParts(std::string& refusal) {
    chapterPlan_.emplace(title_->chapters, 0, title_->Bytes());
    if (request_.selection.chapters)
        return PlanChapters(refusal);
    const std::string label = opened_->disc->Label();
    TOutputMetadata metadata;
    metadata.title = "Title " + std::to_string(title_->number);
    metadata.album = label;
    // One chapter mark per chapter, where its file would begin; the run sets them as it finds them.
    metadata.chapterStarts = chapterPlan_->EstimatedStarts(audio_->rate, audio_->bits == 16 ? 1 : 2);
    plannedParts_ = {
        {DiscPartNames(request_, label, title_->number, 0, 0).front(), 0, 0, false, std::move(metadata)}};
    return true;
}

// One part per chapter of the range, each beginning where its chapter's audio begins.
bool TDiscRun::PlanChapters(std::string& refusal) {
    const int count = static_cast<int>(title_->chapters.size());
    int first = 0, last = 0;
    if (!ChapterRange(request_.selection, *title_, first, last)) {
        refusal = msg::NoSuchChapters(first, last, title_->number, count);
        return false;
    }
    const std::string folder = request_.output.empty() ? request_.folder : request_.output;
    if (StateOfPath(folder) != TPathState::Folder) {
        refusal = msg::NoSuchFolder(folder, !NothingAt(folder));
        return false;
    }
    const std::string label = opened_->disc->Label();
    const std::vector<std::string> names = DiscPartNames(request_, label, title_->number, first, last);
    plannedParts_.clear();
    for (int k = first; k <= last; ++k) {
        TOutputMetadata metadata;
        metadata.title = "Chapter " + std::to_string(k);
        metadata.album = label;
        metadata.trackNumber = k;
        metadata.trackTotal = count;
        plannedParts_.push_back({names[static_cast<size_t>(k - first)], 0, k, false, std::move(metadata)});
    }
    if (last < count)
        chapterPlan_.emplace(title_->chapters, last + 1, title_->Bytes());
    return true;
}

// Outputs that exist are given up only on Yes; a No keeps every file as it is and converts nothing.
bool TDiscRun::AskAboutExistingOutputs(std::string& refusal) {
    TRunHost& host = run_.Host();
    for (TStreamPart& part : plannedParts_) {
        if (!IsExistingFile(part.outputName))
            continue;
        if (IsPartOfDisc(part.outputName, request_.input)) {
            refusal = msg::kOutputIsPartOfDisc;
            return false;
        }
        host.OutputStarted(part.outputName);
        if (!host.Confirm(msg::kOverwrite))
            return false;
        part.overwriteAgreed = true;
    }
    return true;
}

TRunResult TDiscRun::ConvertTitle() {
    std::string error;
    const std::unique_ptr<TTitleSource> source = opened_->disc->OpenTitle(*title_, error);
    if (!source)
        return run_.RefuseBeforeConverting(error);
    for (const std::string& note : title_->notes)
        run_.Host().ShowNote(note);
    return run_.Execute(*source, static_cast<uint8_t>(audio_->subStreamId), plannedParts_, -1,
                        &*chapterPlan_);
}
