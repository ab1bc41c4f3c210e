#pragma once

#include "dvd/LpcmTrackReader.h"
#include "dvd/StreamSource.h"
#include "output/AudioFormat.h"
#include "output/OutputMetadata.h"
#include "run/ChapterPlan.h"
#include "run/RunControl.h"
#include "run/RunOutput.h"
#include "run/RunRequest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One output of a stream's conversion and the sample time (frame) of the stream at which it begins; or,
// for a disc title's chapter file, the chapter whose audio it begins with.
struct TStreamPart {
    std::string outputName;
    int64_t firstFrame = 0;
    int chapter = 0;              // 1-based; 0: the part begins at firstFrame
    bool overwriteAgreed = false; // the user was asked and said Yes
    // What the output says of itself; the request's user tags and the encoder are added to it.
    TOutputMetadata metadata;
};

// The conversion of one LPCM track of a DVD program stream (a .VOB file, or a disc title's cells) into
// files of the request's format, beside the raw run and driven through the same host: the same questions,
// STOP! answers, gauge and clean-up. The header takes the stream's rate, channels and resolution (16 bits
// when the request reduces it); WAVE outputs of any length become RF64. A stream cut into parts (chapters)
// writes one file per part, cut between sample groups, so that the parts joined are the whole track.
class TStreamRun : public TRunControl {
public:
    // How far into a stream the first LPCM tracks are looked for before converting; a stream whose
    // tracks are not all there by then is read to its end for them.
    static constexpr int64_t kTrackProbeBytes = 16 << 20;

    TStreamRun(TRunHost& host, TRunRequest request) : TRunControl(host), request_(std::move(request)) {}

    // The program stream in the request's input file, its `lpcmTrack`-th LPCM track (1-based, in the order
    // of their ids), to the request's output name.
    TRunResult ExecuteFile(int lpcmTrack);
    // A stream given by the caller (a disc title) from its track `trackId` (A0-A7), one output per part:
    // the frames from parts.front().firstFrame up to `endFrame` (-1: to the end). Parts are in order.
    // With `chapters`, the parts of chapters (and a whole title's chapter marks) are cut where each
    // chapter's audio begins, and the run ends at chapters->endChapter.
    TRunResult Execute(TStreamSource& source, uint8_t trackId, const std::vector<TStreamPart>& parts,
                       int64_t endFrame = -1, const TChapterPlan* chapters = nullptr);

    // For a caller that prepares the stream itself (a disc's run): begins the run, so that what it finds
    // before converting ends it as any run's check would. Refuse shows the message (none: a question was
    // answered No) and returns the run's result.
    void BeginPreparing();
    TRunResult RefuseBeforeConverting(const std::string& message);
    TRunHost& Host() { return host_; }

private:
    // Converts the track of `source` into the parts set before.
    TRunResult Convert(TStreamSource& source, uint8_t trackId);
    std::unique_ptr<TLpcmTrackReader> MakeReader(TStreamSource& source, uint8_t trackId, int64_t startAt,
                                                 int64_t cutFrom) const;
    bool NewFormatBeginsAChapter(const TLpcmTrackReader& reader) const;
    std::unique_ptr<TLpcmTrackReader> ContinueInNewFormat(TStreamSource& source, uint8_t trackId,
                                                          const TLpcmTrackReader& old);
    void StopAtFormatChange(const TLpcmTrackReader& reader);
    void TellAboutTrack(const TLpcmTrackReader& reader);
    bool FindTrack(TStreamSource& source, int lpcmTrack, uint8_t& trackId);
    bool StartReader(TLpcmTrackReader& reader);
    bool BeginOutputs(TStreamSource& source);
    static std::string ReadFailure(const TLpcmTrackReader& reader);
    void SetGaugeRange(TStreamSource& source);
    void ShowProgress(TLpcmTrackReader& reader);
    void ConvertPackets(TLpcmTrackReader& reader);
    void TellAboutTheEnd(const TLpcmTrackReader& reader);
    void TellAboutBreaks(const TLpcmTrackReader& reader);
    std::string BreakTime(int64_t frame) const;
    void CleanUp();
    bool StartPart(size_t index);
    bool FinishPart(bool lastOfRun);
    bool WriteFrames(std::span<const uint8_t> samples);
    bool PastEnd() const { return frame_ >= endFrame_; }
    void FindChapters(TLpcmTrackReader& reader);
    int ChapterAt(int64_t position) const;
    std::vector<int64_t> ChapterStarts() const;
    void TellAboutChapterLengths();
    std::unique_ptr<TAudioSink> MakeSink() const;

    static constexpr int64_t kNoEnd = INT64_MAX;
    // An LPCM frame: 1/600 s.
    static constexpr int64_t kLpcmFrameTicks = 150;

    TRunRequest request_;
    std::vector<TStreamPart> parts_;
    int64_t endFrame_ = kNoEnd;
    int64_t gaugeStart_ = 0;
    int64_t gaugeEnd_ = 0;
    size_t part_ = 0;
    TRunOutput output_;
    TAudioFormat format_;
    bool emphasis_ = false; // the track's first packet says its audio carries pre-emphasis
    int64_t partBytes_ = 0;
    int64_t frame_ = 0; // frames of the track decoded so far, in its current format
    // Where the audio of the current format begins: its first chapter and part, and the seconds of the
    // audio of other formats before it.
    int segmentChapter_ = 1;
    size_t segmentPart_ = 0;
    double segmentSeconds_ = 0;
    std::optional<TChapterPlan> chapters_;
};
