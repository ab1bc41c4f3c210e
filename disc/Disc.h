#pragma once

#include "disc/DiscContent.h"
#include "disc/DvdReader.h"
#include "disc/TitleSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TReadOnlyFile;

// Whether `path` names a DVD-Video disc: a folder holding VIDEO_TS/, the VIDEO_TS folder itself, an IFO
// file in it, or an image of a disc. Cheap enough to ask for every input; decided by content.
bool LooksLikeDisc(const std::string& path, bool* readFailed = nullptr);

// Where libdvdread parses a disc's IFO files: in a child process, or in this one for a coverage-guided
// fuzzer only (a damaged IFO file can crash libdvdread).
enum class TDiscParse { InChild, InProcess };

// An open, unencrypted DVD-Video disc (folder or image) and its titles.
class TDisc {
public:
    // nullptr with `error` set to msg::kNoDisc, msg::kImageWithoutUdf, msg::kReadFailed (a file looked at
    // could not be read), msg::kDiscUnreadable or msg::kDiscEncrypted. A title that cannot be read (its
    // title set's files missing or unreadable) spoils only itself: it says why in TDiscTitle::unreadable.
    static std::unique_ptr<TDisc> Open(const std::string& path, std::string& error,
                                       TDiscParse parse = TDiscParse::InChild);

    // The image's volume label, or for a folder the name of the folder above VIDEO_TS.
    const std::string& Label() const { return label_; }
    const std::vector<TDiscTitle>& Titles() const { return titles_; }
    // nullptr when the disc has no title of that number.
    const TDiscTitle* Title(int number) const;
    // The readable title that plays longest (the first of equals); nullptr on a disc without one.
    const TDiscTitle* LongestTitle() const;
    // The title converted when none is chosen: the longest that has an LPCM stream, else the longest (whose
    // run then says that it has none); nullptr on a disc without titles.
    const TDiscTitle* DefaultTitle() const;
    // A title other than `longest` that cannot be read, or whose VOBs end before its cells do, and that
    // might play longer than `longest` by what its IFO says (its length unknown, or longer); nullptr when
    // there is none, and `longest` is the longest title of the disc.
    const TDiscTitle* UnreadableRival(const TDiscTitle* longest) const;
    // The title's program stream; nullptr with `error` set (msg::kDiscReadFailed) when its VOBs cannot be
    // opened, or are no longer what they were when the disc was opened. The reader may outlive the disc.
    std::unique_ptr<TTitleSource> OpenTitle(const TDiscTitle& title, std::string& error) const;

private:
    // A title's VOBs as the child process found them.
    struct TVobPlace {
        int titleSet = 0;
        bool readable = false;
        int64_t sector = 0; // in an image
        int64_t blocks = -1;
        int64_t check = 0;
    };

    TDisc(std::string label, std::vector<TDiscTitle> titles, std::vector<TVobPlace> places);
    // nullptr unless the VOBs are found here where, and as, the child found them.
    std::unique_ptr<TVobBlocks> OpenVobs(const TVobPlace& place) const;
    bool VobsAsTheChildSaw() const;

    // A folder's VOB files are read through libdvdread; an image's sectors with plain reads.
    TDvdReader reader_;
    std::shared_ptr<const TReadOnlyFile> image_;
    std::string label_;
    std::vector<TDiscTitle> titles_;
    std::vector<TVobPlace> places_; // one a title
};
