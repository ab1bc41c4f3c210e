// oxlip-convert: the window's conversion, from a shell.
#include "BatchPlan.h"
#include "CommandLine.h"
#include "ConsoleHost.h"
#include "Signals.h"

#include "texts/Messages.h"

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int ExitForSignal(int signal) {
    return 128 + signal;
}

} // namespace

int main(int argc, char** argv) {
    InstallInterruptHandlers();
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
    if (options.sampleRate <= 0)
        std::fprintf(stderr, "oxlip-convert: %s\n", msg::kRateNotPositive);

    TConsoleHost::Settings settings;
    settings.formatIndex = options.bits == 16 ? 0 : 1;
    settings.sampleRate = options.sampleRate;
    settings.assumeYes = options.assumeYes;
    settings.showProgress = !options.quiet && isatty(STDERR_FILENO);
    settings.interactive = isatty(STDIN_FILENO);
    settings.rf64 = options.rf64;
    settings.dither = options.dither;
    TConsoleHost host(settings);

    int status = kExitOk;
    const std::vector<TPlannedConversion> plan = PlanConversions(options.inputs, options.output);
    for (const TPlannedConversion& job : plan) {
        if (const int signal = InterruptSignal())
            return ExitForSignal(signal);
        if (!job.refusal.empty()) {
            host.Refuse(job.input, job.refusal);
            status = kExitFailed;
            continue;
        }
        const TRunResult result = host.Convert(job.input, job.output);
        // A run that kept its output has blocked the interrupts when it decided so; one that did not
        // is judged with them blocked too.
        BlockInterrupts(true);
        const bool kept = result == TRunResult::Completed || result == TRunResult::Stopped;
        if (const int signal = InterruptSignal(); signal != 0 && !kept)
            return ExitForSignal(signal);
        if (result != TRunResult::Completed)
            status = kExitFailed;
        // After the last input the interrupts stay blocked: one that comes now comes after the end. Before
        // another input, a waiting one is delivered and stops the call before that input starts.
        if (&job != &plan.back())
            BlockInterrupts(false);
    }
    return status;
}
