#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A fresh folder for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return (root_ / name).string(); }
    const std::filesystem::path& Root() const { return root_; }

private:
    std::filesystem::path root_;
};

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
bool Exists(const std::string& path);
int64_t FileSize(const std::string& path); // -1 when there is no such file
// A sparse file of `size` bytes: the size is real, the blocks are not.
void MakeSparseFile(const std::string& path, int64_t size);

// Little-endian pieces for building RIFF files in the tests.
void Append(Bytes& bytes, const std::string& text);
void AppendU16(Bytes& bytes, uint16_t value);
void AppendU32(Bytes& bytes, uint32_t value);
uint32_t U32At(const Bytes& bytes, size_t offset);
uint16_t U16At(const Bytes& bytes, size_t offset);

// RIFF pieces: the 12-byte file header (its size left 0), and a chunk whose body of `bodyBytes` bytes may
// differ from its declared size.
Bytes RiffStart();
Bytes Chunk(const std::string& id, uint32_t declaredSize, size_t bodyBytes, uint8_t fill = 0x5A);
Bytes operator+(Bytes a, const Bytes& b);

// A RIFF WAVE file: header, a format chunk of `fmtSize` bytes, then `data` as the data chunk.
Bytes MakeWave(const Bytes& data, uint32_t fmtSize = 16);

// FFmpeg's decode as 32-bit little-endian samples: `inputArgs` are what goes before the output, such as
// "-i 'x.vob' -map 0:a:0". Empty when FFmpeg cannot decode it.
std::vector<int32_t> DecodeWithFfmpeg(const std::string& inputArgs);
// What a shell command writes to standard output.
std::string ShellOutput(const std::string& command);

// `groups` deterministic pseudo-random 10-byte groups.
Bytes RandomGroups(size_t groups, uint32_t seed = 1);
