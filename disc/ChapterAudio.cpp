#include "disc/ChapterAudio.h"

#include "disc/Disc.h"
#include "dvd/ChapterCutter.h"
#include "dvd/LpcmLayout.h"

std::optional<TChapterAudio> FindChapterAudio(const TDisc& disc, const TDiscTitle& title,
                                              const TDiscAudio& audio) {
    std::string error;
    const std::unique_ptr<TTitleSource> source = disc.OpenTitle(title, error);
    if (!source || title.chapters.empty())
        return std::nullopt;
    // Every chapter's first byte, then the title's end, as a conversion cuts them.
    std::vector<int64_t> cutBytes;
    for (const TDiscChapter& chapter : title.chapters)
        cutBytes.push_back(chapter.startByte);
    cutBytes.push_back(title.Bytes());

    TProgramStreamDemuxer demuxer(*source);
    demuxer.WatchVideoStart(cutBytes.front());
    const auto id = static_cast<uint8_t>(audio.subStreamId);
    TAudioPacket packet;
    if (!demuxer.NextPacketOf(id, packet))
        return std::nullopt;
    // The decoder's groups, as a conversion counts its frames: whole groups of the bytes so far.
    const TLpcmFormat format = packet.format;
    const TLpcmDecoder decoder(format, false, false);
    const int64_t groupBytes = decoder.GroupBytes(), groupFrames = decoder.GroupFrames();
    TChapterCutter cutter(cutBytes, format.sampleRate, static_cast<int>(groupFrames));
    int64_t bytes = 0;
    bool emphasis = false;
    int changeChapter = 0;
    do {
        const int64_t frames = bytes / groupBytes * groupFrames;
        // The track ends at a change of format, as a conversion's does, and the title where its end was cut.
        if (!packet.format.SameLayout(format)) {
            for (size_t k = 0; k < title.chapters.size(); ++k)
                if (cutBytes[k] <= packet.position)
                    changeChapter = static_cast<int>(k) + 1;
            break;
        }
        if (cutter.NextStartByte() < 0 && frames >= cutter.Cuts().back())
            break;
        if (cutter.NextStartByte() >= 0) {
            const size_t found = cutter.Cuts().size();
            cutter.OnPacket(packet, frames, demuxer.WatchedVideoStart());
            if (cutter.Cuts().size() > found && cutter.NextStartByte() >= 0)
                demuxer.WatchVideoStart(cutter.NextStartByte());
        }
        bytes += packet.size;
        emphasis = emphasis || packet.format.emphasis;
    } while (demuxer.NextPacketOf(id, packet));
    if (demuxer.ReadFailed())
        return std::nullopt;

    const std::vector<int64_t>& cuts = cutter.Cuts();
    int64_t end = bytes / groupBytes * groupFrames;
    if (cuts.size() == cutBytes.size())
        end = std::min(end, cuts.back());
    const int64_t start = cuts.empty() ? end : std::min(cuts.front(), end);
    TChapterAudio found{format.sampleRate, {}, end - start, emphasis, changeChapter};
    for (size_t k = 0; k < title.chapters.size(); ++k)
        found.starts.push_back(k < cuts.size() ? std::min(cuts[k], end) - start : end - start);
    return found;
}
