#include "ConsoleHost.h"

#include <cstdio>
#include <iostream>

volatile std::sig_atomic_t g_interruptRequested = 0;

namespace {

// Progress is looked at every so many calls of the event hook, so that the hook costs next to nothing.
constexpr int kCallsPerTick = 4096;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string WithLineBreaks(std::string text) {
    for (char& c : text)
        if (c == '\r')
            c = '\n';
    return text;
}

std::string FormatDuration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

} // namespace

TRunResult TConsoleHost::Convert(const std::string& input, const std::string& output) {
    input_ = input;
    output_ = output;
    formatIndex_ = settings_.formatIndex;
    minimum_ = maximum_ = progress_ = 0;
    TConversionRun run(*this);
    run_ = &run;
    TRunResult result = TRunResult::Failed;
    try {
        result = run.Execute();
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
    run_ = nullptr;
    return result;
}

void TConsoleHost::Print(const std::string& message, const char* end) {
    if (progressShown_) {
        std::fputs("\r\033[K", stderr);
        progressShown_ = false;
    }
    std::fprintf(stderr, "oxlip-convert: %s: %s%s", input_.c_str(), WithLineBreaks(message).c_str(), end);
    std::fflush(stderr);
}

void TConsoleHost::ShowError(const std::string& message) {
    Print(message);
}

bool TConsoleHost::Confirm(const std::string& message) {
    const std::string question = message + (message == msg::kOverwrite ? " (" + output_ + ")" : "");
    if (settings_.assumeYes) {
        Print(question + " yes (-y)");
        return true;
    }
    if (!settings_.interactive) {
        Print(question + "\rAnswered No: there is no terminal to ask. Give -y to answer Yes.");
        return false;
    }
    Print(question, " [y/N] ");
    std::string answer;
    if (!std::getline(std::cin, answer) || g_interruptRequested)
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void TConsoleHost::SetBusy(bool busy) {
    if (busy) {
        started_ = lastDraw_ = std::chrono::steady_clock::now();
        countdown_ = kCallsPerTick;
    } else if (progressShown_) {
        DrawProgress(true);
        std::fputc('\n', stderr);
        progressShown_ = false;
    }
}

void TConsoleHost::Tick() {
    countdown_ = kCallsPerTick;
    if (g_interruptRequested && run_ && run_->Running())
        run_->ApplyStopAnswer(TStopAnswer::Abort);
    if (!settings_.showProgress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < kRedrawInterval)
        return;
    lastDraw_ = now;
    DrawProgress(false);
}

void TConsoleHost::DrawProgress(bool final) {
    const int64_t span = maximum_ - minimum_;
    const int percent = span > 0 ? static_cast<int>((progress_ - minimum_) * 100 / span) : 100;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double megabytes = static_cast<double>(progress_) * 10 / 1e6;
    const double rate = elapsed > 0 ? megabytes / elapsed : 0;
    std::string left;
    if (!final && rate > 0 && span > 0)
        left = "  " + FormatDuration(static_cast<double>(maximum_ - progress_) * 10 / 1e6 / rate) + " left";
    std::fprintf(stderr, "\r\033[K%3d%%  %.1f MB/s%s", percent, rate, left.c_str());
    std::fflush(stderr);
    progressShown_ = true;
}
