#pragma once

#include <optional>
#include <string>

// Where a disc is, found from what the user named: a folder holding VIDEO_TS/, the VIDEO_TS folder itself,
// an IFO file inside it, or an image file of a DVD-Video disc. Decided by content, never by a name's ending.
struct TDiscLocation {
    std::string openPath;    // what libdvdread opens: the folder holding the IFO files, or the image
    std::string folderLabel; // a folder disc's name: the folder above VIDEO_TS (empty for an image)
    bool isImage = false;
};

// Nothing when the path is not a disc. Reads at most a few small pieces of a file, so it is cheap enough to
// ask about every input.
// `readFailed`, when given, is set when a file that was looked at could not be read; `lookFailed` when an
// image's directory could not be looked at (the child crashed or ran out of time), so that it is not known
// whether the image holds a disc.
std::optional<TDiscLocation> LocateDisc(const std::string& path, bool* readFailed = nullptr,
                                        bool* lookFailed = nullptr);

// Whether a file carries the marks of a disc, an IFO file's header or an image's volume descriptor, even
// when it is no readable DVD-Video disc: such a file is never taken for raw audio.
bool HasDiscSignature(const std::string& path, bool* readFailed = nullptr);

// An image file with an ISO 9660 volume but no UDF file system, which libdvdread (and DVD players) read.
bool IsImageWithoutUdf(const std::string& path);
