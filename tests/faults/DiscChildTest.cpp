// A disc whose reading child hangs or crashes, and what the program itself opens with libdvdread, by a
// preloaded library (ChildFault.cpp).
#include "CliProcess.h"
#include "DiscFixtures.h"

#include "texts/Messages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// The command put before oxlip-convert to preload ChildFault.cpp with `settings`.
std::vector<std::string> Preloaded(std::vector<std::string> settings) {
    // Under AddressSanitizer the preloaded library comes before its runtime, which it allows when told.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan && *asan ? asan : "") +
                                    (asan && *asan ? ":" : "") + "verify_asan_link_order=0";
    settings.insert(settings.begin(), {"env", "LD_PRELOAD=" OXLIP_CHILD_FAULT, asanOptions});
    return settings;
}

// Listing and converting, of a folder and an image, each end with the IFO message after one wait: the
// first child that hangs spends the budget, and no child starts after it.
TEST(DiscChild, AHungOrCrashedChildCostsOneBudgetAndSaysTheIfoCouldNotBeRead) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    const std::string log = dir.Path("children");
    for (const char* mode : {"hang", "crash"})
        for (const std::string& disc : {DiscFixtures().discFolder, DiscFixtures().image})
            for (const bool list : {true, false}) {
                SCOPED_TRACE(std::string(mode) + " " + disc + (list ? " --list" : " converted"));
                std::remove(log.c_str());
                CliRun run;
                run.tracer = Preloaded({std::string("OXLIP_FAULT_CHILD=") + mode,
                                        "OXLIP_FAULT_CHILD_LOG=" + log, "OXLIP_DISC_SECONDS=2"});
                run.args = list ? std::vector<std::string>{"--list", disc}
                                : std::vector<std::string>{"-q", "-o", dir.Path("out.wav"), disc};
                const CliOutcome outcome = RunCli(run);
                EXPECT_EQ(outcome.exitStatus, 1);
                EXPECT_EQ(outcome.err, Said(disc, {msg::kDiscUnreadable}));
                const Bytes children = ReadFile(log);
                const auto started = std::count(children.begin(), children.end(), '\n');
                if (std::string(mode) == "hang")
                    EXPECT_EQ(started, 1);
                else
                    EXPECT_GE(started, 1);
                EXPECT_FALSE(std::filesystem::exists(dir.Path("out.wav")));
            }
}

// The program reads an image's VOBs with plain reads at the sectors its child found: only children parse
// the image with libdvdread. A folder's VOB files it opens with libdvdread itself.
TEST(DiscChild, OnlyChildrenOpenAnImageWithLibdvdread) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    const std::string log = dir.Path("opened");
    for (const auto& [disc, inProgram] :
         {std::pair{DiscFixtures().discFolder, true}, {DiscFixtures().image, false}}) {
        SCOPED_TRACE(disc);
        WriteFile(log, {});
        CliRun run;
        run.tracer = Preloaded({"OXLIP_PROGRAM_DVDREAD_LOG=" + log});
        run.args = {"-q", "-y", "-o", dir.Path("out.wav"), disc};
        const CliOutcome outcome = RunCli(run);
        EXPECT_EQ(outcome.exitStatus, 0) << outcome.err;
        const Bytes bytes = ReadFile(log);
        const std::string opened(bytes.begin(), bytes.end());
        // The folder's title set 1, of the title converted.
        EXPECT_EQ(opened.find("DVDOpenFile 1\n") != std::string::npos, inProgram) << opened;
        EXPECT_EQ(opened.empty(), !inProgram) << opened;
    }
}

} // namespace
