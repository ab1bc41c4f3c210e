// oxlip-convert --list --json as a script reads it: parsed by nlohmann's reader, and saying what the text
// listing says of the same inputs.
#include "DiscFixtures.h"
#include "TestFiles.h"

#include "disc/DiscListing.h"
#include "texts/ListingTexts.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

namespace {

// `text` as one word of a shell command line.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Every line of the JSON listing, parsed; a line that is no JSON fails the test.
std::vector<nlohmann::json> JsonLines(const std::string& inputs) {
    std::istringstream lines(ShellOutput(std::string(OXLIP_CONVERT) + " --list --json " + inputs));
    std::vector<nlohmann::json> documents;
    for (std::string line; std::getline(lines, line);) {
        try {
            documents.push_back(nlohmann::json::parse(line));
        } catch (const nlohmann::json::exception& error) {
            ADD_FAILURE() << error.what() << " in " << line;
        }
    }
    return documents;
}

std::string Ticks(const nlohmann::json& seconds) {
    return FormatTicks(std::llround(seconds.get<double>() * 90000));
}

bool Says(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos;
}

} // namespace

// One line per input, in their order, the failed one included; a file name with a control character and a
// byte of no UTF-8 comes back as the name with that byte as its Latin-1 character.
TEST(ListJson, EachInputKindSaysWhatItsTextListingSays) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    const std::string raw = dir.Path("take\x01\xff\"1\\.raw");
    WriteFile(raw, RandomGroups(4801));
    const std::string vob = DiscFixtures().discFolder + "/VIDEO_TS/VTS_01_1.VOB";
    const std::string disc = DiscFixtures().discFolder;
    const std::string inputs = Quoted(raw) + " " + Quoted(vob) + " " + Quoted(disc) + " " + dir.Path("none");
    const std::vector<nlohmann::json> docs = JsonLines(inputs + " 2>/dev/null");
    const std::string text = ShellOutput(std::string(OXLIP_CONVERT) + " --list " + inputs + " 2>/dev/null");
    ASSERT_EQ(docs.size(), 4u);

    EXPECT_EQ(docs[0]["input"], dir.Path("take\x01\xc3\xbf\"1\\.raw"));
    EXPECT_EQ(docs[0]["kind"], "raw");
    EXPECT_EQ(docs[0]["samples"], 2 * 4801);
    EXPECT_NE(text.find(listing_text::RawInput(docs[0]["groups"].get<int64_t>()) + "\n"), std::string::npos);

    const nlohmann::json& stream = docs[1];
    EXPECT_EQ(stream["kind"], "program-stream");
    ASSERT_EQ(stream["tracks"].size(), 2u) << stream;
    EXPECT_TRUE(Says(text, vob + ": " + listing_text::ProgramStream(stream["tracks"].size())));
    for (const nlohmann::json& track : stream["tracks"]) {
        char line[96];
        std::snprintf(line, sizeof line, listing_text::kLpcmTrack, track["bits"].get<int>(),
                      track["rate"].get<int>(), track["channels"].get<int>(), "s");
        EXPECT_NE(text.find("  " + listing_text::Track(track["number"]) + line), std::string::npos) << track;
        EXPECT_NEAR(track["samples"].get<double>() / track["rate"].get<double>(), track["seconds"], 0.0005);
    }

    const nlohmann::json& titles = docs[2]["titles"];
    EXPECT_EQ(docs[2]["kind"], "dvd-video");
    EXPECT_TRUE(Says(text, disc + ": " + listing_text::Disc(docs[2]["label"], titles.size())));
    ASSERT_EQ(titles.size(), 2u);
    for (const nlohmann::json& title : titles) {
        SCOPED_TRACE(title.dump());
        const nlohmann::json& chapters = title["chapters"];
        EXPECT_TRUE(
            Says(text, listing_text::Title(title["number"], Ticks(title["seconds"]), chapters.size())));
        int64_t next = 0;
        for (const nlohmann::json& chapter : chapters) {
            EXPECT_TRUE(Says(text, listing_text::Chapter(chapter["number"], Ticks(chapter["start_seconds"]),
                                                         Ticks(chapter["length_seconds"]))));
            // The samples a conversion cuts, back to back from the title's first.
            EXPECT_EQ(chapter["start_samples"], next);
            next += chapter["length_samples"].get<int64_t>();
        }
        for (const nlohmann::json& audio : title["audio"]) {
            char line[96];
            std::snprintf(line, sizeof line, listing_text::kLpcmAudio, audio.value("bits", 0),
                          audio["rate"].get<int>(), audio["channels"].get<int>());
            EXPECT_EQ(Says(text, listing_text::AudioLine(audio["number"], line) +
                                     (audio.contains("language") ? ", " + audio["language"].get<std::string>()
                                                                 : "")),
                      audio["convertible"] == true);
        }
    }
    EXPECT_EQ(titles[1]["audio"][0]["codec"], "AC-3");

    EXPECT_EQ(docs[3]["input"], dir.Path("none"));
    EXPECT_TRUE(docs[3].contains("error"));
}

// The bash completion offers the titles, LPCM streams and chapters the listing gives the disc or VOB already
// on the command line, wherever it stands, within the title --title names.
TEST(ListJson, TheCompletionOffersTheListedNumbers) {
    REQUIRE_DISC_FIXTURES();
    const std::string disc = DiscFixtures().discFolder;
    const std::string vob = disc + "/VIDEO_TS/VTS_01_1.VOB";
    const std::vector<nlohmann::json> docs = JsonLines(Quoted(disc) + " " + Quoted(vob));
    ASSERT_EQ(docs.size(), 2u);
    const auto numbers = [](const nlohmann::json& items, bool lpcmOnly) {
        std::string list;
        for (const nlohmann::json& item : items)
            if (!lpcmOnly || item["codec"] == "LPCM")
                list.append(list.empty() ? "" : " ").append(std::to_string(item["number"].get<int>()));
        return list;
    };
    const nlohmann::json& titles = docs[0]["titles"];
    const struct {
        std::string words; // after the program's name, as bash splits them ('=' a word of its own)
        int word;          // the one completed, counting the program's name as 0
        std::string offered;
    } cases[] = {
        {Quoted(disc) + " --title ''", 3, numbers(titles, false)},
        {"--title '' " + Quoted(disc), 2, numbers(titles, false)},
        {"--title = 2 " + Quoted(disc) + " --track ''", 6, numbers(titles[1]["audio"], true)},
        {"--title=2 " + Quoted(disc) + " --track ''", 4, numbers(titles[1]["audio"], true)},
        {Quoted(disc) + " --title 1 --chapters ''", 5, numbers(titles[0]["chapters"], false)},
        {Quoted(disc) + " --title 1 --chapters 2", 5, "2"},
        {Quoted(vob) + " --track ''", 3, numbers(docs[1]["tracks"], true)},
        {"nowhere --title ''", 3, ""},
    };
    for (const auto& c : cases) {
        const std::string script = "source '" OXLIP_COMPLETION "'; COMP_WORDS=('" OXLIP_CONVERT "' " +
                                   c.words + "); COMP_CWORD=" + std::to_string(c.word) +
                                   "; _oxlip_convert; "
                                   "echo \"${COMPREPLY[*]}\"";
        EXPECT_EQ(ShellOutput("bash -c " + Quoted(script)), c.offered + "\n") << c.words;
    }
}
