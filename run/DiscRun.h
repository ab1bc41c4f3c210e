#pragma once

#include "run/InputKind.h"
#include "run/Run.h"
#include "run/RunRequest.h"
#include "run/StreamRun.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TDisc;
struct TDiscAudio;
struct TDiscTitle;
struct TDiscChapter;

// A DVD-Video disc as its plan opened it, for the run: the disc, or why it could not be opened.
class TOpenedDisc final : public TOpenedInput {
public:
    explicit TOpenedDisc(const std::string& path);
    ~TOpenedDisc() override;
    std::string error; // before the disc, which its opening fills in
    std::unique_ptr<TDisc> disc;
};

// The files a run of `request` on the opened disc would write; empty when the run would refuse the
// request for what it asks of the disc (it then says why).
std::vector<std::string> PlanDiscOutputs(const TRunRequest& request, const TDisc& disc);

// Converts a disc's title through a program-stream run it owns: picks the title and the track, works out
// the chapters' cut points and names, asks about outputs that exist, and hands the title's stream to the
// stream run. A title (unless given, the longest with LPCM audio), one of its audio streams (the first
// LPCM stream unless given), whole or one file per chapter; the output is the file, or with chapters the
// folder for them, or when empty the default names in request.folder.
class TDiscRun final : public TRun {
public:
    TDiscRun(TRunHost& host, TRunRequest request, std::shared_ptr<TOpenedDisc> opened);
    ~TDiscRun() override;

    TRunResult Execute() override;
    TRunControl& Control() override { return run_; }

private:
    bool ChooseTitle(std::string& refusal);
    bool ChooseAudio(std::string& refusal);
    bool PlanParts(std::string& refusal);
    bool PlanChapters(std::string& refusal);
    bool AskAboutExistingOutputs(std::string& refusal);
    TRunResult ConvertTitle();

    TRunRequest request_;
    std::shared_ptr<TOpenedDisc> opened_;
    TStreamRun run_;
    const TDiscTitle* title_ = nullptr;
    const TDiscAudio* audio_ = nullptr;
    std::vector<TStreamPart> plannedParts_;
    std::optional<TChapterPlan> chapterPlan_;
};
