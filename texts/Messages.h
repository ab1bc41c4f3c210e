#pragma once

// Every text the program shows to its user, in one place for the core, oxlip-convert, the window and the
// tests. Messages use "\r" for a line break; the hosts turn it into their own.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace msg {

// The file layer's messages for a failed open, a buffer and a flush.
inline constexpr const char* kPathNotFound = "Path not found - invalid location.";
inline constexpr const char* kAccessDenied = "Access denied - this file is protected.";
// A new file in a folder that refuses it.
inline constexpr const char* kFolderNotWritable = "Access denied - the folder cannot be written to.";
inline constexpr const char* kSharingViolation = "Sharing violation - file is in use.";
inline constexpr const char* kNetworkError = "Network error - request failed.";
inline constexpr const char* kTooManyOpenFiles = "Too many open files - no more handles.";
inline constexpr const char* kInvalidFile = "Invalid file - could not be opened.";
inline constexpr const char* kWriteFailed = "Could not write buffer to disk.";
inline constexpr const char* kBufferFailed = "Could not allocate new buffer size.";
// Deleting an output found another file under its name.
inline constexpr const char* kOutputReplaced =
    "The output file was replaced by another file during the conversion; the other file was left alone.";

// The conversion run.
inline constexpr const char* kSameName = "Output = input file name";
inline constexpr const char* kNoInput = "Input file does not exist";
inline constexpr const char* kOverwrite = "Output file exists - Overwrite?";
inline constexpr const char* kCannotOpenInput = "Unable to open input file";
inline constexpr const char* kCannotCreateOutput = "Unable to create output file";
inline constexpr const char* kFallbackTo16 = "Too many samples to be handled in a\rRIFF WAVE file at 24 bit "
                                             "resolution;\rOkay to reduce resolution down to\r16 bits and "
                                             "proceed?";
inline constexpr const char* kTooManyFor16 = "Too many samples to be handled in a\rRIFF WAVE file.";
inline constexpr const char* kReadFailed = "Could not read from input file.";
inline constexpr const char* kStopQuestion =
    "You stopped the conversion.\r\rPress \"Abort\" to abort the conversion and delete the output "
    "file.\rPress \"Retry\" to resume the conversion.\rPress \"Ignore\" to stop the conversion but leave "
    "the output file.";

// Notes on a run that went on.
inline constexpr const char* kInputShrank =
    "The input file became shorter during the conversion; the output holds what it still had.";

// oxlip-convert.
inline constexpr const char* kOutputIsAnInput =
    "Not converted: its output is another input of this command: ";
// An output that an earlier input of the same command writes: the earlier input converts.
inline std::string OutputOfEarlierInput(const std::string& output, const std::string& input) {
    return "Not converted: its output " + output + " is written by an earlier input of this command, " +
           input + ".";
}
inline constexpr const char* kRateNotPositive =
    "warning: a sampling rate of 0 or below gives a file that most players refuse.";
inline constexpr const char* kDiscOptionsOnly =
    "--title and --chapters apply to DVD discs only (a disc folder, its VIDEO_TS folder, an IFO file or an "
    "image).";
inline constexpr const char* kTrackOptionOnly = "--track applies to DVD program streams and discs only.";
inline constexpr const char* kNoTerminal = "Answered No: there is no terminal to ask. Give -y to answer Yes.";

// oxlip-convert's usage errors.
inline constexpr const char* kDitherNeeds16 =
    "--dither needs -b 16: dither is for reducing the samples to 16 bits.";

// `option` was given `value`, which is no whole number of 1 or more.
inline std::string NotAPositiveNumber(const std::string& option, const std::string& value) {
    return option + " takes a whole number of 1 or more, not \"" + value + "\"";
}

// oxlip-convert's format options.
inline std::string BadTag(const std::string& tag) {
    return "--tag \"" + tag +
           "\": a tag is NAME=VALUE, its name ASCII letters, digits or signs other than =, its value UTF-8 "
           "text";
}
inline std::string BadFlacLevel(const std::string& level) {
    return "--flac-level takes 0 to 8, not \"" + level + "\"";
}
// `option` (--flac, --format NAME) asked for a format whose files end in `extension`.
inline std::string FormatNeedsName(const std::string& option, const std::string& format,
                                   const std::string& extension) {
    return option + " writes " + format + ": the -o name must end in " + extension;
}
inline constexpr const char* kFlacOptionsOnly = "--flac-level is for FLAC outputs (--flac or -o NAME.flac)";
// A user's tag that the output's format has no field for.
inline std::string TagLeftOut(const std::string& tag, const std::string& format) {
    return "This " + format + " file has no field for the tag " + tag + "; it was left out.";
}

// --chapters with a range that selects nothing.
inline std::string BadChapterRange(const std::string& range) {
    return "--chapters " + range + ": chapters count from 1, and the first may not come after the last";
}

// The window's save dialog, for a name in a folder that does not exist.
inline constexpr const char* kNoSuchFolder = "Path not found - the folder does not exist.";

// The window started where no display can be reached (no desktop session, or a stale DISPLAY).
inline constexpr const char* kNoDisplay =
    "Oxlip: no display found. Start it from a desktop session, over ssh -X, or without a screen as "
    "\"xvfb-run -a oxlip\"; to convert from a shell, use oxlip-convert.";

// The rate box and -r.
inline constexpr const char* kInvalidRate = "Invalid numeric format.";

// Disc folders and images.
inline constexpr const char* kNoDisc = "No DVD-Video disc here: no VIDEO_TS folder, IFO file or disc image "
                                       "with a VIDEO_TS.IFO.";
inline constexpr const char* kDiscUnreadable = "The disc's information files (IFO) could not be read.";
inline constexpr const char* kDiscEncrypted = "This disc is encrypted (CSS). Oxlip reads only unencrypted "
                                              "discs and folders.";
inline constexpr const char* kDiscReadFailed = "Could not read from the disc.";
inline constexpr const char* kImageWithoutUdf =
    "This disc image has no UDF file system, which DVD players need too (it was made without the DVD-Video "
    "layout, as genisoimage makes it with -dvd-video).";
// A file whose name says what it should hold but whose content is no such thing.
inline constexpr const char* kNoDiscImage = "This file is no DVD-Video disc image.";
inline constexpr const char* kNoIfoFile = "This file is no DVD-Video information file (IFO).";
inline constexpr const char* kNoProgramStream = "This file is no DVD program stream (VOB or MPEG).";

// Program streams (DVD video files).
inline constexpr const char* kPreEmphasis =
    "The audio carries pre-emphasis; it was converted as it is, without de-emphasis.";
inline constexpr const char* kQuadsDetected =
    "The audio's 20- or 24-bit samples are packed four at a time (as FFmpeg writes them), not in pairs of "
    "sample times; they were read so.";
// The name of a layout of DVD LPCM channels, as FFmpeg orders them (see DvdChannelMask).
inline std::string ChannelLayoutName(int channels) {
    static const char* const kNames[] = {"mono", "stereo", "2.1", "4.0", "5.0", "5.1", "6.1", "7.1"};
    return channels >= 1 && channels <= 8 ? kNames[channels - 1] : std::to_string(channels) + "-channel";
}
// A 20- or 24-bit track whose start never told its packing.
inline std::string PackingUnknown(int channels) {
    return "Could not tell how this " + ChannelLayoutName(channels) +
           " audio is packed; wrote it as pairs. If it sounds like noise, use --lpcm-packing quads.";
}
// After a track in a listing, where its layout can be packed either way.
inline constexpr const char* kListQuads = ", packed in quads (four samples at a time)";
inline constexpr const char* kListPairs = ", packed in pairs of sample times";
inline constexpr const char* kRateFromStream =
    "The sampling rate of a program stream comes from the stream; -r does not apply.";
inline constexpr const char* kNotConvertible = "not convertible";
// An LPCM stream whose IFO gives the reserved quantisation code.
inline constexpr const char* kReservedLpcm = "LPCM, reserved format (not convertible)";

// "Skipped 333 bytes of damaged stream."
inline std::string SkippedDamaged(int64_t bytes) {
    return "Skipped " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") + " of damaged stream.";
}

// The format of the converted track changed at `time` (as "h:mm:ss.s"): the output keeps what came before.
inline std::string FormatChanged(const std::string& time) {
    return "The audio format of the track changes at " + time + "; the output holds the audio before it.";
}
// The same in a disc's title, which says in which chapter: nothing of it from there on was converted.
inline std::string FormatChangedInChapter(const std::string& time, int chapter) {
    return "The audio format of the title changes at " + time + ", in chapter " + std::to_string(chapter) +
           "; what comes before it was converted, and nothing from there on.";
}

// A track's format as its note says it: "96000 Hz, 24 bit, 2 channels".
inline std::string AudioFormatText(int rate, int bits, int channels) {
    return std::to_string(rate) + " Hz, " + std::to_string(bits) + " bit, " + std::to_string(channels) +
           (channels == 1 ? " channel" : " channels");
}
// The title's audio format changes where chapter `chapter` begins: its file and those after it take it.
inline std::string FormatFromChapter(int chapter, const std::string& format) {
    return "From chapter " + std::to_string(chapter) + " on, the audio is " + format +
           "; its chapter files keep that format.";
}

// A program stream without an LPCM track; `tracks` names the ones it has ("AC-3, DTS"), or is empty.
inline std::string NoLpcmTrack(const std::string& tracks) {
    return tracks.empty() ? "This program stream has no audio track."
                          : "This program stream has no LPCM audio track, only: " + tracks + ".";
}

// A place in the audio as "m:ss.cc" (hours before when there are any), for the notes about breaks.
inline std::string BreakTime(double seconds) {
    const auto hundredths = static_cast<long long>(seconds * 100 + 0.5);
    const long long whole = hundredths / 100;
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60, hundredths % 100);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", whole / 60, whole % 60, hundredths % 100);
    return text;
}

inline std::string BreakSeconds(double seconds) {
    char text[32];
    // A lost pack is a few milliseconds.
    std::snprintf(text, sizeof text, seconds < 0.1 ? "%.3f s" : "%.2f s", seconds);
    return text;
}

// One place where a track's audio did not follow on, `at` as BreakTime: silence put where audio was lost
// (`missing`: the time stamps say so) or broken, audio missing and left out, audio come again and left
// out, or a jump of the stream's clock at which the audio was joined.
inline std::string AudioFilled(const std::string& at, double seconds, bool missing) {
    return at + ": " + BreakSeconds(seconds) +
           (missing ? " of audio missing, filled with silence." : " of damaged audio replaced by silence.");
}
inline std::string AudioJoined(const std::string& at, double seconds) {
    return at + ": " + BreakSeconds(seconds) + " of audio missing; the audio on either side was joined.";
}
inline std::string AudioRepeated(const std::string& at, double seconds) {
    return at + ": " + BreakSeconds(seconds) + " of audio that came again was left out.";
}
inline std::string ClockJump(const std::string& at, double seconds) {
    return at + ": the stream's time jumps " + (seconds < 0 ? "back" : "ahead") + " by " +
           BreakSeconds(seconds < 0 ? -seconds : seconds) + "; the audio on either side was joined.";
}
// The count of such places at the end of a run.
inline std::string AudioBreaks(int count) {
    return "The audio did not follow on at " + std::to_string(count) + (count == 1 ? " place" : " places") +
           "; the output plays through " + (count == 1 ? "it." : "them.");
}
// A run that allows no break ends at the first, `at` as BreakTime.
inline std::string AudioBroken(const std::string& at) {
    return "The audio is damaged or incomplete at " + at + "; no output was kept.";
}

// A stream cut into chapters that ends before the last `count` of them begin.
inline std::string PartsWithoutAudio(int count) {
    return "The audio ends before the last " + std::to_string(count) +
           (count == 1 ? " chapter begins; no file was written for it."
                       : " chapters begin; no files were written for them.");
}

// A chapter whose audio is longer (difference > 0) or shorter than its video by `seconds`: its file
// follows the audio. To the millisecond; empty, so nothing to say, for less than half of one.
inline std::string ChapterAudioLength(int chapter, double seconds) {
    const long long ms = std::llround((seconds < 0 ? -seconds : seconds) * 1000);
    if (ms == 0)
        return {};
    char amount[32];
    std::snprintf(amount, sizeof amount, "%lld.%03lld", ms / 1000, ms % 1000);
    std::string text = amount;
    // 0.52, not 0.520; 1, not 1.000.
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return "Chapter " + std::to_string(chapter) + ": its audio is " + text + " s " +
           (seconds < 0 ? "shorter" : "longer") + " than its video.";
}

// --track N beyond the LPCM tracks there are.
inline std::string NoSuchTrack(int track, int lpcmTracks) {
    return "There is no LPCM track " + std::to_string(track) + "; this program stream has " +
           std::to_string(lpcmTracks) + ".";
}

// Choosing from a disc.
inline constexpr const char* kOutputIsPartOfDisc =
    "The output would overwrite a file of the disc that is being read; choose another output.";
inline std::string NoSuchTitle(int title, int titles) {
    return "There is no title " + std::to_string(title) + " on this disc; it has " + std::to_string(titles) +
           (titles == 1 ? " title." : " titles.");
}
inline std::string NoSuchAudioStream(int track, int title) {
    return "Title " + std::to_string(title) + " has no audio stream " + std::to_string(track) + ".";
}
inline std::string AudioNotConvertible(int track, const std::string& coding) {
    return "Audio stream " + std::to_string(track) + " is " + coding +
           ", which Oxlip does not convert: only LPCM is taken over bit for bit.";
}
inline std::string TitleWithoutLpcm(int title, const std::string& codings) {
    return "Title " + std::to_string(title) + " has no LPCM audio" +
           (codings.empty() ? std::string(".") : ", only: " + codings + ".");
}
// --chapters first-last reaching beyond a title's `chapters`: names the ones missing (first-last, or the
// part beyond the last chapter; `last` may fall before `first` when it defaulted to the last chapter).
inline std::string NoSuchChapters(int first, int last, int title, int chapters) {
    const int missingFirst = std::max(first, chapters + 1);
    const int missingLast = std::max(last, missingFirst);
    const std::string has = chapters == 0   ? "no chapters"
                            : chapters == 1 ? "1 chapter"
                                            : std::to_string(chapters) + " chapters";
    return "Title " + std::to_string(title) + " has " + has + "; " +
           (missingFirst == missingLast ? "there is no chapter " + std::to_string(missingFirst)
                                        : "there are no chapters " + std::to_string(missingFirst) + "-" +
                                              std::to_string(missingLast)) +
           ".";
}

// Why a title cannot be read, naming the file of its title set `set` that is at fault.
inline std::string TitleSetFile(int set, const std::string& ending) {
    const int n = (set % 100 + 100) % 100;
    return std::string("VTS_") + static_cast<char>('0' + n / 10) + static_cast<char>('0' + n % 10) + "_" +
           ending;
}
inline std::string IfoMissing(int set) {
    return TitleSetFile(set, "0.IFO") + " and its backup " + TitleSetFile(set, "0.BUP") + " are missing";
}
inline std::string IfoUnreadable(int set) {
    return TitleSetFile(set, "0.IFO") + " and its backup " + TitleSetFile(set, "0.BUP") +
           " could not be read";
}
inline std::string VobMissing(int set) {
    return TitleSetFile(set, "1.VOB") + " is missing";
}
inline std::string VobUnreadable(int set) {
    return TitleSetFile(set, "1.VOB") + " could not be read";
}
inline std::string OnlyEmptyCells(int set) {
    return TitleSetFile(set, "0.IFO") + " gives it only empty cells";
}
inline std::string ImpossiblePlayingTime(int set) {
    return TitleSetFile(set, "0.IFO") + " gives it a playing time of 100 hours or more";
}
inline std::string TitleUnreadable(int title, const std::string& reason) {
    return "Title " + std::to_string(title) + " cannot be read: " + reason + ".";
}
// Without a title chosen, a title that cannot be read might be the longest.
inline std::string LongestTitleUnknown(int title, const std::string& reason) {
    return "Title " + std::to_string(title) + " cannot be read (" + reason +
           "), so which title is the longest is not known. Choose the title to convert.";
}
// Without a title chosen, a title whose cells were cut at the end of its VOB files might be the longest.
inline std::string LongestTitleCutShort(int title) {
    return "Title " + std::to_string(title) +
           " ends early, where its VOB files end, so which title is the longest is not known. Choose the "
           "title to convert.";
}
// A title whose cells reach past the end of its last VOB file, VTS_nn_`parts`.VOB.
inline std::string CutAtVobEnd(int title, int set, int parts) {
    return "Title " + std::to_string(title) + ": its cells reach past the end of " +
           TitleSetFile(set, std::to_string(parts % 10) + ".VOB") + "; the audio ends there.";
}
inline std::string EmptyChaptersDropped(int title, int count) {
    return "Title " + std::to_string(title) + ": " + std::to_string(count) +
           (count == 1 ? " chapter that would be empty (it starts where another one does) was left out"
                       : " chapters that would be empty (they start where others do) were left out") +
           "; the others are numbered on.";
}

// The chapters' output folder: `exists` when there is something of that name, but no folder.
inline std::string NoSuchFolder(const std::string& folder, bool exists) {
    return "The chapter files go into a folder, and \"" + folder +
           (exists ? "\" is no folder." : "\" does not exist.");
}

} // namespace msg
