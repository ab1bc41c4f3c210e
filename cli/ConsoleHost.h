#pragma once

#include "run/RunEntry.h"
#include "run/RunHost.h"
#include "run/RunRequest.h"
#include "run/Throttle.h"

#include <chrono>
#include <cstdio>
#include <string>

// Runs conversions from a shell: messages on standard error, questions on the terminal (or answered by
// -y, or No when there is no terminal), progress on standard error when it is a terminal.
class TConsoleHost final : public TRunHost {
public:
    struct Settings {
        bool assumeYes = false;
        bool showProgress = false;
        bool interactive = false; // questions may be asked on standard input
    };

    explicit TConsoleHost(const Settings& settings) : settings_(settings) {}

    // Converts what `request` asks, as `plan` planned it; the run's result, or Failed when an error left the
    // run.
    TRunResult Convert(const TRunRequest& request, TInputPlan plan);
    // A message about an input that no run is converting (why it is not converted, a note).
    void Tell(const std::string& input, const std::string& message);

    void ShowError(const std::string& message) override;
    void ShowErrorWithCause(const std::string& message, const std::string& cause) override;
    void ShowOutputError(const std::string& output, const std::string& message,
                         const std::string& cause) override;
    void ShowNote(const std::string& message) override { ShowError(message); }
    bool Confirm(const std::string& message) override;
    TStopAnswer AskStop(const std::string&) override { return TStopAnswer::Abort; }
    void SetGaugeMinimum(int64_t minimum) override { minimum_ = minimum; }
    void SetGaugeMaximum(int64_t maximum) override { maximum_ = maximum; }
    void SetGaugeProgress(int64_t progress) override { progress_ = progress; }
    void SetBusy(bool busy) override;
    void ShowStopButton(bool) override {}
    // Costs a count-down per call: only when the throttle is due are the interrupts and the progress
    // looked at.
    void ProcessPendingEvents() override {
        if (throttle_.Due())
            Tick();
    }
    bool StopRequestedAtEnd() override;
    void OutputStarted(const std::string& name) override { output_ = name; }

private:
    void Tick();
    void DrawProgress(bool final);
    void Print(const std::string& message, const char* end = "\n") { PrintAbout(input_, message, end); }
    // A message about `file`, on a line of its own.
    void PrintAbout(const std::string& file, const std::string& message, const char* end = "\n");

    Settings settings_;
    TRunControl* run_ = nullptr;
    int64_t bytesPerStep_ = 1;
    bool multipleOutputs_ = false;
    std::string input_;
    std::string output_;
    int64_t minimum_ = 0;
    int64_t maximum_ = 0;
    int64_t progress_ = 0;
    TThrottle throttle_{4096, std::chrono::milliseconds(100)};
    bool progressShown_ = false;
    // The progress from which the rate is measured, and when it was reached; -1 before any.
    int64_t rateFrom_ = -1;
    std::chrono::steady_clock::time_point rateSince_{};
};
