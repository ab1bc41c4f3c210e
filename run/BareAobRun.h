#pragma once

#include "engine/SampleReducer.h"
#include "run/InputKind.h"
#include "run/Run.h"
#include "run/RunControl.h"
#include "run/RunOutput.h"
#include "run/RunRequest.h"

#include <optional>
#include <string>

class TAobAudioReader;

// A bare DVD-Audio AOB file (copied out of a disc's AUDIO_TS folder) converted as a VOB is: its first audio
// stream (PCM or MLP), whole, into the request's output, through the same host, questions, gauge, STOP! and
// output life cycle as every run. Without the disc's tables there are no tracks to cut at and no tags from
// the disc.
class TBareAobRun final : public TRun, public TRunControl {
public:
    TBareAobRun(TRunHost& host, TRunRequest request) : TRunControl(host), request_(std::move(request)) {}

    TRunResult Execute() override;
    TRunControl& Control() override { return *this; }

private:
    void Convert(TAobAudioReader& reader, int64_t size, bool overwriteAgreed);
    bool Begin(const TAobAudioReader& reader, bool overwriteAgreed);
    void CleanUpQuietly();

    TRunRequest request_;
    TRunOutput output_;
    int64_t dataBytes_ = 0;
    std::optional<TSampleReducer> reducer_; // made with the output, from the stream's format
};

// What --list says of a bare AOB file: its first audio stream's format and, for PCM, its length; false with
// the reason in `text` when it cannot be read.
bool DescribeBareAob(const std::string& input, TListingForm form, std::string& text);
