#pragma once

// The window's own words beyond its messages: the choices it offers for a disc or a program stream.
#include <string>
#include <string_view>

namespace window_text {

inline constexpr const char* kDiscDialogCaption = "Titles and chapters";
inline constexpr const char* kTrackDialogCaption = "Audio tracks";
inline constexpr const char* kDiscLabel = "Disc: ";
inline constexpr const char* kTitles = "&Titles";
inline constexpr const char* kTitleColumn = "Title";
inline constexpr const char* kLengthColumn = "Length";
inline constexpr const char* kChaptersColumn = "Chapters";
// In the length column of a title that cannot be read.
inline std::string Unreadable(const std::string& reason) {
    return "unreadable (" + reason + ")";
}
inline constexpr const char* kAudioStreams = "&Audio";
inline constexpr const char* kTracks = "&Tracks";
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
    return name;
}
inline constexpr const char* kWritingCaption = "Oxlip \u2013 "; // followed by the file being written

} // namespace window_text
