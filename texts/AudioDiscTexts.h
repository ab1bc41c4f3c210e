#pragma once

// The texts of DVD-Audio discs (AUDIO_TS folders and images), beside the DVD-Video ones in Messages.h.
#include <cstdio>
#include <string>

namespace msg {

inline constexpr const char* kNoAudioDisc =
    "No DVD-Audio disc here: no AUDIO_TS folder, AUDIO_TS.IFO or ATS_01_0.IFO file, or disc image with an "
    "AUDIO_TS folder.";
inline constexpr const char* kAudioDiscProtected = "This DVD-Audio disc is protected (CPPM): its audio packs "
                                                   "are scrambled. Oxlip does not decrypt; it reads "
                                                   "only unprotected discs and folders.";
inline constexpr const char* kBareAobFile = "This AOB file holds no DVD-Audio PCM or MLP audio.";
inline constexpr const char* kBareAobOneStream =
    "--track does not apply to an AOB file: its first audio stream converts, whole.";
inline constexpr const char* kAudioDiscReadFailed = "Could not read from the DVD-Audio disc.";
inline constexpr const char* kAudioDiscNoTitles = "This DVD-Audio disc has no titles.";
inline std::string AudioIfoUnreadable(const std::string& name) {
    return "The DVD-Audio information file " + name + " could not be read, and no backup (BUP) of it either.";
}
inline std::string AudioIfoDisagrees(const std::string& name) {
    return "The DVD-Audio information file " + name +
           " and its backup (BUP) differ; which one holds is not "
           "known.";
}
inline std::string AudioTitleSetMissing(int titleSet) {
    char name[16];
    std::snprintf(name, sizeof name, "ATS_%02d_0.IFO", titleSet % 100);
    return std::string("The disc's manager names title set ") + std::to_string(titleSet) + ", but " + name +
           " is missing.";
}

// Why one title cannot be read; the listing puts it after the title's number.
inline constexpr const char* kAudioTitleTables = "its track and cell tables do not hold together";
inline constexpr const char* kAudioTitleCellsOutside = "its audio lies outside the title set's AOB files";
inline constexpr const char* kAudioTitleNoAob = "its title set has no AOB files";
inline constexpr const char* kAudioTitleUnknownCoding = "its audio is neither PCM nor MLP";
inline constexpr const char* kAudioTitleMixedFormats = "its tracks differ in format";
inline constexpr const char* kAudioTitleMixedRates =
    "its two channel groups have different sampling rates, and how their samples interleave in the AOB files "
    "is not known";

// Reading a title's audio.
inline constexpr const char* kAudioNoSamples = "The title holds no DVD-Audio PCM or MLP audio.";
inline constexpr const char* kAudioFormatChanged =
    "The title's audio changes its format part of the way through; Oxlip converts one format per file.";
inline constexpr const char* kAudioPcmMixedRates =
    "The title's two channel groups have different sampling rates; how their samples interleave is not "
    "known, so Oxlip does not convert it.";
inline std::string AudioMlpFailed(const std::string& detail) {
    return "The MLP audio failed the decoder's checks (" + detail +
           "); it cannot be converted bit-exact, so nothing was converted from there on.";
}
inline std::string AudioMlpRefused(const std::string& detail) {
    return "libavcodec cannot decode this MLP audio (" + detail + ").";
}

} // namespace msg

// What --list says about a DVD-Audio disc.
namespace listing_text {

inline std::string AudioDisc(const std::string& label, size_t titles, bool hybrid) {
    return "DVD-Audio disc " + label + ": " + std::to_string(titles) + (titles == 1 ? " title" : " titles") +
           (hybrid ? "; a video side (VIDEO_TS) too" : "");
}
inline std::string AudioTitle(int number, const std::string& duration, size_t tracks,
                              const std::string& format) {
    return "Title " + std::to_string(number) + ": " + duration + ", " + std::to_string(tracks) +
           (tracks == 1 ? " track, " : " tracks, ") + format;
}
inline std::string UnconvertibleAudioTitle(int number, const std::string& reason, const std::string& format) {
    return "Title " + std::to_string(number) + ": not convertible (" + reason + ")" +
           (format.empty() ? "" : ", " + format);
}
inline std::string BareAob(const std::string& format, const std::string& length) {
    return "DVD-Audio AOB file: " + format + ", " + length;
}
inline constexpr const char* kBareAobNoAudio = "DVD-Audio AOB file: no PCM or MLP audio";
// MLP is not decoded for a listing: a long file would take too long.
inline constexpr const char* kBareAobLengthUnknown = "length known once converted";
inline std::string AudioTrack(int number, const std::string& start, const std::string& length) {
    return "  Track " + std::to_string(number) + ": start " + start + ", length " + length;
}

} // namespace listing_text
