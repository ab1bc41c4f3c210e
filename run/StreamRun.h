#pragma once

#include "dvd/ChapterCutter.h"
#include "dvd/LpcmTrackReader.h"
#include "dvd/StreamSource.h"
#include "output/AudioFormat.h"
#include "output/OutputMarks.h"
#include "run/RunControl.h"
#include "run/RunOptions.h"
#include "run/RunOutput.h"

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
    std::vector<TFlacTag> tags;   // what a FLAC output says of itself beside ENCODER
    TOutputMarks marks;           // what a WAVE output says of itself; both take the chapter starts
};

// A disc title's chapters, for a run that cuts its parts where each chapter's audio begins
// (TChapterCutter): each chapter's first byte in the title's stream (the first chapter's is 0) and its
// video's playing time (90 kHz ticks). The title's audio begins where its first chapter's does.
struct TTitleChapters {
    std::vector<int64_t> startBytes;
    std::vector<int64_t> videoTicks;
    int endChapter = 0; // the run ends where this chapter's audio begins; 0: where the title's audio ends
    // Where the title ends in the stream, which may go on past it: its audio ends where the audio after
    // it would begin. -1: at the end of the stream.
    int64_t endByte = -1;
};

// The conversion of one LPCM track of a DVD program stream (a .VOB file, or a disc title's cells) into
// WAVE files, beside the raw run and driven through the same host: the same questions, STOP! answers,
// gauge and clean-up. The header takes the stream's rate, channels and resolution (16 bits on request,
// the format index 0); outputs of any length become RF64. A stream cut into parts (chapters) writes one
// file per part, cut between sample groups, so that the parts joined are the whole track.
class TStreamRun : public TRunControl {
public:
    // How far into a stream the first LPCM tracks are looked for before converting; a stream whose
    // tracks are not all there by then is read to its end for them.
    static constexpr int64_t kTrackProbeBytes = 16 << 20;
    // The output's buffer: samples arrive a packet (about 2 KB) at a time, and a large buffer turns them
    // into few large writes (bench/dvd_throughput: 8 KiB costs a third of the run).
    static constexpr int32_t kOutputBufferSize = 256 * 1024;

    explicit TStreamRun(TRunHost& host, TRunOptions options = {})
        : TRunControl(host), options_(std::move(options)) {}

    // The program stream in the file the host names as input, its `lpcmTrack`-th LPCM track (1-based, in
    // the order of their ids), to the host's output name.
    TRunResult ExecuteFile(int lpcmTrack);
    // A stream given by the caller (a disc title) from its track `trackId` (A0-A7), one output per part:
    // the frames from parts.front().firstFrame up to `endFrame` (-1: to the end). Parts are in order.
    // With `chapters`, the parts of chapters (and a whole title's chapter marks) are cut where each
    // chapter's audio begins, and the run ends at chapters->endChapter.
    TRunResult Execute(TStreamSource& source, uint8_t trackId, const std::vector<TStreamPart>& parts,
                       int64_t endFrame = -1, const TTitleChapters* chapters = nullptr);

protected:
    // Converts the track of `source` into the parts set before.
    TRunResult Convert(TStreamSource& source, uint8_t trackId);

private:
    bool FindTrack(TStreamSource& source, int lpcmTrack, uint8_t& trackId);
    bool StartReader(TLpcmTrackReader& reader);
    bool BeginOutputs(TStreamSource& source);
    static std::string ReadFailure(const TLpcmTrackReader& reader);
    void SetGaugeRange(TStreamSource& source);
    void ShowProgress(TLpcmTrackReader& reader);
    void ConvertPackets(TLpcmTrackReader& reader);
    void TellAboutTheEnd(const TLpcmTrackReader& reader);
    void CleanUp();
    bool StartPart(size_t index);
    bool FinishPart(bool lastOfRun);
    bool WriteFrames(std::span<const uint8_t> samples);
    bool PastEnd() const { return frame_ >= endFrame_; }
    void FindChapters(TLpcmTrackReader& reader);
    std::vector<int64_t> CutBytes() const;
    std::vector<int64_t> ChapterStarts() const;
    void TellAboutChapterLengths();
    std::unique_ptr<TAudioSink> MakeSink() const;

    static constexpr int64_t kNoEnd = INT64_MAX;
    // An LPCM frame: 1/600 s.
    static constexpr int64_t kLpcmFrameTicks = 150;

    TRunOptions options_;
    std::vector<TStreamPart> parts_;
    int64_t endFrame_ = kNoEnd;
    int64_t gaugeStart_ = 0;
    int64_t gaugeEnd_ = 0;
    size_t part_ = 0;
    TRunOutput output_;
    TAudioFormat format_;
    int64_t partBytes_ = 0;
    int64_t frame_ = 0; // frames of the track decoded so far
    std::optional<TTitleChapters> chapters_;
    std::optional<TChapterCutter> cutter_;
};
