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
    std::vector<int64_t> startBytes;
    for (size_t k = 1; k < title.chapters.size(); ++k)
        startBytes.push_back(title.chapters[k].startByte);

    TProgramStreamDemuxer demuxer(*source);
    if (!startBytes.empty())
        demuxer.WatchVideoStart(startBytes.front());
    const auto id = static_cast<uint8_t>(audio.subStreamId);
    TAudioPacket packet;
    if (!demuxer.NextPacketOf(id, packet))
        return std::nullopt;
    // The decoder's groups, as a conversion counts its frames: whole groups of the bytes so far.
    const TLpcmFormat format = packet.format;
    const TLpcmDecoder decoder(format, false, false);
    const int64_t groupBytes = decoder.GroupBytes(), groupFrames = decoder.GroupFrames();
    TChapterCutter cutter(startBytes, format.sampleRate, static_cast<int>(groupFrames));
    int64_t bytes = 0;
    do {
        if (!packet.format.SameLayout(format))
            break; // the track ends at a change of format, as a conversion's does
        if (cutter.NextStartByte() >= 0) {
            const size_t found = cutter.Cuts().size();
            cutter.OnPacket(packet, bytes / groupBytes * groupFrames, demuxer.WatchedVideoStart());
            if (cutter.Cuts().size() > found && cutter.NextStartByte() >= 0)
                demuxer.WatchVideoStart(cutter.NextStartByte());
        }
        bytes += packet.size;
    } while (demuxer.NextPacketOf(id, packet));
    if (demuxer.ReadFailed())
        return std::nullopt;

    TChapterAudio found{format.sampleRate, {0}, bytes / groupBytes * groupFrames};
    found.starts.insert(found.starts.end(), cutter.Cuts().begin(), cutter.Cuts().end());
    found.starts.resize(title.chapters.size(), found.frames);
    return found;
}
