#include "ChildProcess.h"
#include "SysCallSpy.h"
#include "TestFiles.h"

#include "mmio/MMIOCodes.h"
#include "mmio/MMIOCursor.h"
#include "mmio/MMIOFile.h"

#include "texts/Messages.h"
#include "wave/WaveOpeners.h"
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* kSharing = msg::kSharingViolation;

std::unique_ptr<TMMIOFile> Open(const std::string& path, uint8_t access, uint8_t share, bool create = false) {
    auto file = std::make_unique<TMMIOFile>();
    file->SetFileName(path);
    file->SetModes(true, access, share);
    if (create)
        file->CreateNew();
    else
        file->OpenExisting();
    return file;
}

// Writes `content` in pieces of every awkward size, so that writes straddle the buffer's end; `after` is
// called with the bytes written so far after each piece.
void WriteInPieces(TMMIOFile& out, const Bytes& content, const std::function<void(size_t)>& after = {}) {
    size_t at = 0;
    for (int32_t piece = 1; at < content.size(); piece = piece % 37 + 1) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(piece, content.size() - at));
        ASSERT_EQ(out.Write(content.data() + at, n), n);
        at += static_cast<size_t>(n);
        if (after)
            after(at);
    }
}

// The message an open raises, or "" when it raises nothing.
std::string OpenError(const std::string& path, uint8_t access, uint8_t share, bool create = false) {
    try {
        Open(path, access, share, create);
    } catch (const EMMIOError& error) {
        return error.what();
    }
    return "";
}

// In a child: as root, become the unprivileged user 65534 (whose opens then obey the file's mode bits).
bool BecomeNobody() {
    return ::geteuid() != 0 ||
           (::setresgid(65534, 65534, 65534) == 0 && ::setresuid(65534, 65534, 65534) == 0);
}

class MMIOFile : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(MMIOFile, ModesAndOpenFlags) {
    TMMIOFile fresh;
    EXPECT_FALSE(fresh.Opened());
    EXPECT_EQ(fresh.AccessMode(), 0);
    EXPECT_EQ(fresh.ShareMode(), 0);
    EXPECT_FALSE(fresh.Buffered());

    // A name alone means read and write, exclusive, buffered.
    TMMIOFile file;
    file.SetFileName(dir_.Path("new.bin"));
    file.CreateNew();
    EXPECT_TRUE(file.Opened());
    EXPECT_EQ(file.OpenFlags(), mmio::kCreate | mmio::kAllocBuf | mmio::kReadWrite | mmio::kExclusive);
    file.Close();

    auto reader = Open(dir_.Path("new.bin"), 0, 2);
    EXPECT_EQ(reader->OpenFlags(), mmio::kAllocBuf | mmio::kRead | mmio::kDenyWrite);
}

TEST_F(MMIOFile, OpenErrorsAndTheirMessages) {
    EXPECT_EQ(OpenError(dir_.Path("no/such/dir/x.wav"), 1, 2, true), msg::kPathNotFound);
    EXPECT_EQ(OpenError(dir_.Path("no/such/dir/x.raw"), 0, 2), msg::kPathNotFound);
    EXPECT_EQ(OpenError(dir_.Root().string(), 0, 2), msg::kInvalidFile);
    EXPECT_EQ(OpenError(dir_.Root().string(), 1, 2, true), msg::kInvalidFile);
    EXPECT_EQ(OpenError("/dev/zero", 0, 2), msg::kInvalidFile);
    ASSERT_EQ(::mkfifo(dir_.Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(OpenError(dir_.Path("fifo"), 0, 2), msg::kInvalidFile) << "and no hang";
    EXPECT_EQ(OpenError(dir_.Path("fifo"), 1, 2, true), msg::kInvalidFile);

    // A missing file in an existing folder is not one of the messages: the object stays unopened.
    auto missing = Open(dir_.Path("missing.raw"), 0, 2);
    EXPECT_FALSE(missing->Opened());
    char byte;
    EXPECT_EQ(missing->Read(&byte, 1), -1);
    EXPECT_EQ(missing->Write(&byte, 1), -1);
    EXPECT_EQ(missing->SeekToEnd(), -1);
    EXPECT_EQ(missing->Position(), -1);
}

TEST_F(MMIOFile, AccessDeniedForAnotherUser) {
    const std::string path = dir_.Path("private.raw");
    WriteFile(path, Bytes(10));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_EQ(::chmod(dir_.Root().c_str(), 0755), 0);
    const int status = RunInChild([&] {
        if (::geteuid() == 0 && ::setresuid(65534, 65534, 65534) != 0)
            return 9;
        return OpenError(path, 0, 2) == "Access denied - this file is protected." ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(MMIOFile, ShareModesBetweenOpensOfThisProcess) {
    const std::string path = dir_.Path("in.raw");
    WriteFile(path, Bytes{1, 2, 3});
    {
        auto input = Open(path, 0, 2); // read, deny write
        EXPECT_EQ(OpenError(path, 0, 2), "") << "two readers that deny writing";
        EXPECT_EQ(OpenError(path, 1, 4), kSharing) << "a writer while the input denies writing";
        EXPECT_EQ(OpenError(path, 2, 4), kSharing);
        EXPECT_EQ(OpenError(path, 0, 1), kSharing) << "exclusive while somebody reads";
    }
    {
        auto writer = Open(path, 1, 4); // write, deny none
        EXPECT_EQ(OpenError(path, 0, 2), kSharing) << "deny write while somebody writes";
        EXPECT_EQ(OpenError(path, 0, 0), "") << "compatibility mode denies nothing";
        EXPECT_EQ(OpenError(path, 1, 4), "");
    }
    auto exclusive = Open(path, 2, 1);
    EXPECT_EQ(OpenError(path, 0, 4), kSharing);
    exclusive->Close();
    EXPECT_EQ(OpenError(path, 0, 4), "") << "closing releases the share";
}

TEST_F(MMIOFile, ShareModesAcrossProcesses) {
    const std::string path = dir_.Path("in.raw");
    const Bytes content = RandomGroups(100);
    WriteFile(path, content);

    // Another process writes the file: opening it as input is refused.
    Signal opened, done;
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto writer = Open(path, 1, 4);
        opened.Raise();
        done.Wait();
        ::_exit(0);
    }
    ASSERT_TRUE(opened.Wait());
    EXPECT_EQ(OpenError(path, 0, 2), kSharing);
    done.Raise();
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(OpenError(path, 0, 2), "") << "the writer is gone";

    // This process holds the input: another process cannot create over it, and the input is unchanged.
    auto input = Open(path, 0, 2);
    EXPECT_EQ(RunInChild([&] { return OpenError(path, 1, 2, true) == kSharing ? 0 : 1; }), 0);
    EXPECT_EQ(ReadFile(path), content);
}

TEST_F(MMIOFile, WriteOnlyOpensTakePartInShareModes) {
    // Files that may be written but not read are opened write-only. Each open is a process of its own, so
    // that only the locks tell one about the other: a run's input that others may write (as root, where
    // another user can be had), and an output that its writers may not read.
    ASSERT_EQ(::chmod(dir_.Root().c_str(), 0755), 0);
    const Bytes content = RandomGroups(50);
    const std::string input = dir_.Path("take.raw"), output = dir_.Path("take.wav");
    WriteFile(input, content);
    WriteFile(output, content);
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(::chmod(input.c_str(), 0602) == 0 && ::chmod(output.c_str(), 0200) == 0 &&
                (!root || ::chown(output.c_str(), 65534, 65534) == 0));
    struct Case {
        std::string path;
        uint8_t firstAccess, firstShare, secondShare;
        std::string expected;
    };
    for (const Case& c :
         {Case{input, 0, 2, 2, kSharing}, Case{output, 1, 2, 2, kSharing}, Case{output, 1, 4, 4, ""}}) {
        if (c.path == input && !root)
            continue;
        SCOPED_TRACE(c.path + " held with share mode " + std::to_string(c.firstShare));
        Signal opened, done;
        const pid_t first = ::fork();
        if (first == 0) {
            std::unique_ptr<TMMIOFile> holder;
            try { // a holder that fails lets the second open through, and the test says so
                if (c.firstAccess == 0 || BecomeNobody())
                    holder = Open(c.path, c.firstAccess, c.firstShare, c.firstAccess != 0);
            } catch (const EMMIOError&) {
            }
            opened.Raise();
            done.Wait();
            ::_exit(0);
        }
        ASSERT_TRUE(opened.Wait());
        const auto second = [&] { return BecomeNobody() ? OpenError(c.path, 1, c.secondShare, true) : "?"; };
        EXPECT_EQ(RunInChild([&] { return second() == c.expected ? 0 : 1; }), 0);
        done.Raise();
        ::waitpid(first, nullptr, 0);
    }
    EXPECT_EQ(ReadFile(input), content);
}

TEST_F(MMIOFile, CreatingOverTheOpenInputUnderAnotherNameLeavesItIntact) {
    const std::string path = dir_.Path("take.raw");
    const Bytes content = RandomGroups(50);
    WriteFile(path, content);
    ASSERT_EQ(::link(path.c_str(), dir_.Path("hard.wav").c_str()), 0);
    ASSERT_EQ(::symlink(path.c_str(), dir_.Path("soft.wav").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.Path("sub").c_str(), 0755), 0);

    auto input = Open(path, 0, 2);
    for (const std::string& other : {dir_.Path("hard.wav"), dir_.Path("soft.wav"),
                                     dir_.Path("sub/../take.raw"), dir_.Path("./take.raw")})
        EXPECT_EQ(OpenError(other, 1, 2, true), kSharing) << other;
    EXPECT_EQ(ReadFile(path), content);
}

TEST_F(MMIOFile, CreateEmptiesAnExistingFile) {
    const std::string path = dir_.Path("out.wav");
    WriteFile(path, Bytes(1000, 7));
    auto out = Open(path, 1, 2, true);
    out->Close();
    EXPECT_TRUE(ReadFile(path).empty());
}

TEST_F(MMIOFile, SeeksReadsAndWritesAcrossBufferBoundaries) {
    const std::string path = dir_.Path("data.bin");
    const Bytes content = RandomGroups(10000); // 100,000 bytes
    for (int32_t bufferSize : {1, 7, 32768}) {
        {
            auto out = Open(path, 1, 2, true);
            out->SetBufferSize(bufferSize);
            WriteInPieces(*out, content);
            EXPECT_EQ(out->Position(), 100000);
            out->Close();
        }
        ASSERT_EQ(ReadFile(path), content) << "buffer " << bufferSize;

        auto in = Open(path, 0, 2);
        in->SetBufferSize(bufferSize);
        EXPECT_EQ(in->SeekToEnd(), 100000);
        EXPECT_EQ(in->Position(), 100000);
        EXPECT_EQ(in->Rewind(), 0);
        Bytes back(content.size());
        for (size_t at = 0; at < back.size(); at += 10)
            ASSERT_EQ(in->Read(back.data() + at, 10), 10);
        EXPECT_EQ(back, content);
        char byte;
        EXPECT_EQ(in->Read(&byte, 1), 0) << "end of file";

        // Backwards and forwards within and beyond the buffer.
        for (int64_t target : {int64_t{32767}, int64_t{5}, int64_t{32768}, int64_t{99999}, int64_t{40000}}) {
            ASSERT_EQ(in->SeekTo(target), target);
            uint8_t value = 0;
            ASSERT_EQ(in->Read(&value, 1), 1);
            EXPECT_EQ(value, content[static_cast<size_t>(target)]) << "at " << target;
            EXPECT_EQ(in->SeekBy(-1), target);
        }
        EXPECT_EQ(in->SeekTo(-1), -1);
        EXPECT_EQ(in->SeekTo(200000), 200000) << "past the end is no failure";
        EXPECT_EQ(in->Read(&byte, 1), 0);
    }
}

TEST_F(MMIOFile, ReadWriteFileSeeksBetweenReadingAndWriting) {
    const std::string path = dir_.Path("rw.bin");
    WriteFile(path, Bytes(100, 0));
    auto file = Open(path, 2, 1);
    const uint8_t patch[4] = {1, 2, 3, 4};
    ASSERT_EQ(file->SeekTo(4), 4);
    ASSERT_EQ(file->Write(patch, 4), 4);
    uint8_t next[2];
    ASSERT_EQ(file->Read(next, 2), 2);
    ASSERT_EQ(file->SeekTo(42), 42);
    ASSERT_EQ(file->Write(patch, 4), 4);
    file->Close();
    Bytes expected(100, 0);
    std::copy(patch, patch + 4, expected.begin() + 4);
    std::copy(patch, patch + 4, expected.begin() + 42);
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(MMIOFile, SmallPiecesMakeOneSystemCallPerBuffer) {
    const std::string path = dir_.Path("groups.raw");
    WriteFile(path, RandomGroups(10000));
    SysCallSpy spy;
    auto in = Open(path, 0, 2);
    in->SetBufferSize(32768);
    auto out = Open(dir_.Path("out.bin"), 1, 2, true);
    out->SetBufferSize(32768);
    uint8_t group[10];
    while (in->Read(group, 10) == 10)
        ASSERT_EQ(out->Write(group, 10), 10);
    out->Close();
    EXPECT_EQ(spy.reads, 5) << "100,000 bytes in four 32,768-byte buffers, then the end of the file";
    EXPECT_EQ(spy.writes, 4);
}

// A cursor carries on from where the file stands and hands the position back when it ends, with the very
// system calls the file makes for the same pieces, whatever the buffer.
TEST_F(MMIOFile, CursorsCarryOnFromTheFileAndHandItBack) {
    const Bytes content = RandomGroups(10000); // 100,000 bytes
    const std::string path = dir_.Path("cursor.bin");
    // Writes content as 4 bytes, 12-byte pieces and the rest, then reads it back as 3 bytes, 10-byte groups
    // up to 50,003 and the rest; the pieces go through a cursor or through the file itself.
    const auto pass = [&](int32_t bufferSize, bool cursor) {
        const SysCallSpy spy;
        auto out = Open(path, 1, 2, true);
        out->SetBufferSize(bufferSize);
        EXPECT_EQ(out->Write(content.data(), 4), 4);
        size_t at = 4;
        {
            TMMIOCursor pieces(*out);
            uint8_t piece[12];
            for (; at + 12 <= content.size(); at += 12) {
                std::copy_n(content.begin() + static_cast<ptrdiff_t>(at), 12, piece);
                EXPECT_EQ(cursor ? pieces.Write(piece) : out->Write(piece, 12), 12);
            }
        }
        EXPECT_EQ(out->Position(), static_cast<int64_t>(at));
        const auto rest = static_cast<int32_t>(content.size() - at);
        EXPECT_EQ(out->Write(content.data() + at, rest), rest);
        out->Close();
        EXPECT_EQ(ReadFile(path), content);

        auto in = Open(path, 0, 2);
        in->SetBufferSize(bufferSize);
        Bytes back(content.size());
        EXPECT_EQ(in->Read(back.data(), 3), 3);
        at = 3;
        {
            TMMIOCursor groups(*in);
            uint8_t group[10];
            for (; at < 50003; at += 10) {
                EXPECT_EQ(cursor ? groups.Read(group) : in->Read(group, 10), 10);
                std::copy_n(group, 10, back.begin() + static_cast<ptrdiff_t>(at));
            }
        }
        EXPECT_EQ(in->Position(), 50003);
        EXPECT_EQ(in->Read(back.data() + at, 49997), 49997);
        EXPECT_EQ(back, content);
        return std::pair{SysCallSpy::writes, SysCallSpy::reads};
    };
    for (int32_t bufferSize : {1, 7, 32768}) {
        SCOPED_TRACE(bufferSize);
        EXPECT_EQ(pass(bufferSize, true), pass(bufferSize, false));
    }
}

// Pieces that do not divide the buffer still make whole-buffer writes, which end on page boundaries; a
// piece whose flush fails is taken back whole, so that a later flush writes only what came before it.
TEST_F(MMIOFile, PiecesThatStraddleTheBufferMakeWholeBufferWrites) {
    static std::vector<size_t> sizes;
    static bool full;
    sizes.clear();
    full = false;
    const SysCallSpy spy; // puts the system calls back at the end
    mmio::Sys().write = [](int fd, const void* buffer, size_t count) -> ssize_t {
        if (full) {
            errno = ENOSPC;
            return -1;
        }
        sizes.push_back(count);
        return ::write(fd, buffer, count);
    };
    const Bytes content = RandomGroups(12000); // 120,000 bytes
    auto out = Open(dir_.Path("out.bin"), 1, 2, true);
    out->SetBufferSize(32768);
    for (size_t at = 0; at < content.size(); at += 12)
        ASSERT_EQ(out->Write(content.data() + at, 12), 12);
    out->Close();
    EXPECT_EQ(sizes, (std::vector<size_t>{32768, 32768, 32768, 21696}));
    EXPECT_EQ(ReadFile(dir_.Path("out.bin")), content);

    auto cut = Open(dir_.Path("cut.bin"), 1, 2, true);
    cut->SetBufferSize(16);
    ASSERT_EQ(cut->Write(content.data(), 10), 10);
    full = true;
    EXPECT_EQ(cut->Write(content.data() + 10, 10), -1);
    full = false;
    cut->Close();
    EXPECT_EQ(ReadFile(dir_.Path("cut.bin")), Bytes(content.begin(), content.begin() + 10));
}

// Written behind, full buffers wait for a writer that takes its time: every byte still lands in its place,
// with a seek back and a rewrite in between, whatever the number of buffers taking turns; and a write that
// fails there fails a later write and the close.
TEST_F(MMIOFile, WritesBehindLandInOrderAndTheirFailuresAreReported) {
    const SysCallSpy spy;
    mmio::Sys().write = [](int fd, const void* buffer, size_t count) -> ssize_t {
        ::usleep(20);
        return ::write(fd, buffer, count);
    };
    const std::string path = dir_.Path("behind.bin");
    Bytes content = RandomGroups(20000); // 200,000 bytes
    for (const auto& [bufferSize, buffers] : {std::pair{7, 2}, std::pair{4096, 3}, std::pair{4096, 8}}) {
        {
            auto out = Open(path, 1, 2, true);
            out->SetBufferSize(bufferSize);
            out->SetWriteBehind(buffers);
            WriteInPieces(*out, content, [&out](size_t at) {
                if (at > 150000 && at < 150040) {
                    ASSERT_EQ(out->SeekTo(3), 3);
                    ASSERT_EQ(out->Write("SIZE", 4), 4);
                    ASSERT_EQ(out->SeekToEnd(), static_cast<int64_t>(at));
                }
            });
            out->Close();
        }
        Bytes expected = content;
        std::copy_n("SIZE", 4, expected.begin() + 3);
        ASSERT_EQ(ReadFile(path), expected) << bufferSize << " bytes, " << buffers << " buffers";
    }

    mmio::Sys() = spy.saved;
    const SysCallSpy failing;
    SysCallSpy::failWritesAfter = 2;
    auto out = Open(path, 1, 2, true);
    out->SetBufferSize(4096);
    out->SetWriteBehind(4);
    int32_t result = 0;
    for (size_t at = 0; at < content.size() && result >= 0; at += 1000)
        result = out->Write(content.data() + at, 1000);
    EXPECT_EQ(result, -1) << "a later write fails";
    EXPECT_THROW(out->Close(), EMMIOError);
}

TEST_F(MMIOFile, FailedFlushesAreReported) {
    SysCallSpy spy;
    SysCallSpy::failWritesAfter = 0;
    auto out = Open(dir_.Path("full.bin"), 1, 2, true);
    out->SetBufferSize(16);
    const Bytes piece(10, 1);
    EXPECT_EQ(out->Write(piece.data(), 10), 10) << "fits the buffer";
    EXPECT_EQ(out->Write(piece.data(), 10), -1) << "needs a flush, which fails";
    EXPECT_THROW(out->SetBufferSize(32), EMMIOError);
    try {
        out->Close();
        ADD_FAILURE() << "Close did not raise";
    } catch (const EMMIOError& error) {
        EXPECT_STREQ(error.what(), msg::kWriteFailed);
    }
    EXPECT_FALSE(out->Opened());
    EXPECT_NO_THROW(out->Close()) << "closes at most once";

    SysCallSpy::failReadsAfter = 0;
    WriteFile(dir_.Path("in.bin"), Bytes(100));
    auto in = Open(dir_.Path("in.bin"), 0, 2);
    uint8_t group[10];
    EXPECT_EQ(in->Read(group, 10), -1);
}

TEST_F(MMIOFile, LifetimeDeleteAndClose) {
    TMMIOFile unnamed;
    EXPECT_EQ(unnamed.Delete(), TDeleteResult::NothingToDelete);

    const std::string path = dir_.Path("x.bin");
    int handle = -1;
    {
        auto file = Open(path, 1, 2, true);
        handle = file->Handle();
        EXPECT_GE(handle, 0);
    }
    EXPECT_EQ(::fcntl(handle, F_GETFD), -1) << "destroying an open object closes it";
    EXPECT_EQ(OpenError(path, 1, 2, true), "") << "and releases its share";

    // Destroying a closed object must not close a descriptor that now belongs to somebody else.
    auto first = Open(path, 0, 4);
    first->Close();
    const int reused = ::open(path.c_str(), O_RDONLY);
    first.reset();
    EXPECT_NE(::fcntl(reused, F_GETFD), -1);
    ::close(reused);

    // A name alone deletes nothing: only what the object wrote goes.
    TMMIOFile named;
    named.SetFileName(path);
    EXPECT_EQ(named.Delete(), TDeleteResult::NothingToDelete);
    EXPECT_TRUE(Exists(path));
}

TEST_F(MMIOFile, DeleteRemovesTheFileWrittenAndNothingElse) {
    const Bytes content = RandomGroups(10);
    ASSERT_EQ(::mkdir(dir_.Path("target").c_str(), 0755), 0);

    // Through a symbolic link that led nowhere yet: the file written goes, the link stays. Twice is once.
    const std::string link = dir_.Path("link.wav");
    ASSERT_EQ(::symlink("target/real.wav", link.c_str()), 0);
    auto out = Open(link, 1, 2, true);
    ASSERT_EQ(out->Write(content.data(), 10), 10);
    out->Close();
    EXPECT_EQ(out->Delete(), TDeleteResult::Deleted);
    EXPECT_FALSE(Exists(dir_.Path("target/real.wav")));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(out->Delete(), TDeleteResult::NothingToDelete);

    // Another file renamed over the output's name while it is written: that file stays.
    const std::string path = dir_.Path("take.wav");
    out = Open(path, 1, 2, true);
    WriteFile(dir_.Path("other.wav"), content);
    ASSERT_EQ(::rename(dir_.Path("other.wav").c_str(), path.c_str()), 0);
    out->Close();
    EXPECT_EQ(out->Delete(), TDeleteResult::NotOurs);
    EXPECT_EQ(ReadFile(path), content);

    // The input is read, never written: deleting through it does nothing.
    auto in = Open(path, 0, 2);
    EXPECT_EQ(in->Delete(), TDeleteResult::NothingToDelete);
    EXPECT_TRUE(Exists(path));
}

TEST_F(MMIOFile, ExclusiveCreateLeavesAnExistingNameAlone) {
    const Bytes content = RandomGroups(10);
    WriteFile(dir_.Path("old.wav"), content);
    ASSERT_EQ(::symlink("nowhere.wav", dir_.Path("dangling.wav").c_str()), 0);
    int shown = 0;
    const ErrorSink show = [&](const std::string&) { ++shown; };
    for (const char* name : {"old.wav", "dangling.wav"}) {
        auto file = CreateWaveWrite(dir_.Path(name), show, true);
        EXPECT_FALSE(file->Opened()) << name;
        EXPECT_EQ(file->Info()->wErrorRet, mmio::kErrFileExists) << name;
    }
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(ReadFile(dir_.Path("old.wav")), content);
    EXPECT_FALSE(Exists(dir_.Path("nowhere.wav")));
    EXPECT_TRUE(CreateWaveWrite(dir_.Path("new.wav"), show, true)->Opened());
}

TEST_F(MMIOFile, FailuresWithoutMessageKeepTheSystemsReason) {
    ASSERT_EQ(::symlink("loop.b", dir_.Path("loop.a").c_str()), 0);
    ASSERT_EQ(::symlink("loop.a", dir_.Path("loop.b").c_str()), 0);
    for (const auto& [name, create, error] :
         {std::tuple{dir_.Path(std::string(300, 'n')), false, ENAMETOOLONG},
          {dir_.Path("loop.a"), true, ELOOP}}) {
        std::unique_ptr<TMMIOFile> file;
        EXPECT_NO_THROW(file = Open(name, create ? 1 : 0, 2, create));
        EXPECT_FALSE(file->Opened());
        EXPECT_EQ(file->FailureReason(), std::generic_category().message(error));
    }
    EXPECT_EQ(Open(dir_.Path("x.raw"), 1, 2, true)->FailureReason(), "") << "success has no reason";
}

} // namespace
