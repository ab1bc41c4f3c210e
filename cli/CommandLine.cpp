#include "CommandLine.h"

#include "run/NameProposal.h"
#include "run/RateText.h"
#include "texts/CliTexts.h"
#include "texts/Messages.h"

#include <algorithm>
#include <charconv>
#include <optional>

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
        error = cli_text::NeedsAValue(flag);
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
        error = cli_text::NeedsAValue(flag);
        return false;
    }
    value = args[++i];
    return true;
}

// NAME=VALUE with a name of printable ASCII other than '='; the value is any text after the first '='.
bool TakeTag(const std::vector<std::string>& args, size_t& i, ConvertOptions& options, std::string& error) {
    if (i + 1 >= args.size()) {
        error = cli_text::NeedsAValue("--tag");
        return false;
    }
    const std::string& tag = args[++i];
    const size_t equals = tag.find('=');
    const std::string name = tag.substr(0, equals);
    const bool nameOk = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return c >= 0x20 && c <= 0x7D && c != '=';
    });
    if (equals == std::string::npos || !nameOk) {
        error = msg::BadTag(tag);
        return false;
    }
    options.tags.emplace_back(name, tag.substr(equals + 1));
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, ConvertOptions& options, std::string& error) {
    bool optionsEnded = false;
    bool flacLevelGiven = false;
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
        } else if (arg == "--flac") {
            options.flac = true;
        } else if (arg == "--flac-level") {
            std::string value;
            if (i + 1 >= args.size()) {
                error = cli_text::NeedsAValue("--flac-level");
                return false;
            }
            value = args[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] > '8') {
                error = msg::BadFlacLevel(value);
                return false;
            }
            options.flacLevel = value[0] - '0';
            flacLevelGiven = true;
        } else if (arg == "--tag") {
            if (!TakeTag(args, i, options, error))
                return false;
        } else if (arg == "--lpcm-packing") {
            if (i + 1 >= args.size()) {
                error = cli_text::NeedsAValue("--lpcm-packing");
                return false;
            }
            const std::string& value = args[++i];
            if (value != "pairs" && value != "quads" && value != "auto") {
                error = cli_text::BadPacking(value);
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
                error = cli_text::BitsTake16Or24(value);
                return false;
            }
            options.bits = value == "16" ? 16 : 24;
        } else if (arg.rfind("-r", 0) == 0) {
            std::string value;
            if (!TakeValue(args, i, "-r", value, error))
                return false;
            const auto rate = ParseRateText(value);
            if (!rate) {
                error = cli_text::BadRate(value);
                return false;
            }
            options.sampleRate = *rate;
            options.rateGiven = true;
        } else if (arg.rfind("-o", 0) == 0) {
            if (!TakeValue(args, i, "-o", options.output, error))
                return false;
            if (options.output.empty()) {
                error = cli_text::kOutputNeedsName;
                return false;
            }
        } else {
            error = cli_text::UnknownOption(arg);
            return false;
        }
    }
    if (options.showHelp || options.showVersion)
        return true;
    if (options.inputs.empty()) {
        error = cli_text::kNoInputGiven;
        return false;
    }
    if (options.dither && options.bits != 16) {
        error = msg::kDitherNeeds16;
        return false;
    }
    // A FLAC output is named .flac, so that no file claims to be what it is not.
    if (!options.output.empty() && !options.chapters) {
        if (options.flac && !IsFlacName(options.output)) {
            error = msg::kFlacNeedsFlacName;
            return false;
        }
        options.flac = options.flac || IsFlacName(options.output);
    }
    if (!options.flac && (flacLevelGiven || !options.tags.empty())) {
        error = msg::kFlacOptionsOnly;
        return false;
    }
    // One input, one -o: a file, or with --chapters the folder for that input's chapter files.
    if (!options.output.empty() && options.inputs.size() > 1) {
        error = cli_text::OneOutputForMany(options.inputs.size());
        return false;
    }
    return true;
}
