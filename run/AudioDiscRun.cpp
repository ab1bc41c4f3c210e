#include "run/AudioDiscRun.h"

#include "disc/AudioDisc.h"
#include "disc/AudioTitleStream.h"
#include "disc/DiscNames.h"
#include "engine/SampleReducer.h"
#include "mmio/PathState.h"
#include "output/EncoderName.h"
#include "run/FileOutputs.h"
#include "texts/AudioDiscTexts.h"
#include "texts/Messages.h"

#include <algorithm>
#include <filesystem>

namespace {

// The request's track range of `title`, from 1 to the last unless given; false when it has no such tracks.
bool TrackRange(const TSelection& selection, const TAudioDiscTitle& title, int& first, int& last) {
    const int count = static_cast<int>(title.tracks.size());
    first = selection.chapters && selection.firstChapter > 0 ? selection.firstChapter : 1;
    last = selection.chapters && selection.lastChapter > 0 ? selection.lastChapter : count;
    return first <= last && last <= count && count > 0;
}

} // namespace

TOpenedAudioDisc::TOpenedAudioDisc(const std::string& path) : disc(TAudioDisc::Open(path, error)) {}
TOpenedAudioDisc::~TOpenedAudioDisc() = default;

const TAudioDiscTitle* RequestedAudioTitle(const TAudioDisc& disc, const TSelection& selection) {
    if (selection.title > 0)
        return disc.Title(selection.title);
    const TAudioDiscTitle* longest = nullptr;
    for (const TAudioDiscTitle& title : disc.Titles())
        if (title.unconvertible.empty() && (!longest || title.lengthPts > longest->lengthPts))
            longest = &title;
    return longest;
}

std::vector<std::string> PlanAudioDiscOutputs(const TRunRequest& request, const TAudioDisc& disc) {
    const TAudioDiscTitle* title = RequestedAudioTitle(disc, request.selection);
    int first = 0, last = 0;
    if (!title || !title->unconvertible.empty() || request.selection.track > 1 ||
        !TrackRange(request.selection, *title, first, last))
        return {};
    return DiscPartNames(request, disc.Label(), title->number, first, last);
}

TAudioDiscRun::TAudioDiscRun(TRunHost& host, TRunRequest request, std::shared_ptr<TOpenedAudioDisc> opened)
    : TRunControl(host), request_(std::move(request)), opened_(std::move(opened)) {}

TAudioDiscRun::~TAudioDiscRun() = default;

TRunResult TAudioDiscRun::Execute() {
    outcome_.Begin();
    phase_ = Phase::Preparing;
    std::string refusal = opened_->error;
    if (!opened_->disc || !Plan(refusal)) {
        phase_ = Phase::Idle;
        return Refuse(refusal), outcome_.Result();
    }
    if (!AskAboutExistingOutputs()) {
        phase_ = Phase::Idle;
        return outcome_.Result();
    }
    std::string error;
    stream_ = TAudioTitleStream::Open(*opened_->disc, *title_, firstTrack_, lastTrack_, error);
    if (!stream_) {
        phase_ = Phase::Idle;
        return Refuse(error), outcome_.Result();
    }
    Convert();
    return outcome_.Result();
}

// The title, the tracks and the outputs, or why not.
bool TAudioDiscRun::Plan(std::string& refusal) {
    const TAudioDisc& disc = *opened_->disc;
    const TSelection& selection = request_.selection;
    title_ = RequestedAudioTitle(disc, selection);
    if (!title_) {
        refusal = selection.title > 0
                      ? msg::NoSuchTitle(selection.title, static_cast<int>(disc.Titles().size()))
                      : msg::kAudioDiscNoTitles;
        return false;
    }
    if (!title_->unconvertible.empty()) {
        refusal = msg::TitleUnreadable(title_->number, title_->unconvertible);
        return false;
    }
    if (selection.track > 1) {
        refusal = msg::NoSuchAudioStream(selection.track, title_->number);
        return false;
    }
    const int count = static_cast<int>(title_->tracks.size());
    if (!TrackRange(selection, *title_, firstTrack_, lastTrack_)) {
        refusal = msg::NoSuchChapters(firstTrack_, lastTrack_, title_->number, count);
        return false;
    }
    const std::string folder = request_.output.empty() ? request_.folder : request_.output;
    if (selection.chapters && StateOfPath(folder) != TPathState::Folder) {
        refusal = msg::NoSuchFolder(folder, !NothingAt(folder));
        return false;
    }
    const std::string label = disc.Label();
    const std::vector<std::string> names =
        DiscPartNames(request_, label, title_->number, firstTrack_, lastTrack_);
    parts_.clear();
    for (size_t i = 0; i < names.size(); ++i) {
        TPart part;
        part.name = names[i];
        part.metadata.album = disc.TextName().empty() ? label : disc.TextName();
        part.metadata.encoder = EncoderName();
        part.metadata.userTags = request_.metadata.userTags;
        if (selection.chapters) {
            const int track = firstTrack_ + static_cast<int>(i);
            part.metadata.title = "Track " + std::to_string(track);
            part.metadata.trackNumber = track;
            part.metadata.trackTotal = count;
        } else {
            part.metadata.title = "Title " + std::to_string(title_->number);
        }
        parts_.push_back(std::move(part));
    }
    return true;
}

// Outputs that exist are given up only on Yes; a No keeps every file as it is and converts nothing.
bool TAudioDiscRun::AskAboutExistingOutputs() {
    for (TPart& part : parts_) {
        if (!IsExistingFile(part.name))
            continue;
        host_.OutputStarted(part.name);
        if (!host_.Confirm(msg::kOverwrite)) {
            outcome_.Refuse();
            return false;
        }
        part.overwriteAgreed = true;
    }
    return true;
}

void TAudioDiscRun::Convert() {
    const TAudioSampleFormat& format = stream_->Format();
    // "16 bit - reduced res." and -b 16 reduce as for every input.
    TSampleReducer reducer(request_.resolution == TResolution::Reduced16, format.channels,
                           format.containerBytes, format.validBits, request_.options.dither);
    format_ = {format.channels, format.sampleRate, static_cast<uint16_t>(reducer.ValidBits()),
               static_cast<uint16_t>(reducer.ContainerBytes(format.containerBytes)), format.channelMask};
    const std::vector<int64_t>& starts = stream_->TrackStarts();
    if (request_.selection.chapters) {
        for (size_t i = 0; i < parts_.size(); ++i)
            parts_[i].firstFrame = i < starts.size() ? starts[i] : INT64_MAX;
    } else if (starts.size() > 1) {
        parts_.front().metadata.chapterStarts = starts;
    }
    part_ = 0;
    frame_ = 0;
    if (!StartPart(0)) {
        FailToBegin();
        CleanUpQuietly();
        return;
    }
    NoteTagsLeftOut(request_, false);
    ResetGauge(std::max<int64_t>(1, stream_->Size()));
    host_.SetBusy(true);
    host_.ShowStopButton(true);
    phase_ = Phase::Converting;
    std::span<const uint8_t> samples;
    while (outcome_.Running() && stream_->Next(samples)) {
        if (!WriteFrames(reducer.Reduce(samples))) {
            outcome_.Fail();
            ShowError(msg::kWriteFailed);
            break;
        }
        host_.SetGaugeProgress(std::clamp<int64_t>(stream_->Position(), 0, stream_->Size()));
        host_.ProcessPendingEvents();
    }
    if (outcome_.Running() && !stream_->Error().empty()) {
        outcome_.Fail();
        ShowError(stream_->Error());
    }
    outcome_.Complete();
    phase_ = Phase::CleaningUp;
    host_.ShowStopButton(false);
    if (!outcome_.DeleteOutput() && stream_->Emphasis())
        host_.ShowNote(msg::kPreEmphasis);
    CleanUpQuietly();
}

bool TAudioDiscRun::StartPart(size_t index) {
    part_ = index;
    partBytes_ = 0;
    TPart& part = parts_[index];
    host_.OutputStarted(part.name);
    if (!output_.Create(host_, part.name, part.overwriteAgreed, outcome_))
        return false;
    output_.BufferAhead();
    std::unique_ptr<TAudioSink> sink =
        request_.options.makeSink
            ? request_.options.makeSink()
            : FormatOf(request_).makeSink(SinkSettingsOf(request_, false), part.metadata);
    return output_.Begin(std::move(sink), format_);
}

// Ends the current part by the outcome: finished with its sizes when it stays, deleted otherwise.
bool TAudioDiscRun::FinishPart(bool lastOfRun) {
    if (!output_.Exists())
        return true;
    const std::exception_ptr closeError = output_.Finish(host_, outcome_, partBytes_, lastOfRun);
    if (closeError)
        std::rethrow_exception(closeError);
    return !outcome_.DeleteOutput();
}

void TAudioDiscRun::CleanUpQuietly() {
    std::exception_ptr closeError;
    try {
        FinishPart(true);
    } catch (...) {
        closeError = std::current_exception();
    }
    EndRun(closeError);
}

// Writes a block of whole frames, cutting it where the next track's file begins.
bool TAudioDiscRun::WriteFrames(std::span<const uint8_t> samples) {
    const int64_t align = format_.BlockAlign();
    const int64_t frames = static_cast<int64_t>(samples.size()) / align;
    int64_t done = 0;
    while (done < frames) {
        const int64_t next = part_ + 1 < parts_.size() ? parts_[part_ + 1].firstFrame : INT64_MAX;
        if (frame_ >= next) {
            if (!FinishPart(false))
                return true;
            if (!StartPart(part_ + 1))
                return !outcome_.Running();
            continue;
        }
        const int64_t count = std::min(frames - done, next - frame_);
        const auto bytes = static_cast<int32_t>(count * align);
        if (!output_.Sink().Write(samples.data() + done * align, bytes))
            return false;
        partBytes_ += bytes;
        frame_ += count;
        done += count;
    }
    return true;
}
