#pragma once

#include "run/RunHost.h"

// How a run stands, and in the end how it ended.
enum class TRunResult {
    Running,   // not ended yet
    Completed, // every group counted at the start was converted (or the input ended before them)
    Stopped,   // stopped with Ignore: the partial output stays, with a header that describes it
    Aborted,   // stopped with Abort (or interrupted): the output was deleted, or never created
    Refused,   // a check, a question or an open ended the run before the conversion
    Failed,    // a read or write error ended the run; an incomplete output was deleted
};

// The one value a run advances from Running to its result. The stop answers and the failures move it;
// whether the output stays follows from it alone.
class TRunOutcome {
public:
    TRunResult Result() const { return result_; }
    bool Running() const { return result_ == TRunResult::Running; }
    // The output goes when the run was aborted or failed.
    bool DeleteOutput() const { return result_ == TRunResult::Aborted || result_ == TRunResult::Failed; }

    void Begin() {
        result_ = TRunResult::Running;
        stoppedByAnswer_ = false;
    }
    void Refuse() { Settle(TRunResult::Refused); }
    void Fail() {
        result_ = TRunResult::Failed;
        stoppedByAnswer_ = false;
    }
    void Complete() { Settle(TRunResult::Completed); }
    // The input cannot be converted further (its format changed): what was written stays, as after
    // Ignore, and the run does not count as completed.
    void EndEarly() { Settle(TRunResult::Stopped); }

    // An interrupt (a signal, the window closed by the session): the run ends as aborted, even one that
    // has just completed, unless it had failed or been refused already.
    void Interrupt() {
        if (result_ != TRunResult::Failed && result_ != TRunResult::Refused)
            result_ = TRunResult::Aborted;
        stoppedByAnswer_ = false;
    }

    // Abort and Ignore end a running run; Retry takes back a stop that an answer asked for; a question
    // closed without an answer changes nothing. Failures and results are never taken back.
    void Apply(TStopAnswer answer) {
        switch (answer) {
        case TStopAnswer::Abort:
        case TStopAnswer::Ignore:
            if (Running() || stoppedByAnswer_) {
                result_ = answer == TStopAnswer::Abort ? TRunResult::Aborted : TRunResult::Stopped;
                stoppedByAnswer_ = true;
            }
            break;
        case TStopAnswer::Retry:
            if (stoppedByAnswer_) {
                result_ = TRunResult::Running;
                stoppedByAnswer_ = false;
            }
            break;
        case TStopAnswer::None:
            break;
        }
    }

private:
    void Settle(TRunResult result) {
        if (Running())
            result_ = result;
    }

    TRunResult result_ = TRunResult::Running;
    bool stoppedByAnswer_ = false;
};
