// oxlip-convert: the window's conversion, from a shell.
#include "CommandLine.h"
#include "ConsoleHost.h"

#include "engine/NameProposal.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

void OnInterrupt(int) { g_interruptRequested = 1; }

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a question waiting on the terminal ends too
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A message to a standard error that nobody reads any more must not kill the process before it has
    // deleted an incomplete output: the write just fails.
    std::signal(SIGPIPE, SIG_IGN);
}

// Holds SIGINT and SIGTERM back while a finished run's result is judged, so that none slips between the
// check and what follows from it.
void BlockInterrupts(bool block) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// With the interrupts blocked: whether one came, or is waiting to be delivered.
bool Interrupted() {
    sigset_t pending;
    sigpending(&pending);
    return g_interruptRequested || sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1;
}

} // namespace

int main(int argc, char** argv) {
    InstallSignalHandlers();
    ConvertOptions options;
    std::string error;
    if (!ParseCommandLine({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "oxlip-convert: %s\nTry 'oxlip-convert --help' for more information.\n",
                     error.c_str());
        return kExitUsage;
    }
    if (options.showHelp) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (options.showVersion) {
        std::printf("oxlip-convert %s\n", OXLIP_VERSION);
        return kExitOk;
    }

    TConsoleHost::Settings settings;
    settings.formatIndex = options.bits == 16 ? 0 : 1;
    settings.sampleRate = options.sampleRate;
    settings.assumeYes = options.assumeYes;
    settings.showProgress = !options.quiet && isatty(STDERR_FILENO);
    settings.interactive = isatty(STDIN_FILENO);
    TConsoleHost host(settings);

    int status = kExitOk;
    for (const std::string& input : options.inputs) {
        if (g_interruptRequested)
            return kExitInterrupted;
        const std::string output = options.output.empty() ? ProposeOutputName(input) : options.output;
        const TRunResult result = host.Convert(input, output);
        BlockInterrupts(true);
        if (Interrupted()) {
            // Interrupted at the very end: what this run wrote goes too, as it would have a moment earlier.
            if (result == TRunResult::Completed || result == TRunResult::Stopped)
                ::unlink(output.c_str());
            return kExitInterrupted;
        }
        if (result != TRunResult::Completed)
            status = kExitFailed;
        // After the last input the interrupts stay blocked: one that comes now comes after the end.
        if (&input != &options.inputs.back())
            BlockInterrupts(false);
    }
    return status;
}
