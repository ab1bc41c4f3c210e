#include "CommandLine.h"

#include "engine/RateText.h"
#include "texts/Messages.h"

const char* const kUsage =
    "Usage: oxlip-convert [-b 16|24] [-r RATE] [-y] [-q] [-o OUTPUT] INPUT...\n"
    "Converts 20-bit LPCM (raw as demultiplexed, or a WAVE file whose byte pairs a ripping tool swapped)\n"
    "into a two-channel PCM WAVE file.\n"
    "\n"
    "  -b 16|24     output bits: 16 (reduced resolution) or 24 (20 valid bits); default 24\n"
    "  -r RATE      sampling rate written to the header, decimal or hex ($BB80, 0xBB80); default 48000\n"
    "  -o OUTPUT    output file name (one input only); default: the input's name with .wav,\n"
    "               or with _new.wav when the input is a .wav file\n"
    "  -y           answer Yes to every question (overwrite an existing output, fall back to 16 bits)\n"
    "  -q           no progress display\n"
    "  --help       show this help\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 when every input was converted, 1 when any failed, 2 for a usage error,\n"
    "128 + the signal's number when ended by a signal (130 for Ctrl-C; the incomplete output is deleted).\n";

namespace {

bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& flag, std::string& value,
               std::string& error) {
    const std::string& arg = args[i];
    if (arg.size() > 2) { // -b16
        value = arg.substr(2);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = "option " + flag + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, ConvertOptions& options, std::string& error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            options.showHelp = true;
        } else if (arg == "--version") {
            options.showVersion = true;
        } else if (arg == "-y") {
            options.assumeYes = true;
        } else if (arg == "-q") {
            options.quiet = true;
        } else if (arg.rfind("-b", 0) == 0) {
            std::string value;
            if (!TakeValue(args, i, "-b", value, error))
                return false;
            if (value != "16" && value != "24") {
                error = "-b takes 16 or 24, not \"" + value + "\"";
                return false;
            }
            options.bits = value == "16" ? 16 : 24;
        } else if (arg.rfind("-r", 0) == 0) {
            std::string value;
            if (!TakeValue(args, i, "-r", value, error))
                return false;
            const auto rate = ParseRateText(value);
            if (!rate) {
                error = "-r \"" + value + "\": " + msg::kInvalidRate;
                return false;
            }
            options.sampleRate = *rate;
        } else if (arg.rfind("-o", 0) == 0) {
            if (!TakeValue(args, i, "-o", options.output, error))
                return false;
            if (options.output.empty()) {
                error = "-o needs a file name";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.showHelp || options.showVersion)
        return true;
    if (options.inputs.empty()) {
        error = "no input file given";
        return false;
    }
    if (!options.output.empty() && options.inputs.size() > 1) {
        error = "-o names one output, but " + std::to_string(options.inputs.size()) + " inputs were given";
        return false;
    }
    return true;
}
