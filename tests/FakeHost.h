#pragma once

#include "run/ConversionRun.h"
#include "run/RunHost.h"
#include "run/RunOptions.h"
#include "run/RunRequest.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A scripted host: fixed names and settings, recorded messages, queued answers, and an optional action
// taken from inside the event processing after a given number of groups.
class FakeHost : public TRunHost {
public:
    std::string input;
    std::string output;
    int formatIndex = 1;
    int32_t sampleRate = 48000;
    // The run options a test's run is made with.
    bool rf64 = false;
    bool dither = false;
    TLpcmPackingChoice lpcmPacking = TLpcmPackingChoice::Auto;
    TRunOptions Options() const {
        TRunOptions options;
        options.rf64 = rf64;
        options.dither = dither;
        options.lpcmPacking = lpcmPacking;
        return options;
    }
    // The request the names and settings make, with `options` (the host's own by default).
    TRunRequest Request(std::optional<TRunOptions> options = std::nullopt) const {
        TRunRequest request;
        request.input = input;
        request.output = output;
        request.resolution = formatIndex == 0 ? TResolution::Reduced16 : TResolution::Source;
        request.sampleRate = sampleRate;
        request.options = options ? *options : Options();
        return request;
    }

    std::vector<std::string> errors;
    std::vector<std::string> causes; // the causes given with some of the errors
    std::vector<std::string> questions;
    std::deque<bool> confirmAnswers; // an empty queue answers No
    std::deque<TStopAnswer> stopAnswers;

    int64_t gaugeMinimum = -1;
    int64_t gaugeMaximum = -1;
    int64_t gaugeProgress = -1;
    std::vector<std::string> busyLog;
    int64_t pumps = 0;

    // Presses STOP! in the first event processing that finds the gauge at `stopAfterGroups`: after that
    // many groups were written, or, for 0, while the first group is under way.
    int64_t stopAfterGroups = -1;
    TRunControl* run = nullptr;
    // Called from every event processing with the number of calls so far.
    std::function<void(int64_t)> onPump;
    std::vector<std::string> notes;

    void ShowError(const std::string& message) override { errors.push_back(message); }
    void ShowErrorWithCause(const std::string& message, const std::string& cause) override {
        errors.push_back(message);
        causes.push_back(cause);
    }
    bool Confirm(const std::string& message) override {
        questions.push_back(message);
        if (confirmAnswers.empty())
            return false;
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    // A Yes resets the output-format item, as the window's does.
    bool AcceptFallbackTo16(const std::string& message) override {
        const bool yes = Confirm(message);
        if (yes)
            formatIndex = 0;
        return yes;
    }
    TStopAnswer AskStop(const std::string& message) override {
        questions.push_back(message);
        if (stopAnswers.empty())
            return TStopAnswer::None;
        const TStopAnswer answer = stopAnswers.front();
        stopAnswers.pop_front();
        return answer;
    }
    void SetGaugeMinimum(int64_t minimum) override { gaugeMinimum = minimum; }
    void SetGaugeMaximum(int64_t maximum) override { gaugeMaximum = maximum; }
    void SetGaugeProgress(int64_t progress) override { gaugeProgress = progress; }
    void SetBusy(bool busy) override { busyLog.push_back(busy ? "busy" : "idle"); }
    void ShowStopButton(bool shown) override { busyLog.push_back(shown ? "stop shown" : "stop hidden"); }
    void ShowNote(const std::string& message) override { notes.push_back(message); }
    std::vector<std::string> outputsStarted;
    void OutputStarted(const std::string& name) override { outputsStarted.push_back(name); }
    void ProcessPendingEvents() override {
        ++pumps;
        if (onPump)
            onPump(pumps);
        if (run && stopAfterGroups >= 0 && gaugeProgress == stopAfterGroups) {
            stopAfterGroups = -1;
            run->StopQuestion();
        }
    }
};
