#pragma once

#include <cstdint>
#include <string>

enum class TStopAnswer { Abort, Retry, Ignore, None };

// What a conversion run needs of the program that drives it (the window, the command-line tool, or a
// scripted host in the tests) beyond its request: questions, messages and notes, the gauge and events.
// Messages use "\r" for a line break.
class TRunHost {
public:
    virtual ~TRunHost() = default;

    // A modal error message with an OK button.
    virtual void ShowError(const std::string& message) = 0;
    // A modal Yes/No question; true only for Yes.
    virtual bool Confirm(const std::string& message) = 0;
    // The question whether to reduce an output too long for its resolution to 16 bits: on Yes the host's
    // own output-format item goes to 16 bits too.
    virtual bool AcceptFallbackTo16(const std::string& message) { return Confirm(message); }
    // The stop question with Abort, Retry and Ignore; None when it was closed without a button.
    virtual TStopAnswer AskStop(const std::string& message) = 0;

    virtual void SetGaugeMinimum(int64_t minimum) = 0;
    virtual void SetGaugeMaximum(int64_t maximum) = 0;
    // Called once per group: keep it cheap.
    virtual void SetGaugeProgress(int64_t progress) = 0;

    // Busy: Process... disabled, the wait cursor, the other controls disabled; and back.
    virtual void SetBusy(bool busy) = 0;
    // During the conversion STOP! takes the place of Process....
    virtual void ShowStopButton(bool shown) = 0;
    // Called twice per group, so that STOP! and the progress display stay live: keep it cheap.
    virtual void ProcessPendingEvents() = 0;

    // An error whose cause the system gave (a name too long, a symbolic link loop, ...): hosts that have
    // room for it show the cause too.
    virtual void ShowErrorWithCause(const std::string& message, const std::string& cause) {
        (void)cause;
        ShowError(message);
    }
    // An error about the output `name` (it cannot be created), with the system's cause when there is one:
    // hosts that name the file a message is about name this one rather than the input.
    virtual void ShowOutputError(const std::string& name, const std::string& message,
                                 const std::string& cause) {
        (void)name;
        if (cause.empty())
            ShowError(message);
        else
            ShowErrorWithCause(message, cause);
    }
    // Something the user should know about a run that went on anyway; the window shows none.
    virtual void ShowNote(const std::string& message) { (void)message; }
    // A run that writes several outputs (one per chapter) says which one it starts, before any question
    // about it.
    virtual void OutputStarted(const std::string& name) { (void)name; }
    // Asked once more just before a finished output is kept: true when the user asked to stop after all
    // (an interrupt that came at the very end). The output then goes, as a moment earlier.
    virtual bool StopRequestedAtEnd() { return false; }
};
