#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TReadOnlyFile;

// Where the files of a DVD-Audio disc's AUDIO_TS folder are: files of a folder, or runs of sectors in an
// image. An image's UDF file system is read by libudfread in a child process (see CallIsolated), which
// only names each file's sectors; this process checks them against the image and reads them itself.

struct TAudioTsExtent {
    int64_t offset = 0; // in the file at `path`
    int64_t bytes = 0;
};

struct TAudioTsFile {
    std::string name; // upper case, "ATS_01_1.AOB"
    std::string path; // the file itself, or the image
    int64_t size = 0;
    std::vector<TAudioTsExtent> extents; // together at least `size` bytes
};

class TAudioTsVolume {
public:
    // Nothing when `path` is no DVD-Audio disc: a folder holding AUDIO_TS/, the AUDIO_TS folder itself (or
    // a flat copy of one), an IFO or BUP file in it, or an image with an AUDIO_TS folder. The folder must
    // hold an AUDIO_TS.IFO or an ATS_nn_0.IFO (or its BUP) that says it is one. Decided by content, never
    // by a name's ending. `readFailed`, when given, is set when a file looked at could not be read.
    static std::shared_ptr<TAudioTsVolume> Locate(const std::string& path, bool* readFailed = nullptr);

    TAudioTsVolume(const TAudioTsVolume&) = delete;
    TAudioTsVolume& operator=(const TAudioTsVolume&) = delete;

    // The file of that upper-case name, nullptr when the disc has none.
    const TAudioTsFile* File(const std::string& name) const;
    // An image's volume label, or the name of the folder that holds AUDIO_TS.
    const std::string& Label() const { return label_; }
    bool IsImage() const { return isImage_; }
    // The image, or the folder that holds AUDIO_TS (and VIDEO_TS on a hybrid disc).
    const std::string& DiscRoot() const { return discRoot_; }
    // The disc has a VIDEO_TS.IFO beside AUDIO_TS (a hybrid disc), as far as this look tells.
    bool HasVideoTs() const { return hasVideoTs_; }

    // Reads exactly `count` bytes from `offset` of the file: false when they are not all there or a read
    // fails. Reads from one thread at a time.
    bool Read(const TAudioTsFile& file, int64_t offset, void* buffer, size_t count) const;

private:
    TAudioTsVolume() = default;
    const TReadOnlyFile* Opened(const std::string& path) const;

    std::map<std::string, TAudioTsFile> files_;
    std::string label_;
    std::string discRoot_;
    bool isImage_ = false;
    bool hasVideoTs_ = false;
    mutable std::map<std::string, std::shared_ptr<const TReadOnlyFile>> opened_;

    friend class TAudioTsVolumeBuilder;
};

// Whether a file name (upper case) is one of the AUDIO_TS files read here: AUDIO_TS.IFO or .BUP,
// ATS_nn_0.IFO or .BUP (nn 01 to 99), ATS_nn_k.AOB (k 1 to 9).
bool IsAudioTsFileName(const std::string& upperName);
