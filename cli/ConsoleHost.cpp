#include "ConsoleHost.h"

#include "Signals.h"
#include "TerminalText.h"

#include "texts/CliTexts.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace {

std::string FormatDuration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

} // namespace

TRunResult TConsoleHost::Convert(const TRunRequest& request, TInputPlan plan) {
    input_ = request.input;
    multipleOutputs_ = request.selection.chapters;
    minimum_ = maximum_ = progress_ = 0;
    // A run that names its outputs itself says which as it starts them.
    output_ = plan.kind && !plan.kind->namesOwnOutputs && !plan.outputs.empty() ? plan.outputs.front()
                                                                                : request.output;
    const std::unique_ptr<TRun> run = MakeRun(*this, request, std::move(plan));
    bytesPerStep_ = run->GaugeBytesPerStep();
    run_ = &run->Control();
    // Checked while the run prepares too: a long scan of the input can be interrupted.
    throttle_.Start();
    TRunResult result = TRunResult::Failed;
    try {
        result = run->Execute();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    run_ = nullptr;
    return result;
}

void TConsoleHost::Tell(const std::string& input, const std::string& message) {
    input_ = input;
    Print(message);
}

void TConsoleHost::PrintAbout(const std::string& file, const std::string& message, const char* end) {
    if (progressShown_) {
        std::fputs("\r\033[K", stderr);
        progressShown_ = false;
    }
    std::fprintf(stderr, "oxlip-convert: %s: %s%s", ForTerminal(file).c_str(), ForTerminal(message).c_str(),
                 end);
    std::fflush(stderr);
}

void TConsoleHost::ShowError(const std::string& message) {
    Print(message);
}

void TConsoleHost::ShowErrorWithCause(const std::string& message, const std::string& cause) {
    Print(message + "\r" + cause);
}

void TConsoleHost::ShowOutputError(const std::string& output, const std::string& message,
                                   const std::string& cause) {
    PrintAbout(output, cause.empty() ? message : message + "\r" + cause);
}

bool TConsoleHost::Confirm(const std::string& message) {
    const std::string question = message + (message == msg::kOverwrite ? " (" + output_ + ")" : "");
    if (settings_.assumeYes) {
        Print(question + cli_text::kAssumedYes);
        return true;
    }
    if (!settings_.interactive) {
        Print(question + "\r" + msg::kNoTerminal);
        return false;
    }
    Print(question, cli_text::kYesNo);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        // The input ended (Ctrl-D) or a signal came: the question's line ends here, not in the next message.
        std::fputc('\n', stderr);
        return false;
    }
    if (InterruptSignal() != 0)
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void TConsoleHost::SetBusy(bool busy) {
    if (busy) {
        rateFrom_ = -1;
        throttle_.Start();
    } else if (progressShown_) {
        DrawProgress(true);
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
}

// The interrupts stay blocked from here on: one that comes after this answer comes after the end.
bool TConsoleHost::StopRequestedAtEnd() {
    BlockInterrupts(true);
    return InterruptSignal() != 0;
}

void TConsoleHost::Tick() {
    if (InterruptSignal() != 0 && run_)
        run_->Interrupt();
    if (settings_.showProgress && run_ && run_->Converting())
        DrawProgress(false);
}

void TConsoleHost::DrawProgress(bool final) {
    const int64_t span = maximum_ - minimum_;
    const int percent = span > 0 ? static_cast<int>((progress_ - minimum_) * 100 / span) : 100;
    // The rate counts from the first progress past the gauge's start: a chapter range's start is reached
    // by a seek, which converts nothing, and a long scan before it would make any rate a guess.
    const auto now = std::chrono::steady_clock::now();
    if (rateFrom_ < 0 || progress_ < rateFrom_) {
        rateFrom_ = progress_ > minimum_ ? progress_ : -1;
        rateSince_ = now;
    }
    const double elapsed = std::chrono::duration<double>(now - rateSince_).count();
    const double megabytes = static_cast<double>(progress_ - rateFrom_) * bytesPerStep_ / 1e6;
    const double rate = rateFrom_ >= 0 && elapsed > 0 ? megabytes / elapsed : 0;
    std::string speed;
    if (rate > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "  %.1f MB/s", rate);
        speed = text;
        if (!final && span > 0)
            speed += "  " +
                     FormatDuration(static_cast<double>(maximum_ - progress_) * bytesPerStep_ / 1e6 / rate) +
                     " left";
    }
    // The file being written, for runs that write one per chapter.
    const std::string writing =
        multipleOutputs_ ? "  " + ForTerminal(std::filesystem::path(output_).filename()) : "";
    std::fprintf(stderr, "\r\033[K%3d%%%s%s", percent, speed.c_str(), writing.c_str());
    std::fflush(stderr);
    progressShown_ = true;
}
