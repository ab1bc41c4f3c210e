#pragma once

// Every text the program shows to its user, in one place for the core, oxlip-convert, the window and the
// tests. Messages use "\r" for a line break; the hosts turn it into their own.
namespace msg {

// The file layer's messages for a failed open, a buffer and a flush.
inline constexpr const char* kPathNotFound = "Path not found - invalid location.";
inline constexpr const char* kAccessDenied = "Access denied - this file is protected.";
inline constexpr const char* kSharingViolation = "Sharing violation - file is in use.";
inline constexpr const char* kNetworkError = "Network error - request failed.";
inline constexpr const char* kTooManyOpenFiles = "Too many open files - no more handles.";
inline constexpr const char* kInvalidFile = "Invalid file - could not be opened.";
inline constexpr const char* kWriteFailed = "Could not write buffer to disk.";
inline constexpr const char* kBufferFailed = "Could not allocate new buffer size.";

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

// The window's save dialog, for a name in a folder that does not exist.
inline constexpr const char* kNoSuchFolder = "Path not found - the folder does not exist.";

// The window started where no display can be reached (no desktop session, or a stale DISPLAY).
inline constexpr const char* kNoDisplay =
    "Oxlip: no display found. Start it from a desktop session, over ssh -X, or without a screen as "
    "\"xvfb-run -a oxlip\"; to convert from a shell, use oxlip-convert.";

// The rate box and -r.
inline constexpr const char* kInvalidRate = "Invalid numeric format.";

} // namespace msg
