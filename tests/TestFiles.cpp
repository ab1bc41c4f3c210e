#include "TestFiles.h"

#include <cstdio>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "oxlip-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(root_, ignored);
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

void MakeSparseFile(const std::string& path, int64_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::ftruncate(fd, size) != 0)
        throw std::runtime_error("cannot make sparse file " + path);
    ::close(fd);
}

void Append(Bytes& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void AppendU16(Bytes& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendU32(Bytes& bytes, uint32_t value) {
    AppendU16(bytes, static_cast<uint16_t>(value));
    AppendU16(bytes, static_cast<uint16_t>(value >> 16));
}

uint32_t U32At(const Bytes& bytes, size_t offset) {
    return static_cast<uint32_t>(bytes.at(offset)) | static_cast<uint32_t>(bytes.at(offset + 1)) << 8 |
           static_cast<uint32_t>(bytes.at(offset + 2)) << 16 |
           static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

uint16_t U16At(const Bytes& bytes, size_t offset) {
    return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

Bytes RiffStart() {
    Bytes bytes;
    Append(bytes, "RIFF");
    AppendU32(bytes, 0);
    Append(bytes, "WAVE");
    return bytes;
}

Bytes Chunk(const std::string& id, uint32_t declaredSize, size_t bodyBytes, uint8_t fill) {
    Bytes chunk;
    Append(chunk, id);
    AppendU32(chunk, declaredSize);
    chunk.resize(chunk.size() + bodyBytes, fill);
    return chunk;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes MakeWave(const Bytes& data, uint32_t fmtSize) {
    Bytes wave;
    Append(wave, "RIFF");
    AppendU32(wave, static_cast<uint32_t>(4 + 8 + fmtSize + 8 + data.size()));
    Append(wave, "WAVE");
    Append(wave, "fmt ");
    AppendU32(wave, fmtSize);
    Bytes format;
    AppendU16(format, 1);
    AppendU16(format, 2);
    AppendU32(format, 44100);
    AppendU32(format, 44100 * 5);
    AppendU16(format, 5);
    AppendU16(format, 20);
    format.resize(fmtSize, 0);
    wave.insert(wave.end(), format.begin(), format.end());
    Append(wave, "data");
    AppendU32(wave, static_cast<uint32_t>(data.size()));
    wave.insert(wave.end(), data.begin(), data.end());
    return wave;
}

Bytes RandomGroups(size_t groups, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(groups * 10);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

std::string ShellOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    if (pipe)
        ::pclose(pipe);
    return out;
}

std::vector<int32_t> DecodeWithFfmpeg(const std::string& inputArgs) {
    const std::string command = "ffmpeg -nostdin -v error " + inputArgs + " -f s32le -";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::vector<int32_t> samples;
    int32_t sample;
    while (pipe && std::fread(&sample, sizeof sample, 1, pipe) == 1)
        samples.push_back(sample);
    if (pipe)
        ::pclose(pipe);
    return samples;
}
