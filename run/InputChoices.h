#pragma once

#include "output/OutputFormat.h"

#include <string>
#include <vector>

// What a host can offer its user to choose from an input before a run: a disc's titles with their audio
// streams, or a program stream's LPCM tracks. Descriptions are the words of oxlip-convert --list.
struct TAudioChoice {
    int number = 0; // the disc's stream number, or the LPCM track's (1-based) in a program stream
    std::string text;
    bool convertible = false;
    int rate = 0; // Hz
    int bits = 0; // the source's resolution: 16, 20 or 24
    // DVD-Video LPCM at 20 or 24 bits of other than two channels, which may be packed in pairs or quads.
    bool packingMayDiffer = false;
};

struct TTitleChoice {
    int number = 0;
    std::string length; // H:MM:SS.t
    int chapters = 0;
    int titleSet = 0;
    std::vector<TAudioChoice> audio;
    // Why the title cannot be converted (it cannot be read, or has no LPCM stream), in oxlip-convert's
    // words; empty when it can.
    std::string refusal;
    // Why the title cannot be read at all, as --list says it ("VTS_02_1.VOB is missing"); such a title is
    // not to be chosen, and has no length, chapters or audio.
    std::string unreadable;
    // What converting it would note once (chapters dropped, cells cut at the end of the VOBs).
    std::vector<std::string> notes;
};

struct TDiscChoices {
    std::string label;
    std::vector<TTitleChoice> titles;
    // The title offered first: that of the title set whose IFO was named, else the one converted when none
    // is chosen (the longest with LPCM audio); never an unreadable one (0 when all are).
    int preferredTitle = 0;
    // Where the outputs go: the folder beside the disc folder or image.
    std::string folder;
};

// A title's length as the dialog shows it, "H:MM:SS.t": tenths, so that two titles of 0:00:58 can be told
// apart. `ticks` are of the 90 kHz clock.
std::string TitleLength(int64_t ticks);

// The disc's choices; false with `error` in the words of oxlip-convert when the disc cannot be read.
bool ReadDiscChoices(const std::string& disc, TDiscChoices& choices, std::string& error);

// The LPCM tracks of a program stream, in the order --track numbers them.
std::vector<TAudioChoice> ReadLpcmTracks(const std::string& stream);

// The output for a choice beside the disc: the title's file in `format`, or with chapters the folder for
// them.
std::string DiscOutputFor(const TDiscChoices& choices, int title, bool chapters,
                          const TOutputFormatRow& format = DefaultOutputFormat());
