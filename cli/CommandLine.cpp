#include "CommandLine.h"

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
bool TakeCount(const std::string& flag, const std::string& value, int& count, std::string& error) {
    const auto number = ParsePositive(value);
    if (!number) {
        error = msg::NotAPositiveNumber(flag, value);
        return false;
    }
    count = *number;
    return true;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A chapter range is "A", "A-B", "A-" (to the last) or "-B" (from the first): digits, maybe with one dash.
bool LooksLikeChapterRange(const std::string& text) {
    const size_t dash = text.find('-');
    if (dash == std::string::npos)
        return AllDigits(text);
    const std::string first = text.substr(0, dash), last = text.substr(dash + 1);
    return (first.empty() || AllDigits(first)) && (last.empty() || AllDigits(last)) &&
           !(first.empty() && last.empty());
}

bool TakeChapterRange(const std::string& range, ConvertOptions& options, std::string& error) {
    const size_t dash = range.find('-');
    const std::string firstText = range.substr(0, dash);
    const std::string lastText = dash == std::string::npos ? firstText : range.substr(dash + 1);
    const auto first = firstText.empty() ? std::optional<int>(0) : ParsePositive(firstText);
    const auto last = lastText.empty() ? std::optional<int>(0) : ParsePositive(lastText);
    if (!LooksLikeChapterRange(range) || !first || !last || (*first > 0 && *last > 0 && *first > *last)) {
        error = msg::BadChapterRange(range);
        return false;
    }
    options.selection.firstChapter = *first;
    options.selection.lastChapter = *last;
    return true;
}

// An option as given: its name, and the value given with it ("--title=2", "-b16"), if any.
struct TGivenOption {
    std::string name;
    std::optional<std::string> value;
};

TGivenOption SplitOption(const std::string& arg) {
    if (arg.rfind("--", 0) == 0) {
        const size_t equals = arg.find('=');
        if (equals == std::string::npos)
            return {arg, std::nullopt};
        return {arg.substr(0, equals), arg.substr(equals + 1)};
    }
    if (arg.size() > 2 && (arg[1] == 'b' || arg[1] == 'r' || arg[1] == 'o'))
        return {arg.substr(0, 2), arg.substr(2)};
    return {arg, std::nullopt};
}

bool TakesValue(const std::string& name) {
    for (const char* option : {"-b", "-r", "-o", "--flac-level", "--tag", "--lpcm-packing", "--track",
                               "--title", "--format", "--threads"})
        if (name == option)
            return true;
    return false;
}

bool IsFlag(const std::string& name) {
    for (const char* option : {"--help", "-h", "--version", "-y", "-q", "--rf64", "--extensible", "--dither",
                               "--flac", "--list", "--json", "--video-side", "--strict", "--no-gap-fill"})
        if (name == option)
            return true;
    return false;
}

// Whether `text` is well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates, nothing
// beyond U+10FFFF.
bool IsUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size())
            return false;
        uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// NAME=VALUE with a name of printable ASCII other than '='; the value is any UTF-8 text after the first
// '=', which every format's tags hold.
bool TakeTag(const std::string& tag, ConvertOptions& options, std::string& error) {
    const size_t equals = tag.find('=');
    const std::string name = tag.substr(0, equals);
    const bool nameOk = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return c >= 0x20 && c <= 0x7D && c != '=';
    });
    if (equals == std::string::npos || !nameOk || !IsUtf8(tag.substr(equals + 1))) {
        error = msg::BadTag(tag);
        return false;
    }
    options.tags.emplace_back(name, tag.substr(equals + 1));
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& args, ConvertOptions& options, std::string& error) {
    bool optionsEnded = false;
    std::string formatOption; // the option that chose the format
    const auto chooseFormat = [&](const std::string& option, const TOutputFormatRow* format) {
        if (options.format && options.format != format) {
            error = cli_text::FormatsDisagree(formatOption, option);
            return false;
        }
        options.format = format;
        formatOption = option;
        return true;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // Every option that takes a value takes it as the next argument or joined by '='.
        const auto [name, given] = SplitOption(arg);
        std::string value = given.value_or("");
        if (TakesValue(name) && !given) {
            if (i + 1 >= args.size()) {
                error = cli_text::NeedsAValue(name);
                return false;
            }
            value = args[++i];
        } else if (IsFlag(name) && given) {
            error = cli_text::TakesNoValue(name);
            return false;
        }
        if (name == "--help" || name == "-h") {
            options.showHelp = true;
        } else if (name == "--version") {
            options.showVersion = true;
        } else if (name == "-y") {
            options.assumeYes = true;
        } else if (name == "-q") {
            options.quiet = true;
        } else if (name == "--rf64") {
            options.rf64 = true;
        } else if (name == "--extensible") {
            options.extensible = true;
        } else if (name == "--dither") {
            options.dither = true;
        } else if (name == "--strict") {
            options.strict = true;
        } else if (name == "--no-gap-fill") {
            options.fillGaps = false;
        } else if (name == "--flac") {
            if (!chooseFormat(name, OutputFormatById("flac")))
                return false;
        } else if (name == "--format") {
            const TOutputFormatRow* format = OutputFormatById(value);
            if (!format) {
                error = cli_text::UnknownFormat(value);
                return false;
            }
            if (!chooseFormat(name + " " + value, format))
                return false;
        } else if (name == "--list") {
            options.list = true;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--video-side") {
            options.selection.videoSide = true;
        } else if (name == "--flac-level") {
            if (value.size() != 1 || value[0] < '0' || value[0] > '8') {
                error = msg::BadFlacLevel(value);
                return false;
            }
            options.flacLevel = value[0] - '0';
        } else if (name == "--tag") {
            if (!TakeTag(value, options, error))
                return false;
        } else if (name == "--lpcm-packing") {
            if (value != "pairs" && value != "quads" && value != "auto") {
                error = cli_text::BadPacking(value);
                return false;
            }
            options.lpcmPacking = value == "pairs"   ? TLpcmPackingChoice::Pairs
                                  : value == "quads" ? TLpcmPackingChoice::Quads
                                                     : TLpcmPackingChoice::Auto;
        } else if (name == "--track") {
            if (!TakeCount(name, value, options.selection.track, error))
                return false;
        } else if (name == "--threads") {
            if (!TakeCount(name, value, options.threads, error))
                return false;
        } else if (name == "--title") {
            if (!TakeCount(name, value, options.selection.title, error))
                return false;
        } else if (name == "--chapters") {
            // The range is optional: the next argument is taken for one only when it looks like one.
            options.selection.chapters = true;
            if (!given && i + 1 < args.size() && LooksLikeChapterRange(args[i + 1]))
                value = args[++i];
            else if (!given)
                continue;
            if (!TakeChapterRange(value, options, error))
                return false;
        } else if (name == "-b") {
            if (value != "16" && value != "24") {
                error = cli_text::BitsTake16Or24(value);
                return false;
            }
            options.bits = value == "16" ? 16 : 24;
        } else if (name == "-r") {
            const auto rate = ParseRateText(value);
            if (!rate) {
                error = cli_text::BadRate(value);
                return false;
            }
            options.sampleRate = *rate;
            options.rateGiven = true;
        } else if (name == "-o") {
            options.output = value;
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
    if (options.json && !options.list) {
        error = cli_text::kJsonNeedsList;
        return false;
    }
    if (options.dither && options.bits != 16) {
        error = msg::kDitherNeeds16;
        return false;
    }
    // An output is named for its format, so that no file claims to be what it is not; an -o name of a
    // format's extension asks for that format.
    if (!options.output.empty() && !options.selection.chapters) {
        const TOutputFormatRow* named = OutputFormatOfName(options.output);
        if (options.format && named != options.format &&
            !(named == nullptr && options.format == &DefaultOutputFormat())) {
            error = msg::FormatNeedsName(formatOption, options.format->name, options.format->extension);
            return false;
        }
        if (!options.format)
            options.format = named;
    }
    if (options.flacLevel >= 0 && options.format != OutputFormatById("flac")) {
        error = msg::kFlacOptionsOnly;
        return false;
    }
    // One input, one -o file; with --chapters -o names the folder for every disc's chapter files.
    if (!options.output.empty() && options.inputs.size() > 1 && !options.selection.chapters) {
        error = cli_text::OneOutputForMany(options.inputs.size());
        return false;
    }
    return true;
}
