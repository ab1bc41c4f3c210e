#include "DiscFixtures.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("fixture command failed: " + command);
}

bool HasTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// A clip with small MPEG-2 video (a GOP every 5 frames) and the given audio maps and codecs; PAL at 25 fps,
// or NTSC at 29.97 fps.
std::string Clip(const std::string& out, int seconds, bool ntsc, const std::string& audio) {
    const std::string d = std::to_string(seconds);
    const std::string video =
        ntsc ? "testsrc=size=352x240:rate=30000/1001:duration=" + d + " -target ntsc-dvd -s 352x240"
             : "testsrc=size=352x288:rate=25:duration=" + d + " -target pal-dvd -s 352x288";
    return "ffmpeg -nostdin -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + d +
           " -f lavfi -i sine=frequency=660:sample_rate=96000:duration=" + d + " -f lavfi -i " + video +
           " -b:v 300k -g 5 -map 2:v " + audio + " '" + out + "'";
}

// Discs made in a temporary folder of their own, removed with it at exit.
template <typename Discs> struct TFixtureFolder {
    fs::path root;
    Discs discs;
    ~TFixtureFolder() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void Create(const std::string& prefix) {
        std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        root = pattern;
    }
};

std::unique_ptr<TFixtureFolder<TDiscFixtures>> Build() {
    auto folder = std::make_unique<TFixtureFolder<TDiscFixtures>>();
    for (const char* tool : {"ffmpeg", "dvdauthor", "genisoimage"})
        if (!HasTool(tool)) {
            folder->discs.missing = tool;
            return folder;
        }
    folder->Create("oxlip-discs");
    const fs::path root = folder->root;
    Run(Clip((root / "a.mpg").string(), 14, false,
             "-map 0:a -map 1:a -c:a pcm_dvd -ar 48000 -ac 2 -sample_fmt s16"));
    Run(Clip((root / "b.mpg").string(), 6, true,
             "-map 0:a -map 1:a -c:a:0 ac3 -ar:a:0 48000 -ac:a:0 1 -c:a:1 pcm_dvd -sample_fmt:a:1 s32 "
             "-ar:a:1 96000 -ac:a:1 1"));
    std::ofstream((root / "disc.xml").string())
        << R"(<dvdauthor dest=")" << (root / kFolderLabel).string() << R"(">
  <vmgm />
  <titleset><titles>
    <audio lang="en"/><audio lang="de"/>
    <pgc><vob file=")"
        << (root / "a.mpg").string() << R"(" chapters="0,0:05,0:12"/></pgc>
  </titles></titleset>
  <titleset><titles>
    <pgc><vob file=")"
        << (root / "b.mpg").string() << R"(" chapters="0,0:02"/></pgc>
  </titles></titleset>
</dvdauthor>
)";
    Run("VIDEO_FORMAT=PAL dvdauthor -x '" + (root / "disc.xml").string() + "'");
    Run("genisoimage -dvd-video -V " + std::string(kImageLabel) + " -o '" + (root / "disc.iso").string() +
        "' '" + (root / kFolderLabel).string() + "'");
    // A disc whose longest title has no LPCM audio, and one whose only title has none.
    Run(Clip((root / "ac3.mpg").string(), 4, false, "-map 0:a -c:a ac3 -ar 48000 -ac 2"));
    Run(Clip((root / "lpcm.mpg").string(), 2, false,
             "-map 0:a -c:a pcm_dvd -ar 48000 -ac 2 -sample_fmt s16"));
    const auto author = [&root](const std::string& label, const std::vector<std::string>& titles) {
        std::ofstream xml((root / (label + ".xml")).string());
        xml << R"(<dvdauthor dest=")" << (root / label).string() << R"("><vmgm />)";
        for (const std::string& title : titles)
            xml << "<titleset><titles><pgc>" << title << "</pgc></titles></titleset>";
        xml << "</dvdauthor>\n";
        xml.close();
        Run("VIDEO_FORMAT=PAL dvdauthor -x '" + (root / (label + ".xml")).string() + "'");
    };
    const std::string ac3 = R"(<vob file=")" + (root / "ac3.mpg").string() + R"("/>)";
    author("DOCUMENTARY",
           {ac3, R"(<vob file=")" + (root / "lpcm.mpg").string() + R"(" chapters="0,0:01"/>)"});
    author("SPEECH", {ac3});
    fs::create_directory(root / "work");
    folder->discs = {"",
                     (root / kFolderLabel).string(),
                     (root / "disc.iso").string(),
                     (root / "work").string(),
                     (root / "DOCUMENTARY").string(),
                     (root / "SPEECH").string()};
    return folder;
}

// A clip of PAL video and a stereo 16-bit LPCM tone from `audio` (a lavfi source), delayed by `delay`.
std::string ToneClip(const std::string& out, const std::string& videoSeconds, const std::string& audio,
                     const std::string& delay = "0") {
    return "ffmpeg -nostdin -y -itsoffset " + delay + " -f lavfi -i \"" + audio +
           "\" -f lavfi -i testsrc=size=352x288:rate=25:duration=" + videoSeconds +
           " -map 1:v -map 0:a -target pal-dvd -s 352x288 -b:v 300k -g 5 -c:a pcm_dvd -ar 48000 -ac 2 "
           "-sample_fmt s16 '" +
           out + "'";
}

void Author(const fs::path& root, const std::string& name, const std::string& vobs) {
    std::ofstream((root / (name + ".xml")).string())
        << R"(<dvdauthor dest=")" << (root / name).string() << R"("><vmgm /><titleset><titles><pgc>)" << vobs
        << "</pgc></titles></titleset></dvdauthor>\n";
    Run("VIDEO_FORMAT=PAL dvdauthor -x '" + (root / (name + ".xml")).string() + "'");
}

std::unique_ptr<TFixtureFolder<TSongDiscs>> BuildSongDiscs() {
    auto folder = std::make_unique<TFixtureFolder<TSongDiscs>>();
    if (!DiscFixtures().missing.empty())
        return folder;
    folder->Create("oxlip-songs");
    const fs::path root = folder->root;
    const auto tone = [](int hz, const std::string& seconds) {
        return "sine=frequency=" + std::to_string(hz) + ":sample_rate=48000:duration=" + seconds;
    };
    std::string vobs;
    for (const auto& [name, hz, video, audio] : {std::tuple{"s1.mpg", 440, "10", "10"},
                                                 {"s2.mpg", 660, "15.5", "15"},
                                                 {"s3.mpg", 880, "10", "10"}}) {
        Run(ToneClip((root / name).string(), video, tone(hz, audio)));
        vobs += R"(<vob file=")" + (root / name).string() + R"(" chapters="0"/>)";
    }
    Author(root, "SONGS", vobs);
    Run(ToneClip((root / "late.mpg").string(), "30",
                 "aevalsrc=sin(2*PI*if(lt(t\\,9.2)\\,440\\,if(lt(t\\,19.2)\\,660\\,880))*t):s=48000:d=29",
                 "1"));
    Author(root, "LATE",
           R"(<vob file=")" + (root / "late.mpg").string() + R"(" chapters="0,0:10.2,0:20.2"/>)");
    Run(ToneClip((root / "shared.mpg").string(), "20",
                 "aevalsrc=sin(2*PI*if(lt(t\\,10)\\,440\\,if(lt(t\\,14)\\,660\\,880))*t):s=48000:d=20"));
    const std::string shared = (root / "shared.mpg").string();
    std::ofstream((root / "SHARED.xml").string())
        << R"(<dvdauthor dest=")" << (root / "SHARED").string()
        << R"("><vmgm /><titleset><titles><pgc><vob file=")" << shared
        << R"(" chapters="0,0:10,0:14"/></pgc><pgc><vob file=")" << shared
        << R"("><cell start="10" end="14" chapter="1"/></vob></pgc><pgc><vob file=")" << shared
        << R"("><cell start="14" chapter="1"/></vob></pgc></titles></titleset></dvdauthor>)"
        << "\n";
    Run("VIDEO_FORMAT=PAL dvdauthor -x '" + (root / "SHARED.xml").string() + "'");
    fs::create_directory(root / "work");
    folder->discs = {(root / "SONGS").string(), (root / "LATE").string(), (root / "work").string(),
                     (root / "SHARED").string()};
    return folder;
}

} // namespace

const TSongDiscs& SongDiscs() {
    static const std::unique_ptr<TFixtureFolder<TSongDiscs>> folder = BuildSongDiscs();
    return folder->discs;
}

const TDiscFixtures& DiscFixtures() {
    static const std::unique_ptr<TFixtureFolder<TDiscFixtures>> folder = Build();
    return folder->discs;
}
