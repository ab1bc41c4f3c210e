#pragma once

#include "run/RunHost.h"
#include "run/StreamRun.h"

#include <memory>
#include <string>
#include <vector>

class TDisc;
struct TDiscAudio;
struct TDiscTitle;
struct TDiscChapter;

// What to convert of a disc: a title (unless given, the longest with LPCM audio), one of its audio streams
// (the first LPCM stream unless given), whole or one file per chapter.
struct TDiscRequest {
    std::string disc;      // a disc folder, its VIDEO_TS folder, an IFO file or an image
    int title = 0;         // as the disc numbers its titles; 0 for DefaultTitleFor
    int track = 0;         // the disc's audio stream number; 0 for the first LPCM stream
    bool chapters = false; // one file per chapter
    int firstChapter = 0;  // with chapters: the range to convert; 0 for all
    int lastChapter = 0;
    std::string output;             // the output file; with chapters, the folder for the chapter files
    std::string folder = ".";       // where the default names go when no output is given
    std::string extension = ".wav"; // of the default names
};

// The title converted when none is given: for a title set's IFO (VTS_nn_0.IFO) the first readable title
// of that title set, otherwise (or when it has none) the disc's default, the longest with LPCM audio.
const TDiscTitle* DefaultTitleFor(const TDisc& disc, const std::string& input);

// The default names: LABEL-tTT.wav for a title, LABEL-tTT-cCC.wav for one of its chapters.
std::string DiscOutputName(const std::string& label, int title, int chapter = 0,
                           const std::string& extension = ".wav");
// The folder beside the disc folder or image, where its outputs go by default; empty when `disc` is no
// disc.
std::string FolderBesideDisc(const std::string& disc);
// The output the window proposes for a disc: the default title's default name, beside the disc folder or
// image. Empty when `disc` is no readable disc.
std::string ProposeDiscOutputName(const std::string& disc);
// The files a run of `request` would write, worked out before it; empty when the run would refuse the
// request for what it asks of the disc (it then says why).
std::vector<std::string> PlanDiscOutputs(const TDiscRequest& request);

// Converts a disc's title through the program-stream run: picks the title and the track, works out the
// chapters' cut points and names, asks about outputs that exist, and hands the title's stream to the run.
class TDiscRun : public TStreamRun {
public:
    TDiscRun(TRunHost& host, TDiscRequest request, TRunOptions options = {});
    ~TDiscRun();

    TRunResult Execute();

private:
    bool OpenDisc();
    bool ChooseTitle();
    bool ChooseAudio();
    bool PlanParts();
    bool PlanChapters();
    int64_t ChapterStart(const TDiscChapter& chapter) const;
    bool AskAboutExistingOutputs();
    TRunResult ConvertTitle();

    TDiscRequest request_;
    std::unique_ptr<TDisc> disc_;
    const TDiscTitle* title_ = nullptr;
    const TDiscAudio* audio_ = nullptr;
    std::vector<TStreamPart> plannedParts_;
    TTitleChapters titleChapters_;
};
