#pragma once

// The window's own words beyond its messages: the choices it offers for a disc or a program stream.
#include <string>
#include <string_view>

namespace window_text {

inline constexpr const char* kDiscDialogCaption = "Titles and chapters";
inline constexpr const char* kTrackDialogCaption = "Audio tracks";
inline constexpr const char* kDiscLabel = "Disc: ";
inline constexpr const char* kTitles = "&Titles";
inline constexpr const char* kSide = "&Side";
inline constexpr const char* kAudioSide = "DVD-Audio";
inline constexpr const char* kVideoSide = "DVD-Video";
inline constexpr const char* kTitleColumn = "Title";
inline constexpr const char* kLengthColumn = "Length";
inline constexpr const char* kChaptersColumn = "Chapters";
// In the length column of a title that cannot be read.
inline std::string Unreadable(const std::string& reason) {
    return "unreadable (" + reason + ")";
}
inline constexpr const char* kAudioStreams = "&Audio";
inline constexpr const char* kTracks = "&Tracks";
// In the order of TLpcmPackingChoice.
inline constexpr const char* kPacking = "Pac&king";
inline constexpr const char* kPackingAuto = "automatic";
inline constexpr const char* kPackingPairs = "pairs";
inline constexpr const char* kPackingQuads = "quads";
inline constexpr const char* kOneFilePerChapter = "One file per &chapter";
inline constexpr const char* kFromChapter = "&from";
inline constexpr const char* kToChapter = "t&o";
// The disc dialog's choice of an output format, by the format's id, with its mnemonic; a format without
// one here shows its name.
inline const char* FormatChoice(const char* id, const char* name) {
    const std::string_view given(id);
    if (given == "wav")
        return "&WAVE";
    if (given == "flac")
        return "F&LAC";
    if (given == "wv")
        return "Wav&Pack";
    return name;
}
inline constexpr const char* kCancel = "Cancel";

// The line beside "Output file" that says what of a disc or program stream is converted, e.g. "Title 3,
// audio 2, chapters 2–5, FLAC". A zero title, track or chapter and a null format are left out.
inline std::string ChoiceLine(int title, int track, int firstChapter, int lastChapter, const char* format) {
    std::string line;
    const auto add = [&line](const std::string& part) { line += (line.empty() ? "" : ", ") + part; };
    if (title > 0)
        add("Title " + std::to_string(title));
    if (track > 0)
        add((line.empty() ? "Audio " : "audio ") + std::to_string(track));
    if (firstChapter > 0 && firstChapter == lastChapter)
        add("chapter " + std::to_string(firstChapter));
    else if (firstChapter > 0)
        add("chapters " + std::to_string(firstChapter) + "\u2013" + std::to_string(lastChapter));
    if (format)
        add(format);
    return line;
}
inline constexpr const char* kSourceResolutionRaw = "24 bit (20 valid bits)";
// The output-format item that keeps a disc's or program stream's samples as they are.
inline std::string SourceResolution(int bits) {
    return std::to_string(bits) + " bit (source)";
}
inline constexpr const char* kWritingCaption = "Oxlip \u2013 "; // followed by the file being written

} // namespace window_text
