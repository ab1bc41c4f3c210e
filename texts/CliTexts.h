#pragma once

// oxlip-convert's own texts: its help and what it says about a command line it cannot take.
#include "texts/Messages.h"

#include <cstddef>
#include <string>

namespace cli_text {

inline constexpr const char* kUsage =
    "Usage: oxlip-convert [-b 16|24] [--dither] [--rf64] [--extensible] [--lpcm-packing P] [-r RATE] [-y] "
    "[-q]\n"
    "       [-o OUTPUT] INPUT...\n"
    "       oxlip-convert --list [--json] INPUT...\n"
    "       oxlip-convert [--title N] [--track N] [--chapters [A-B]] [-o OUTPUT] DISC...\n"
    "       oxlip-convert [--strict] [--no-gap-fill] VOB-OR-DISC...\n"
    "       oxlip-convert [--format wav|flac|wv] [--flac-level N] [--tag NAME=VALUE]... INPUT...\n"
    "Converts 20-bit LPCM (raw as demultiplexed, or a WAVE file whose byte pairs a ripping tool swapped)\n"
    "into a two-channel PCM WAVE file, or a FLAC file at the source's own resolution.\n"
    "\n"
    "  -b 16|24     output bits: 16 (reduced resolution) or 24 (20 valid bits); default 24\n"
    "  --dither     with -b 16: TPDF dither instead of dropping the low bits (the same file every run)\n"
    "  --rf64       no size limit: an output beyond 4 GiB becomes RF64 (no question about 16 bits)\n"
    "  --extensible with a raw or swapped WAVE input at 24 bits: WAVE_FORMAT_EXTENSIBLE (24-bit containers,\n"
    "               20 valid bits) instead of the plain 46-byte header, which flac and SoX misread\n"
    "  --lpcm-packing pairs|quads|auto  how 20- and 24-bit DVD LPCM of 1 or 3 to 8 channels is packed:\n"
    "               two sample times of all channels, or four samples at a time; default: auto, detected\n"
    "               from each track's start (pairs unless quads is clearly right)\n"
    "  --strict     a VOB or disc title whose audio is damaged or has gaps fails (exit status 1, no\n"
    "               output) instead of being concealed with silence\n"
    "  --no-gap-fill  missing audio in a VOB or disc title is left out, the audio on either side joined,\n"
    "               instead of filled with silence (the output no longer keeps the video's time)\n"
    "  -r RATE      sampling rate written to the header, decimal or hex ($BB80, 0xBB80); default 48000\n"
    "  -o OUTPUT    output file name (one input only); default: beside the input, its name with .wav\n"
    "               (_new.wav for a .wav input); for a disc, or a file in a disc's folder, in the\n"
    "               current folder\n"
    "  --list       describe each input (its kind, its titles and audio tracks); convert nothing\n"
    "  --json       with --list: one JSON object per input, each on a line of its own\n"
    "  --title N    the disc's title N (as --list numbers them); default: the longest with LPCM audio\n"
    "  --track N    the N-th LPCM track of a program stream, or a disc's audio stream N; default: the first\n"
    "  --chapters [A-B]  one output per chapter (a DVD-Audio title: per track) of the title, or of chapters "
    "A\n"
    "               to B (A alone, A- to\n"
    "               the last, -B from the first); -o then names an existing folder for them, for\n"
    "               every disc given\n"
    "  --format F   the output format: wav (WAVE), flac (FLAC), wv (WavPack), FLAC and WavPack at the\n"
    "               source's resolution; also\n"
    "               chosen by an -o name's ending; default names end in the format's extension\n"
    "  --flac       the same as --format flac\n"
    "  --video-side a disc with both DVD-Audio and DVD-Video: its video side (default: the audio side)\n"
    "  --flac-level N  FLAC compression level 0 to 8; default 5\n"
    "  --threads N  FLAC encoder threads; default: one per core (the file is the same for any N)\n"
    "  --tag NAME=VALUE  a tag for every output (repeatable), replacing an automatic one of its name:\n"
    "               a Vorbis comment in FLAC; in WAVE (not the plain 46-byte file of a raw input without\n"
    "               --rf64) TITLE, ALBUM, ARTIST, DATE, GENRE, COMMENT, TRACKNUMBER and ENCODER only\n"
    "  -y           answer Yes to every question (overwrite an existing output, fall back to 16 bits)\n"
    "  -q           no progress display\n"
    "  --help       show this help\n"
    "  --version    show the version\n"
    "\n"
    "An option's value may also be joined to it with '=' (--title=2, --chapters=3-).\n"
    "\n"
    "Exit status: 0 when every input was converted, 1 when any failed, 2 for a usage error,\n"
    "128 + the signal's number when ended by a signal (130 for Ctrl-C; the incomplete output is deleted).\n";

inline std::string NeedsAValue(const std::string& flag) {
    return "option " + flag + " needs a value";
}
inline std::string TakesNoValue(const std::string& flag) {
    return "option " + flag + " takes no value";
}
inline std::string BitsTake16Or24(const std::string& value) {
    return "-b takes 16 or 24, not \"" + value + "\"";
}
inline std::string BadRate(const std::string& value) {
    return "-r \"" + value + "\": " + msg::kInvalidRate;
}
inline std::string BadPacking(const std::string& value) {
    return "--lpcm-packing takes pairs, quads or auto, not \"" + value + "\"";
}
inline constexpr const char* kOutputNeedsName = "-o needs a file name";
inline std::string UnknownOption(const std::string& option) {
    return "unknown option " + option;
}
inline std::string UnknownFormat(const std::string& value) {
    return "--format takes wav, flac or wv, not \"" + value + "\"";
}
inline std::string FormatsDisagree(const std::string& first, const std::string& second) {
    return first + " and " + second + " ask for different formats";
}
inline constexpr const char* kJsonNeedsList = "--json goes with --list";
inline constexpr const char* kNoInputGiven = "no input file given";
inline std::string OneOutputForMany(size_t inputs) {
    return "-o names one output, but " + std::to_string(inputs) + " inputs were given";
}
// After a question: the answer -y gave, or the prompt for one.
inline constexpr const char* kAssumedYes = " yes (-y)";
inline constexpr const char* kYesNo = " [y/N] ";
inline constexpr const char* kTryHelp = "Try 'oxlip-convert --help' for more information.";

} // namespace cli_text
