#pragma once

// What --list says about an input: its kind, a disc's titles, chapters and audio streams, a program
// stream's tracks.
#include <cstddef>
#include <cstdint>
#include <string>

namespace listing_text {

inline std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
inline std::string Groups(int64_t groups) {
    return std::to_string(groups) + (groups == 1 ? " group" : " groups") + " of 4 samples";
}
inline std::string RawInput(int64_t groups) {
    return "raw 20-bit LPCM (big-endian), " + Groups(groups);
}
inline std::string SwappedWave(int64_t offset, int64_t groups) {
    return "WAVE file with swapped byte pairs, data at byte " + std::to_string(offset) + ", " +
           Groups(groups);
}
inline std::string ProgramStream(size_t tracks) {
    return "DVD program stream, " + Plural(tracks, "audio track", "audio tracks");
}
inline std::string Track(int number) {
    return "Track " + std::to_string(number) + ": ";
}

inline std::string Disc(const std::string& label, size_t titles) {
    return "Disc " + label + ": " + Plural(titles, "title", "titles");
}
inline std::string Title(int number, const std::string& duration, size_t chapters) {
    return "Title " + std::to_string(number) + ": " + duration + ", " +
           Plural(chapters, "chapter", "chapters");
}
inline std::string UnreadableTitle(int number, const std::string& reason) {
    return "Title " + std::to_string(number) + ": unreadable (" + reason + ")";
}
inline std::string Note(const std::string& note) {
    return "  Note: " + note;
}
inline std::string Chapter(int number, const std::string& start, const std::string& length) {
    return "  Chapter " + std::to_string(number) + ": start " + start + ", length " + length;
}
// printf formats of a program stream's track: codec name, why not convertible; bits, rate, channels, "s"
// or "" (the play time follows).
inline constexpr const char* kOtherTrack = "%s (%s)";
inline constexpr const char* kLpcmTrack = "LPCM %d bit, %d Hz, %d channel%s, ";
inline constexpr const char* kNoAudio = "  No audio";
// After an LPCM track or stream whose packets carry the pre-emphasis flag.
inline constexpr const char* kPreEmphasis = ", pre-emphasis";
// A disc title's note where its first LPCM stream changes format.
inline std::string FormatChangesInChapter(int chapter) {
    return "the audio format changes in chapter " + std::to_string(chapter) +
           "; a whole-title file stops there, chapter files keep each format";
}
// After an LPCM track's length where its format changes: the length is what converts.
inline constexpr const char* kFormatChangesAfter = ", then its format changes (the rest is not converted)";
inline std::string AudioLine(int number, const std::string& description) {
    return "  Audio " + std::to_string(number) + ": " + description;
}
// printf formats of a disc's audio stream: bits, rate, channels; codec name, channels, why not convertible.
inline constexpr const char* kLpcmAudio = "LPCM %d bit, %d Hz, %d ch";
inline constexpr const char* kReservedLpcmAudio = "%s, %d Hz, %d ch"; // the words, rate, channels
inline constexpr const char* kOtherAudio = "%s, %d ch, %s";

} // namespace listing_text
