#include "TestFiles.h"

#include "wave/WaveScanner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class WaveScanner : public ::testing::Test {
protected:
    // Scans `bytes` written to a file; `header` starts filled with 0xEE so that untouched fields show.
    int64_t Scan(const Bytes& bytes) {
        WriteFile(dir_.Path("in.wav"), bytes);
        return ScanFile(dir_.Path("in.wav"));
    }

    int64_t ScanFile(const std::string& path) {
        std::memset(&header_, 0xEE, sizeof header_);
        TMMIOFile file;
        file.SetFileName(path);
        file.SetModes(true, 0, 2);
        file.OpenExisting();
        file.SetBufferSize(32768);
        return FindWaveData(file, header_);
    }

    TempDir dir_;
    TWaveHeader header_{};
};

TEST_F(WaveScanner, DataOffsetAfterFormatChunksOfEachSize) {
    EXPECT_EQ(Scan(MakeWave(Bytes(100), 16)), 44);
    EXPECT_EQ(header_.FmtSize, 16u);
    EXPECT_EQ(header_.SamplesPerSec, 44100u);
    EXPECT_EQ(uint32_t{header_.DataSize}, 100u);

    EXPECT_EQ(Scan(MakeWave(Bytes(100), 18)), 46);
    EXPECT_EQ(header_.FmtSize, 16u) << "the stored size is capped at 16";
    EXPECT_EQ(header_.ExtraFormatBytes, 0xEEEE) << "the extra-format field is never read";

    // A 40-byte format chunk: 16 bytes read, 24 skipped.
    EXPECT_EQ(Scan(MakeWave(Bytes(100), 40)), 12 + 8 + 40 + 8);
    EXPECT_EQ(header_.BitsPerSample, 20);
}

TEST_F(WaveScanner, OddChunksAreSkippedWithTheirPadByte) {
    const Bytes list = Chunk("LIST", 25, 26);
    EXPECT_EQ(Scan(RiffStart() + Chunk("fmt ", 16, 16) + list + Chunk("data", 4, 4)), 12 + 24 + 34 + 8);

    // An odd format chunk is padded too.
    EXPECT_EQ(Scan(RiffStart() + Chunk("fmt ", 17, 18) + Chunk("data", 4, 4)), 12 + 8 + 18 + 8);

    // Data before (or without) a format chunk is accepted; the format fields keep what they held.
    EXPECT_EQ(Scan(RiffStart() + Chunk("data", 4, 4)), 20);
    EXPECT_EQ(header_.FmtId, 0xEEEEEEEEu);
}

TEST_F(WaveScanner, AnythingButAWaveWithDataIsRaw) {
    EXPECT_EQ(Scan({}), 0);
    EXPECT_EQ(Scan(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}), 0);
    Bytes notRiff = MakeWave(Bytes(10));
    notRiff[0] = 'X';
    EXPECT_EQ(Scan(notRiff), 0);
    Bytes avi = MakeWave(Bytes(10));
    std::memcpy(avi.data() + 8, "AVI ", 4);
    EXPECT_EQ(Scan(avi), 0);
    EXPECT_EQ(Scan(RiffStart()), 0);
    EXPECT_EQ(Scan(RiffStart() + Chunk("fmt ", 16, 16) + Chunk("LIST", 4, 4)), 0);
    // A format chunk cut short by the end of the file.
    EXPECT_EQ(Scan(RiffStart() + Chunk("fmt ", 16, 10)), 0);
    // A chunk that claims more than the file holds.
    EXPECT_EQ(Scan(RiffStart() + Chunk("LIST", 1000, 10) + Chunk("data", 4, 4)), 0);
}

TEST_F(WaveScanner, HugeSizesNeverMoveTheScanBackwards) {
    for (uint32_t size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu})
        EXPECT_EQ(Scan(RiffStart() + Chunk("JUNK", size, 8) + Chunk("data", 4, 4)), 0) << size;
    EXPECT_EQ(Scan(RiffStart() + Chunk("fmt ", 0xFFFFFFFFu, 16) + Chunk("data", 4, 4)), 0);
}

TEST_F(WaveScanner, DataHeaderAsTheLastBytesYieldsTheFileSize) {
    const Bytes file = RiffStart() + Chunk("fmt ", 16, 16) + Chunk("data", 1000, 0);
    EXPECT_EQ(Scan(file), static_cast<int64_t>(file.size()));
}

TEST_F(WaveScanner, DataBeyondTwoGibibytesInASparseFile) {
    // A 2 GiB chunk before the data: found with 64-bit positions, without writing gigabytes.
    const std::string path = dir_.Path("big.wav");
    const Bytes head = RiffStart() + Chunk("fmt ", 16, 16) + Chunk("JUNK", 0x80000000u, 0);
    WriteFile(path, head);
    const int64_t dataHeaderAt = static_cast<int64_t>(head.size()) + 0x80000000LL;
    const Bytes dataHeader = Chunk("data", 20, 20);
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, dataHeader.data(), dataHeader.size(), dataHeaderAt),
              static_cast<ssize_t>(dataHeader.size()));
    ::close(fd);
    EXPECT_EQ(ScanFile(path), dataHeaderAt + 8);
    EXPECT_EQ(uint32_t{header_.DataSize}, 20u);
}

} // namespace
