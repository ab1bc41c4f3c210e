// oxlip-convert: the window's conversion, from a shell, and DVD program streams and discs besides.
#include "BatchPlan.h"
#include "CommandLine.h"
#include "ConsoleHost.h"
#include "InputListing.h"
#include "Signals.h"
#include "TerminalText.h"

#include "texts/CliTexts.h"
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

int ListInputs(const std::vector<std::string>& inputs, bool json) {
    int status = kExitOk;
    for (const std::string& input : inputs) {
        std::string text, line;
        if (json ? !DescribeInputJson(input, line, text) : !DescribeInput(input, text)) {
            // A script reads one line for every input, the failed ones too.
            std::fputs(line.c_str(), stdout);
            std::fprintf(stderr, "oxlip-convert: %s: %s\n", ForTerminal(input).c_str(),
                         ForTerminal(text).c_str());
            status = kExitFailed;
            continue;
        }
        if (json)
            std::fputs(line.c_str(), stdout);
        else
            std::printf("%s: %s", ForTerminal(input).c_str(), text.c_str());
    }
    return status;
}

// The request the options make for one input; the run takes its kind from the input.
TRunRequest RequestFor(const ConvertOptions& options, const std::string& input) {
    TRunRequest request;
    request.input = input;
    request.output = options.output;
    request.selection = options.selection;
    request.resolution = options.bits == 16 ? TResolution::Reduced16 : TResolution::Source;
    request.sampleRate = options.sampleRate;
    request.rateGiven = options.rateGiven;
    request.format = options.format;
    request.options.rf64 = options.rf64;
    request.options.dither = options.dither;
    request.options.extensible = options.extensible;
    request.options.lpcmPacking = options.lpcmPacking;
    request.options.strictStream = options.strict;
    request.options.fillGaps = options.fillGaps;
    request.options.level = options.flacLevel;
    request.options.threads = options.threads;
    request.metadata.userTags = options.tags;
    return request;
}

} // namespace

int main(int argc, char** argv) {
    InstallInterruptHandlers();
    ConvertOptions options;
    std::string error;
    if (!ParseCommandLine({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "oxlip-convert: %s\n%s\n", error.c_str(), cli_text::kTryHelp);
        return kExitUsage;
    }
    if (options.showHelp) {
        std::fputs(cli_text::kUsage, stdout);
        return kExitOk;
    }
    if (options.showVersion) {
        std::printf("oxlip-convert %s\n", OXLIP_VERSION);
        return kExitOk;
    }
    if (options.list)
        return ListInputs(options.inputs, options.json);
    if (options.sampleRate <= 0)
        std::fprintf(stderr, "oxlip-convert: %s\n", msg::kRateNotPositive);

    TConsoleHost::Settings settings;
    settings.assumeYes = options.assumeYes;
    settings.showProgress = !options.quiet && isatty(STDERR_FILENO);
    settings.interactive = isatty(STDIN_FILENO);
    TConsoleHost host(settings);

    int status = kExitOk;
    std::vector<TRunRequest> requests;
    for (const std::string& input : options.inputs)
        requests.push_back(RequestFor(options, input));
    const std::vector<TPlannedConversion> plan = PlanConversions(requests);
    for (const TPlannedConversion& job : plan) {
        if (const int signal = InterruptSignal())
            return ExitForSignal(signal);
        TRunResult result = TRunResult::Refused;
        if (!job.refusal.empty())
            host.Tell(job.request.input, job.refusal);
        else
            result = host.Convert(job.request, job.plan);
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
