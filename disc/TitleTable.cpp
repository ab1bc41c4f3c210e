#include "disc/TitleTable.h"

#include "disc/DiscTime.h"

#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
#include <map>
#include <memory>

namespace {

using TIfo = std::unique_ptr<ifo_handle_t, decltype(&ifoClose)>;

TIfo OpenIfo(const TDvdReader& reader, int titleSet) {
    return TIfo(ifoOpen(reader.get(), titleSet), ifoClose);
}

TAudioCodec CodingOf(const audio_attr_t& attr) {
    switch (attr.audio_format) {
    case 0:
        return TAudioCodec::Ac3;
    case 2:
        return TAudioCodec::Mpeg1Audio;
    case 3:
        return TAudioCodec::Mpeg2Audio;
    case 4:
        return TAudioCodec::Lpcm;
    case 6:
        return TAudioCodec::Dts;
    case 7:
        return TAudioCodec::Sdds;
    default:
        return TAudioCodec::Other;
    }
}

// The id the stream's packets carry in the VOBs: the program chain's audio control entry maps the disc's
// stream number to a stream number within its coding (bits 8 to 10).
int StreamIdOf(TAudioCodec coding, int vobStream) {
    switch (coding) {
    case TAudioCodec::Lpcm:
        return 0xA0 + vobStream;
    case TAudioCodec::Ac3:
        return 0x80 + vobStream;
    case TAudioCodec::Dts:
        return 0x88 + vobStream;
    case TAudioCodec::Mpeg1Audio:
    case TAudioCodec::Mpeg2Audio:
        return 0xC0 + vobStream;
    default:
        return 0;
    }
}

std::vector<TDiscAudio> AudioStreams(const vtsi_mat_t& vtsi, const pgc_t& pgc) {
    static constexpr int kBits[] = {16, 20, 24, 0};
    static constexpr int kRates[] = {48000, 96000, 44100, 32000};
    std::vector<TDiscAudio> streams;
    const int count = std::min<int>(vtsi.nr_of_vts_audio_streams, 8);
    for (int i = 0; i < count; ++i) {
        const uint16_t control = pgc.audio_control[i];
        if ((control & 0x8000) == 0) // the title does not use this stream
            continue;
        const audio_attr_t& attr = vtsi.vts_audio_attr[i];
        TDiscAudio stream;
        stream.number = i + 1;
        stream.codec = CodingOf(attr);
        stream.channels = attr.channels + 1;
        stream.rate = kRates[attr.sample_frequency];
        if (stream.codec == TAudioCodec::Lpcm)
            stream.bits = kBits[attr.quantization];
        if (attr.lang_type == 1 && attr.lang_code != 0)
            stream.language = {static_cast<char>(attr.lang_code >> 8),
                               static_cast<char>(attr.lang_code & 0xFF)};
        stream.subStreamId = StreamIdOf(stream.codec, (control >> 8) & 0x07);
        streams.push_back(stream);
    }
    return streams;
}

int64_t CellTicks(const cell_playback_t& cell) {
    const dvd_time_t& t = cell.playback_time;
    const int64_t ticks = PlaybackTicks(t.hour, t.minute, t.second, t.frame_u);
    return ticks < 0 ? 0 : ticks;
}

// Other angles of an angle block play instead of the first one, not after it.
bool IsFirstAngle(const cell_playback_t& cell) {
    return cell.block_type != BLOCK_TYPE_ANGLE_BLOCK || cell.block_mode == BLOCK_MODE_FIRST_CELL;
}

// The title's chain cells and the first cell of each chapter from its part-of-title table: each chapter
// names a program chain and a program in it; a title's program chains play in the order its chapters
// first name them.
bool ReadTitleChains(const ifo_handle_t& vts, int vtsTitle, std::vector<TChainCell>& chain,
                     std::vector<int>& chapterFirstCells, const pgc_t*& firstPgc) {
    if (vts.vts_ptt_srpt == nullptr || vts.vts_pgcit == nullptr || vtsTitle < 1 ||
        vtsTitle > vts.vts_ptt_srpt->nr_of_srpts)
        return false;
    const ttu_t& parts = vts.vts_ptt_srpt->title[vtsTitle - 1];
    std::map<int, int> pgcFirstCell; // program chain number -> index of its first cell in `chain`
    firstPgc = nullptr;
    for (int part = 0; part < parts.nr_of_ptts; ++part) {
        const int pgcn = parts.ptt[part].pgcn, pgn = parts.ptt[part].pgn;
        if (pgcn < 1 || pgcn > vts.vts_pgcit->nr_of_pgci_srp)
            return false;
        const pgc_t* pgc = vts.vts_pgcit->pgci_srp[pgcn - 1].pgc;
        if (pgc == nullptr || pgc->program_map == nullptr || pgc->cell_playback == nullptr || pgn < 1 ||
            pgn > pgc->nr_of_programs || pgc->program_map[pgn - 1] < 1 ||
            pgc->program_map[pgn - 1] > pgc->nr_of_cells)
            return false;
        if (firstPgc == nullptr)
            firstPgc = pgc;
        if (!pgcFirstCell.count(pgcn)) {
            pgcFirstCell[pgcn] = static_cast<int>(chain.size());
            for (int c = 0; c < pgc->nr_of_cells; ++c) {
                const cell_playback_t& cell = pgc->cell_playback[c];
                chain.push_back({{cell.first_sector, cell.last_sector, CellTicks(cell)},
                                 IsFirstAngle(cell) && cell.last_sector >= cell.first_sector});
            }
        }
        chapterFirstCells.push_back(pgcFirstCell[pgcn] + pgc->program_map[pgn - 1] - 1);
    }
    return true;
}

} // namespace

std::optional<std::vector<TRawTitle>> ReadTitleTable(const TDvdReader& reader,
                                                     const std::function<void(int)>& beforeOpening) {
    if (beforeOpening)
        beforeOpening(0);
    TIfo vmg = OpenIfo(reader, 0);
    if (!vmg || vmg->tt_srpt == nullptr)
        return std::nullopt;
    std::map<int, TIfo> titleSets;
    std::vector<TRawTitle> titles;
    for (int t = 0; t < vmg->tt_srpt->nr_of_srpts; ++t) {
        const title_info_t& info = vmg->tt_srpt->title[t];
        TRawTitle title;
        title.titleSet = info.title_set_nr;
        if (info.title_set_nr < 1 || info.title_set_nr > 99)
            return std::nullopt;
        auto [entry, isNew] = titleSets.try_emplace(info.title_set_nr, nullptr, ifoClose);
        if (isNew) {
            if (beforeOpening)
                beforeOpening(info.title_set_nr);
            entry->second = OpenIfo(reader, info.title_set_nr);
        }
        const TIfo& vts = entry->second;
        const pgc_t* firstPgc = nullptr;
        // A title without chapters (real discs have them) plays nothing; one whose tables do not hold
        // together cannot be read, which spoils only that title.
        if (!vts || vts->vtsi_mat == nullptr) {
            title.fault = TTitleFault::IfoUnreadable;
        } else if (!ReadTitleChains(*vts, info.vts_ttn, title.chain, title.chapterFirstCells, firstPgc)) {
            title.fault = TTitleFault::IfoUnreadable;
            title.chain.clear();
            title.chapterFirstCells.clear();
        } else if (firstPgc != nullptr) {
            title.audio = AudioStreams(*vts->vtsi_mat, *firstPgc);
        }
        titles.push_back(std::move(title));
    }
    return titles;
}
