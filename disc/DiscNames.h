#pragma once

#include <string>

class TDisc;
struct TDiscTitle;

// How a DVD-Video disc's outputs are named and where they go, and which files belong to the disc.

// The title converted when none is given: for a title set's IFO (VTS_nn_0.IFO) the first readable title
// of that title set, otherwise (or when it has none) the disc's default, the longest with LPCM audio.
const TDiscTitle* DefaultTitleFor(const TDisc& disc, const std::string& input);

// The default names: LABEL-tTT.wav for a title, LABEL-tTT-cCC.wav for one of its chapters.
std::string DiscOutputName(const std::string& label, int title, int chapter = 0,
                           const std::string& extension = ".wav");
// The folder beside the disc folder or image, where its outputs go by default; empty when `disc` is no
// disc.
std::string FolderBesideDisc(const std::string& disc);
// The output the window proposes for a disc: the default title's default name with `extension`, beside
// the disc folder or image. Empty when `disc` is no readable disc.
std::string ProposeDiscOutputName(const std::string& disc, const std::string& extension = ".wav");

// Whether `output` is one of the disc's own files (the image, or an IFO, BUP or VOB file in any folder
// libdvdread looks in: the disc's folder and its VIDEO_TS or video_ts folder) under any name: libdvdread
// reads them without the file layer's share modes, so a run could not refuse it later. A run's own
// earlier outputs beside them are no part of the disc.
bool IsPartOfDisc(const std::string& output, const std::string& disc);
