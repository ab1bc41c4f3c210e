// A disc whose reading child hangs or crashes, made so by a preloaded library (ChildFault.cpp).
#include "CliProcess.h"
#include "DiscFixtures.h"

#include "texts/Messages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

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
                // Under AddressSanitizer the preloaded library comes before its runtime, which it allows
                // when told.
                const char* asan = std::getenv("ASAN_OPTIONS");
                const std::string asanOptions = std::string("ASAN_OPTIONS=") + (asan && *asan ? asan : "") +
                                                (asan && *asan ? ":" : "") + "verify_asan_link_order=0";
                run.tracer = {"env",
                              "LD_PRELOAD=" OXLIP_CHILD_FAULT,
                              std::string("OXLIP_FAULT_CHILD=") + mode,
                              "OXLIP_FAULT_CHILD_LOG=" + log,
                              "OXLIP_DISC_SECONDS=2",
                              asanOptions};
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

} // namespace
