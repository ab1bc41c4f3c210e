#pragma once

#include "mmio/MMIOFile.h"
#include "run/RunHost.h"
#include "run/RunOutcome.h"

#include <exception>
#include <memory>
#include <string>

// What every conversion run has in common with the others: its host, the outcome it advances, where it
// stands, and the steps that begin and end every run. The hosts' STOP handlers, interrupts and a closing
// window talk to a run through this.
class TRunControl {
public:
    TRunControl(const TRunControl&) = delete;
    TRunControl& operator=(const TRunControl&) = delete;

    // Asks the host's stop question and applies the answer; does nothing unless the input is being
    // scanned or converted.
    void StopQuestion();
    void ApplyStopAnswer(TStopAnswer answer) { outcome_.Apply(answer); }
    // A signal or a session that ends: the run stops at its next step and leaves no output.
    void Interrupt() { outcome_.Interrupt(); }

    bool Converting() const { return phase_ == Phase::Converting; }
    bool Running() const { return outcome_.Running(); }

protected:
    // Where the run is; the stop question is asked only while the input is scanned or converted.
    enum class Phase { Idle, Preparing, Scanning, Converting, CleaningUp };

    explicit TRunControl(TRunHost& host) : host_(host) {}
    ~TRunControl() = default;

    // Starts a run: the outcome running, then the names' checks (not the same name, an input that exists,
    // the overwrite question for an output that exists). False (and the outcome says why) when the run
    // ends here.
    bool StartRun(const std::string& inputName, const std::string& outputName, bool& overwriteAgreed);
    // The input opened for reading, denying others write access; nullptr (messages shown, outcome
    // refused) when it cannot be.
    std::unique_ptr<TMMIOFile> OpenInput(const std::string& inputName);
    // The input is closed when the run is done with it; nothing is written to it, so its close has
    // nothing to lose.
    static void CloseQuietly(TMMIOFile& input);

    // Looking through the input before converting it (for where its samples begin, for its tracks) can be
    // stopped. Each step keeps the host live, and from the step that shows the input to be no ordinary
    // file on, STOP! shows. A step is false once the run was stopped.
    void BeginScan();
    bool ScanStep();
    // The scan is over. False when it was stopped: a stop here ends the run before any output exists,
    // whatever the answer (Ignore has nothing to keep yet).
    bool EndScan();

    // The gauge from `minimum` (0 unless given) to `maximum`, its progress at the start.
    void ResetGauge(int64_t maximum, int64_t minimum = 0);
    // Shows the message and refuses the run; false, for the step that ends the run with it.
    bool Refuse(const std::string& message);
    // An output that could not be begun fails the run with the write message, unless the run has ended
    // already and said why (an output refused, a question answered).
    void FailToBegin();
    // Tells the host of each of the request's tags that its output format has no field for: they are left
    // out, and the user should know.
    void NoteTagsLeftOut(const struct TRunRequest& request, bool plainWave);
    // The end of every run: the controls given back, the run idle, and an error that was put off during
    // the clean-up raised.
    void EndRun(const std::exception_ptr& error);
    void ShowError(const std::string& message) { host_.ShowError(message); }

    TRunHost& host_;
    TRunOutcome outcome_;
    Phase phase_ = Phase::Idle;

private:
    // A scan that takes this many steps is not an ordinary file's: from then on it shows STOP!.
    static constexpr int64_t kStepsBeforeStopButton = 1 << 16;

    int64_t scanSteps_ = 0;
    bool stopShown_ = false;
};
