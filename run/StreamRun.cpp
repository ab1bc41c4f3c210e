#include "run/StreamRun.h"

#include "dvd/AudioTrack.h"
#include "dvd/FileStreamSource.h"
#include "dvd/LpcmFormat.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "output/EncoderName.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

TRunResult TStreamRun::ExecuteFile(int lpcmTrack) {
    const std::string& inputName = request_.input;
    const std::string& outputName = request_.output;
    bool overwriteAgreed = false;
    if (!StartRun(inputName, outputName, overwriteAgreed))
        return outcome_.Result();
    const std::unique_ptr<TMMIOFile> file = OpenInput(inputName);
    if (!file)
        return outcome_.Result();

    uint8_t trackId = 0;
    {
        TFileStreamSource probe(*file);
        if (!FindTrack(probe, lpcmTrack, trackId)) {
            phase_ = Phase::Idle;
            return outcome_.Result();
        }
    }
    file->Rewind();
    TFileStreamSource source(*file);
    // The output is named after the stream it holds.
    TOutputMetadata metadata;
    metadata.title = std::filesystem::path(inputName).stem().string();
    parts_ = {{outputName, 0, 0, overwriteAgreed, std::move(metadata)}};
    endFrame_ = kNoEnd;
    chapters_.reset();
    const TRunResult result = Convert(source, trackId);
    CloseQuietly(*file);
    return result;
}

TRunResult TStreamRun::Execute(TStreamSource& source, uint8_t trackId, const std::vector<TStreamPart>& parts,
                               int64_t endFrame, const TChapterPlan* chapters) {
    outcome_.Begin();
    parts_ = parts;
    endFrame_ = endFrame < 0 ? kNoEnd : endFrame;
    chapters_.reset();
    if (chapters) {
        chapters_ = *chapters;
        // Found as the audio is read: the title's start too.
        for (TStreamPart& part : parts_)
            if (part.chapter > 1 || chapters->Count() > 0)
                part.firstFrame = kNoEnd;
        if (chapters->EndChapter() > 1)
            endFrame_ = kNoEnd;
    }
    return Convert(source, trackId);
}

// Finds the id of the n-th LPCM track. The tracks of a DVD all begin within its first packs, so the
// stream is read only that far unless they are not all there. A stream that keeps the search long can be
// stopped, as the raw path's scan can.
bool TStreamRun::FindTrack(TStreamSource& source, int lpcmTrack, uint8_t& trackId) {
    BeginScan();
    TProgramStreamDemuxer demuxer(source);
    std::set<uint8_t> lpcm;
    std::map<uint8_t, TAudioCodec> others;
    TAudioPacket packet;
    while (ScanStep() && demuxer.NextAudioPacket(packet)) {
        if (packet.codec == TAudioCodec::Lpcm)
            lpcm.insert(packet.id);
        else
            others.emplace(packet.id, packet.codec);
        if (demuxer.Position() >= kTrackProbeBytes && static_cast<int>(lpcm.size()) >= lpcmTrack)
            break;
    }
    if (!EndScan())
        return false;
    if (demuxer.ReadFailed()) {
        ShowError(msg::kReadFailed);
        outcome_.Fail();
        return false;
    }
    if (lpcm.empty()) {
        std::vector<TAudioCodec> codecs;
        for (const auto& [id, codec] : others)
            codecs.push_back(codec);
        return Refuse(msg::NoLpcmTrack(JoinedCodecNames(codecs)));
    }
    if (lpcmTrack < 1 || lpcmTrack > static_cast<int>(lpcm.size()))
        return Refuse(msg::NoSuchTrack(lpcmTrack, static_cast<int>(lpcm.size())));
    trackId = *std::next(lpcm.begin(), lpcmTrack - 1);
    return true;
}

// A disc says why its read failed (an encrypted pack, say); a file only that it failed.
std::string TStreamRun::ReadFailure(const TLpcmTrackReader& reader) {
    const std::string& error = reader.Demuxer().Source().Error();
    return error.empty() ? std::string(msg::kReadFailed) : error;
}

std::unique_ptr<TLpcmTrackReader> TStreamRun::MakeReader(TStreamSource& source, uint8_t trackId,
                                                         int64_t startAt, int64_t cutFrom) const {
    const TRunOptions& options = request_.options;
    auto reader = std::make_unique<TLpcmTrackReader>(
        source, trackId, request_.resolution == TResolution::Reduced16, options.dither, options.lpcmPacking);
    reader->SetFillGaps(options.fillGaps);
    reader->StartAt(startAt);
    if (cutFrom >= 0)
        reader->WatchVideoStart(cutFrom);
    return reader;
}

TRunResult TStreamRun::Convert(TStreamSource& source, uint8_t trackId) {
    phase_ = Phase::Preparing;
    segmentChapter_ = 1;
    segmentPart_ = 0;
    segmentSeconds_ = 0;
    std::unique_ptr<TLpcmTrackReader> reader =
        MakeReader(source, trackId, 0, chapters_ ? chapters_->FirstCutByte() : -1);
    if (!StartReader(*reader) || !BeginOutputs(source)) {
        phase_ = Phase::Idle;
        return outcome_.Result();
    }
    try {
        ConvertPackets(*reader);
        while (NewFormatBeginsAChapter(*reader)) {
            reader = ContinueInNewFormat(source, trackId, *reader);
            if (!reader)
                break;
            ConvertPackets(*reader);
        }
        if (reader)
            StopAtFormatChange(*reader);
    } catch (const std::exception& error) {
        ShowError(error.what());
        outcome_.Fail();
    }
    outcome_.Complete();
    phase_ = Phase::CleaningUp;
    host_.ShowStopButton(false);
    if (reader)
        TellAboutTheEnd(*reader);
    CleanUp();
    return outcome_.Result();
}

// Whether the track's format changed where a chapter file that is still to come begins, so that the run
// can go on with its own format: each chapter file keeps the format its audio has. The chapter's start
// must not have been found in the old format's audio, nor anything written to its file yet.
bool TStreamRun::NewFormatBeginsAChapter(const TLpcmTrackReader& reader) const {
    if (!outcome_.Running() || !reader.FormatChanged() || !chapters_ || !chapters_->Cutting() ||
        parts_.front().chapter == 0)
        return false;
    const int chapter = ChapterAt(reader.ChangePosition());
    if (chapter < segmentChapter_ || chapters_->Found(chapter))
        return false;
    const bool currentUntouched = partBytes_ == 0 && chapter <= parts_[part_].chapter;
    const bool nextToCome = part_ + 1 < parts_.size() && parts_[part_ + 1].chapter == chapter;
    return currentUntouched || nextToCome;
}

// Ends the audio of one format and reads the track again from its first packet of the new one: the
// current chapter file is finished (or, holding nothing yet, made again in the new format), and the
// chapters from the change on are cut in the new audio. nullptr when the run ends.
std::unique_ptr<TLpcmTrackReader> TStreamRun::ContinueInNewFormat(TStreamSource& source, uint8_t trackId,
                                                                  const TLpcmTrackReader& old) {
    const int chapter = ChapterAt(old.ChangePosition());
    const bool remake = partBytes_ == 0 && chapter <= parts_[part_].chapter;
    // What the old format's audio held is told where some file holds it.
    if (!remake || part_ > segmentPart_)
        TellAboutTrack(old);
    TellAboutChapterLengths();
    segmentSeconds_ += static_cast<double>(old.Frames()) / format_.sampleRate;
    if (remake)
        output_.Discard();
    else if (!FinishPart(false))
        return nullptr;
    segmentChapter_ = chapter;
    segmentPart_ = remake ? part_ : part_ + 1;
    for (size_t k = segmentPart_; k < parts_.size(); ++k)
        parts_[k].firstFrame = kNoEnd;
    frame_ = 0;
    source.Restart();
    std::unique_ptr<TLpcmTrackReader> reader =
        MakeReader(source, trackId, old.ChangePosition(), chapters_->StartByte(chapter));
    if (!StartReader(*reader)) {
        outcome_.Fail();
        return nullptr;
    }
    host_.ShowNote(
        msg::FormatFromChapter(chapter, msg::AudioFormatText(static_cast<int>(format_.sampleRate),
                                                             format_.validBits, format_.channels)));
    if (!StartPart(segmentPart_)) {
        FailToBegin();
        return nullptr;
    }
    return reader;
}

// The audio stopped at a change of format that no chapter file can begin with: what came before it stays.
void TStreamRun::StopAtFormatChange(const TLpcmTrackReader& reader) {
    if (!outcome_.Running() || !reader.FormatChanged())
        return;
    const int chapter = ChapterAt(reader.ChangePosition());
    // A change where the run was to end anyway ends nothing early.
    if (chapters_ && chapter > 0 && chapter == chapters_->EndChapter())
        return;
    const std::string time = FormatPlayTime(segmentSeconds_ + reader.ChangeSeconds());
    ShowError(chapter > 0 ? msg::FormatChangedInChapter(time, chapter) : msg::FormatChanged(time));
    outcome_.EndEarly();
}

// Reads up to the track's first packet, whose format every output takes.
bool TStreamRun::StartReader(TLpcmTrackReader& reader) {
    if (!reader.Start())
        return Refuse(reader.Demuxer().ReadFailed() ? ReadFailure(reader) : msg::NoLpcmTrack(""));
    const TLpcmDecoder& decoder = reader.Decoder();
    format_.channels = static_cast<uint16_t>(decoder.Channels());
    format_.sampleRate = static_cast<uint32_t>(reader.Format().sampleRate);
    format_.validBits = static_cast<uint16_t>(decoder.OutputBits());
    format_.containerBytes = static_cast<uint16_t>(decoder.OutputContainerBytes());
    format_.channelMask = DvdChannelMask(decoder.Channels());
    emphasis_ = reader.Emphasis();
    if (chapters_)
        chapters_->BeginCutting(reader.Format().sampleRate, decoder.GroupFrames(), segmentChapter_);
    return true;
}

// The first output created and begun, the gauge over the whole stream, and STOP! shown.
bool TStreamRun::BeginOutputs(TStreamSource& source) {
    part_ = 0;
    frame_ = 0;
    if (parts_.empty() || !StartPart(0)) {
        if (outcome_.Running()) {
            outcome_.Fail();
            ShowError(msg::kWriteFailed);
            FinishPart(true);
        }
        return false;
    }
    NoteTagsLeftOut(request_, false);
    SetGaugeRange(source);
    host_.SetBusy(true);
    host_.ShowStopButton(true);
    return true;
}

// The gauge covers what the run converts: the whole stream, or its chapter range, from the stream's
// position where the range's first chapter begins to where the chapter after it begins.
void TStreamRun::SetGaugeRange(TStreamSource& source) {
    gaugeStart_ = 0;
    gaugeEnd_ = std::max<int64_t>(0, source.Size());
    if (chapters_) {
        const int count = chapters_->Count();
        const int first = parts_.front().chapter;
        if (first > 1 && first <= count)
            gaugeStart_ = std::clamp<int64_t>(chapters_->StartByte(first), 0, gaugeEnd_);
        const int end = chapters_->EndChapter();
        if (end > 1 && end <= count)
            gaugeEnd_ = std::clamp<int64_t>(chapters_->StartByte(end), gaugeStart_, gaugeEnd_);
    }
    ResetGauge(gaugeEnd_, gaugeStart_);
}

// A range's end is found at the next chapter's first audio packet, which lies at or after its start.
void TStreamRun::ShowProgress(TLpcmTrackReader& reader) {
    host_.SetGaugeProgress(std::clamp(reader.Demuxer().Position(), gaugeStart_, gaugeEnd_));
}

void TStreamRun::ConvertPackets(TLpcmTrackReader& reader) {
    phase_ = Phase::Converting;
    std::span<const uint8_t> samples;
    while (outcome_.Running() && !PastEnd() && reader.Next(samples)) {
        if (request_.options.strictStream && reader.BreakCount() > 0) {
            ShowError(msg::AudioBroken(BreakTime(reader.Breaks().front().frame)));
            outcome_.Fail();
            break;
        }
        if (!reader.BlockIsFill())
            FindChapters(reader);
        if (!WriteFrames(samples)) {
            outcome_.Fail();
            ShowError(msg::kWriteFailed);
            break;
        }
        ShowProgress(reader);
        host_.ProcessPendingEvents();
    }
    // The packets after the last audio (video, padding) were read as well: a stream read to its end, or
    // to the end of its chapter range, shows a full gauge.
    ShowProgress(reader);
    if (outcome_.Running() && reader.Demuxer().ReadFailed()) {
        outcome_.Fail();
        ShowError(ReadFailure(reader));
    }
}

// The chapter of a title's stream that holds `position`; 0 for a stream without chapters.
int TStreamRun::ChapterAt(int64_t position) const {
    int chapter = 0;
    for (int number = 1; chapters_ && number <= chapters_->Count(); ++number)
        if (chapters_->StartByte(number) <= position)
            chapter = number;
    return chapter;
}

// Where the chapters begin that the block just read begins or passes: the parts of those chapters start
// there, and the run ends at the end chapter's.
void TStreamRun::FindChapters(TLpcmTrackReader& reader) {
    if (!chapters_ || chapters_->NextStartByte() < 0)
        return;
    int last = 0;
    const int first =
        chapters_->OnPacket(reader.BlockPacket(), frame_, reader.Demuxer().WatchedVideoStart(), last);
    for (int chapter = first; first > 0 && chapter <= last; ++chapter) {
        // The first chapter's start is the whole title's too.
        for (TStreamPart& part : parts_)
            if (part.chapter == chapter || (chapter == 1 && part.chapter == 0))
                part.firstFrame = chapters_->StartFrame(chapter);
        if (chapters_->EndChapter() == chapter)
            endFrame_ = chapters_->StartFrame(chapter);
    }
    if (chapters_->EndChapter() == 0 && chapters_->EndFound())
        endFrame_ = chapters_->EndFrame();
    if (first > 0 && chapters_->NextStartByte() >= 0)
        reader.WatchVideoStart(chapters_->NextStartByte());
}

// The frames at which the title's chapters begin, as found, counted from the title's start (where a whole
// title's output begins); those the audio never reached begin at its end.
std::vector<int64_t> TStreamRun::ChapterStarts() const {
    std::vector<int64_t> starts = chapters_ ? chapters_->Starts(frame_) : std::vector<int64_t>{0};
    const int64_t titleStart = starts.front();
    for (int64_t& start : starts)
        start -= titleStart;
    return starts;
}

// Chapters whose audio is longer or shorter than their video by more than an LPCM frame: the files
// follow the audio, and the user is told.
void TStreamRun::TellAboutChapterLengths() {
    if (!chapters_ || !chapters_->Cutting() ||
        (outcome_.Result() != TRunResult::Completed && !outcome_.Running()))
        return;
    std::vector<int> chapters;
    for (const TStreamPart& part : parts_)
        chapters.push_back(part.chapter);
    chapters_->CompareLengths(chapters, frame_, static_cast<int>(format_.sampleRate), kLpcmFrameTicks,
                              [this](int chapter, double seconds) {
                                  if (const std::string note = msg::ChapterAudioLength(chapter, seconds);
                                      !note.empty())
                                      host_.ShowNote(note);
                              });
}

// What the user should know of a run whose output stays: parts the audio never reached, damage skipped,
// audio that carries pre-emphasis.
void TStreamRun::TellAboutTheEnd(const TLpcmTrackReader& reader) {
    if (outcome_.Result() == TRunResult::Completed && part_ + 1 < parts_.size())
        host_.ShowNote(msg::PartsWithoutAudio(static_cast<int>(parts_.size() - part_ - 1)));
    TellAboutChapterLengths();
    if (!outcome_.DeleteOutput())
        TellAboutTrack(reader);
}

// What the reader found in the audio of one format.
void TStreamRun::TellAboutTrack(const TLpcmTrackReader& reader) {
    TellAboutBreaks(reader);
    if (reader.Demuxer().SkippedBytes() > 0)
        host_.ShowNote(msg::SkippedDamaged(reader.Demuxer().SkippedBytes()));
    if (reader.QuadsDetected())
        host_.ShowNote(msg::kQuadsDetected);
    if (reader.PackingUnknown())
        host_.ShowNote(msg::PackingUnknown(reader.Format().channels));
    if (reader.Emphasis())
        host_.ShowNote(msg::kPreEmphasis);
}

// A frame of the current format's audio as a time of the whole track's.
std::string TStreamRun::BreakTime(int64_t frame) const {
    return msg::BreakTime(segmentSeconds_ + static_cast<double>(frame) / format_.sampleRate);
}

// Each place where the audio did not follow on, then how many there were.
void TStreamRun::TellAboutBreaks(const TLpcmTrackReader& reader) {
    const double rate = format_.sampleRate;
    for (const TAudioBreak& place : reader.Breaks()) {
        const std::string at = BreakTime(place.frame);
        if (place.jumpTicks != 0)
            host_.ShowNote(msg::ClockJump(at, static_cast<double>(place.jumpTicks) / 90000));
        if (place.filled > 0)
            host_.ShowNote(msg::AudioFilled(at, place.filled / rate, place.missing));
        if (place.joined > 0)
            host_.ShowNote(msg::AudioJoined(at, place.joined / rate));
        if (place.repeated > 0)
            host_.ShowNote(msg::AudioRepeated(at, place.repeated / rate));
    }
    if (reader.BreakCount() > 0)
        host_.ShowNote(msg::AudioBreaks(reader.BreakCount()));
}

void TStreamRun::CleanUp() {
    std::exception_ptr closeError;
    try {
        FinishPart(true);
    } catch (...) {
        closeError = std::current_exception();
    }
    EndRun(closeError);
}

std::unique_ptr<TAudioSink> TStreamRun::MakeSink() const {
    if (request_.options.makeSink)
        return request_.options.makeSink();
    // Every output says what wrote it, and takes the user's tags.
    TOutputMetadata metadata = parts_[part_].metadata;
    metadata.encoder = EncoderName();
    metadata.userTags = request_.metadata.userTags;
    metadata.preEmphasis = emphasis_;
    return FormatOf(request_).makeSink(SinkSettingsOf(request_, false), metadata);
}

void TStreamRun::BeginPreparing() {
    outcome_.Begin();
    phase_ = Phase::Preparing;
}

TRunResult TStreamRun::RefuseBeforeConverting(const std::string& message) {
    if (message.empty())
        outcome_.Refuse();
    else
        Refuse(message);
    phase_ = Phase::Idle;
    return outcome_.Result();
}

bool TStreamRun::StartPart(size_t index) {
    part_ = index;
    partBytes_ = 0;
    const TStreamPart& part = parts_[index];
    host_.OutputStarted(part.outputName);
    if (!output_.Create(host_, part.outputName, part.overwriteAgreed, outcome_))
        return false;
    output_.BufferAhead();
    return output_.Begin(MakeSink(), format_);
}

// Ends the current part by the outcome: finished with its sizes when it stays, deleted otherwise. A close
// that cannot flush raises after the output has been dealt with.
bool TStreamRun::FinishPart(bool lastOfRun) {
    if (!output_.Exists())
        return true;
    if (chapters_ && chapters_->Cutting() && !parts_[part_].metadata.chapterStarts.empty())
        output_.Sink().SetChapterStarts(ChapterStarts());
    const std::exception_ptr closeError = output_.Finish(host_, outcome_, partBytes_, lastOfRun);
    if (closeError)
        std::rethrow_exception(closeError);
    return !outcome_.DeleteOutput();
}

// Writes a block of whole frames, cutting it where the next part begins and leaving out what lies before
// the first part or from the end frame on.
bool TStreamRun::WriteFrames(std::span<const uint8_t> samples) {
    const int64_t align = format_.BlockAlign();
    const int64_t frames = static_cast<int64_t>(samples.size()) / align;
    int64_t done = 0;
    while (done < frames && !PastEnd()) {
        const int64_t nextPart = part_ + 1 < parts_.size() ? parts_[part_ + 1].firstFrame : kNoEnd;
        if (frame_ < parts_[segmentPart_].firstFrame) {
            const int64_t skip = std::min(frames - done, parts_[segmentPart_].firstFrame - frame_);
            frame_ += skip;
            done += skip;
        } else if (frame_ >= nextPart) {
            // A part that cannot be finished or created has ended the run through the outcome; only a
            // header that cannot be written is left for the caller to report.
            if (!FinishPart(false))
                return true;
            if (!StartPart(part_ + 1))
                return !outcome_.Running();
        } else {
            const int64_t count = std::min({frames - done, nextPart - frame_, endFrame_ - frame_});
            const auto bytes = static_cast<int32_t>(count * align);
            if (!output_.Sink().Write(samples.data() + done * align, bytes))
                return false;
            partBytes_ += bytes;
            frame_ += count;
            done += count;
        }
    }
    return true;
}
