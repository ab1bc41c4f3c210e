#include "CommandLine.h"

#include "run/RateText.h"
#include "texts/Messages.h"

#include <charconv>
#include <optional>

const char* const kUsage =
    "Usage: oxlip-convert [-b 16|24] [--dither] [--rf64] [--lpcm-packing P] [-r RATE] [-y] [-q] [-o OUTPUT] "
    "INPUT...\n"
    "       oxlip-convert --list INPUT...\n"
    "       oxlip-convert [--title N] [--track N] [--chapters [A-B]] [-o OUTPUT] DISC\n"
    "Converts 20-bit LPCM (raw as demultiplexed, or a WAVE file whose byte pairs a ripping tool swapped)\n"
    "into a two-channel PCM WAVE file.\n"
    "\n"
    "  -b 16|24     output bits: 16 (reduced resolution) or 24 (20 valid bits); default 24\n"
    "  --dither     with -b 16: TPDF dither instead of dropping the low bits (the same file every run)\n"
    "  --rf64       no size limit: an output beyond 4 GiB becomes RF64 (no question about 16 bits)\n"
    "  --lpcm-packing pairs|quads|auto  how 20- and 24-bit DVD LPCM of 1 or 3 to 8 channels is packed:\n"
    "               two sample times of all channels, or four samples at a time; default: auto, detected\n"
    "               from each track's start (pairs unless quads is clearly right)\n"
    "  -r RATE      sampling rate written to the header, decimal or hex ($BB80, 0xBB80); default 48000\n"
    "  -o OUTPUT    output file name (one input only); default: the input's name with .wav,\n"
    "               or with _new.wav when the input is a .wav file\n"
    "  --list       describe each input (its kind, its titles and audio tracks); convert nothing\n"
    "  --title N    the disc's title N (as --list numbers them); default: the longest\n"
    "  --track N    the N-th LPCM track of a program stream, or a disc's audio stream N; default: the first\n"
    "  --chapters [A-B]  one output per chapter of the title, or of chapters A to B (or A alone);\n"
    "               -o then names an existing folder for them\n"
    "  -y           answer Yes to every question (overwrite an existing output, fall back to 16 bits)\n"
    "  -q           no progress display\n"
    "  --help       show this help\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 when every input was converted, 1 when any failed, 2 for a usage error,\n"
    "128 + the signal's number when ended by a signal (130 for Ctrl-C; the incomplete output is deleted).\n";

namespace {

// A whole number of 1 or more, digits only.
std::optional<int> ParsePositive(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] < '0' || text[0] > '9' || failure != std::errc() || stop != end || value < 1)
        return std::nullopt;
    return value;
}

// A positive number as the value of `flag`.
bool TakeCount(const std::vector<std::string>& args, size_t& i, const std::string& flag, int& count,
               std::string& error) {
    if (i + 1 >= args.size()) {
        error = "option " + flag + " needs a value";
        return false;
    }
    const std::string& value = args[++i];
    const auto number = ParsePositive(value);
    if (!number) {
        error = msg::NotAPositiveNumber(flag, value);
        return false;
    }
    count = *number;
    return true;
}

// A chapter range ("3" or "3-7") is an argument of digits, maybe with one dash between them.
bool LooksLikeChapterRange(const std::string& text) {
    const size_t dash = text.find('-');
    const auto digits = [](const std::string& part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
    };
    return dash == std::string::npos ? digits(text)
                                     : digits(text.substr(0, dash)) && digits(text.substr(dash + 1));
}

// Takes the range that may follow --chapters: the next argument when it looks like one.
bool TakeChapterRange(const std::vector<std::string>& args, size_t& i, ConvertOptions& options,
                      std::string& error) {
    if (i + 1 >= args.size() || !LooksLikeChapterRange(args[i + 1]))
        return true;
    const std::string& range = args[++i];
    const size_t dash = range.find('-');
    const auto first = ParsePositive(range.substr(0, dash));
    const auto last = dash == std::string::npos ? first : ParsePositive(range.substr(dash + 1));
    if (!first || !last || *first > *last) {
        error = msg::BadChapterRange(range);
        return false;
    }
    options.firstChapter = *first;
    options.lastChapter = *last;
    return true;
}

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
        } else if (arg == "--rf64") {
            options.rf64 = true;
        } else if (arg == "--dither") {
            options.dither = true;
        } else if (arg == "--lpcm-packing") {
            if (i + 1 >= args.size()) {
                error = "option --lpcm-packing needs a value";
                return false;
            }
            const std::string& value = args[++i];
            if (value != "pairs" && value != "quads" && value != "auto") {
                error = "--lpcm-packing takes pairs, quads or auto, not \"" + value + "\"";
                return false;
            }
            options.lpcmPacking = value == "pairs"   ? TLpcmPackingChoice::Pairs
                                  : value == "quads" ? TLpcmPackingChoice::Quads
                                                     : TLpcmPackingChoice::Auto;
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--track") {
            if (!TakeCount(args, i, arg, options.track, error))
                return false;
        } else if (arg == "--title") {
            if (!TakeCount(args, i, arg, options.title, error))
                return false;
        } else if (arg == "--chapters") {
            options.chapters = true;
            if (!TakeChapterRange(args, i, options, error))
                return false;
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
            options.rateGiven = true;
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
    if (options.dither && options.bits != 16) {
        error = msg::kDitherNeeds16;
        return false;
    }
    // One input, one -o: a file, or with --chapters the folder for that input's chapter files.
    if (!options.output.empty() && options.inputs.size() > 1) {
        error = "-o names one output, but " + std::to_string(options.inputs.size()) + " inputs were given";
        return false;
    }
    return true;
}
