#pragma once

#include "run/InputKind.h"
#include "run/Run.h"
#include "run/RunControl.h"
#include "run/RunOutput.h"
#include "run/RunRequest.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

class TAudioDisc;
struct TAudioDiscTitle;
class TAudioTitleStream;

// A DVD-Audio disc as its plan opened it, for the run: the disc, or why it could not be opened.
class TOpenedAudioDisc final : public TOpenedInput {
public:
    explicit TOpenedAudioDisc(const std::string& path);
    ~TOpenedAudioDisc() override;
    std::string error; // before the disc, which its opening fills in
    std::unique_ptr<TAudioDisc> disc;
};

// The title a request names, or by default the longest that can be converted; nullptr when there is none.
const TAudioDiscTitle* RequestedAudioTitle(const TAudioDisc& disc, const TSelection& selection);
// The files a run of `request` would write; empty when it would refuse what the request asks.
std::vector<std::string> PlanAudioDiscOutputs(const TRunRequest& request, const TAudioDisc& disc);

// Converts a DVD-Audio title, whole or one file per track (the tracks are the disc's songs, and a run's
// "chapters"), through the same host, questions, gauge, STOP! and output life cycle as every run. Each
// track's file begins where its first time stamp falls on the title's audio clock, so the files joined
// are the title, sample for sample; a whole title marks its tracks as chapters.
class TAudioDiscRun final : public TRun, public TRunControl {
public:
    TAudioDiscRun(TRunHost& host, TRunRequest request, std::shared_ptr<TOpenedAudioDisc> opened);
    ~TAudioDiscRun() override;

    TRunResult Execute() override;
    TRunControl& Control() override { return *this; }

private:
    struct TPart {
        std::string name;
        int64_t firstFrame = 0;
        bool overwriteAgreed = false;
        TOutputMetadata metadata;
    };

    bool Plan(std::string& refusal);
    bool AskAboutExistingOutputs();
    bool StartPart(size_t index);
    bool FinishPart(bool lastOfRun);
    bool WriteFrames(std::span<const uint8_t> samples);
    void Convert();
    void CleanUpQuietly();

    TRunRequest request_;
    std::shared_ptr<TOpenedAudioDisc> opened_;
    const TAudioDiscTitle* title_ = nullptr;
    int firstTrack_ = 1;
    int lastTrack_ = 1;
    std::vector<TPart> parts_;
    std::unique_ptr<TAudioTitleStream> stream_;
    TAudioFormat format_;
    TRunOutput output_;
    size_t part_ = 0;
    int64_t partBytes_ = 0;
    int64_t frame_ = 0;
};
