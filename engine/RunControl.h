#pragma once

#include "engine/RunHost.h"
#include "engine/RunOutcome.h"
#include "mmio/MMIOFile.h"

#include <memory>
#include <string>

// What every conversion run has in common with the others: its host, the outcome it advances, where it
// stands, and the checks and opens that come before any conversion. The hosts' STOP handlers, interrupts
// and a closing window talk to a run through this.
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

    // The names' checks: not the same name, an input that exists, and the overwrite question for an
    // output that exists. False (and the outcome says why) when the run ends here.
    bool CheckNames(const std::string& inputName, const std::string& outputName, bool& overwriteAgreed);
    // The input opened for reading, denying others write access; nullptr (messages shown, outcome
    // refused) when it cannot be.
    std::unique_ptr<TMMIOFile> OpenInput(const std::string& inputName);
    void ShowError(const std::string& message) { host_.ShowError(message); }

    TRunHost& host_;
    TRunOutcome outcome_;
    Phase phase_ = Phase::Idle;
};
