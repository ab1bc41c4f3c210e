#pragma once

#include "disc/ChapterAudio.h"
#include "disc/DiscContent.h"

#include <map>
#include <string>
#include <vector>

// The plain-text listing of a disc for `oxlip-convert --list`: per title its number, duration and
// chapters (start and length of each), and its audio streams (the disc's stream number, the coding with
// bits, rate and channels for LPCM or "not convertible" for the others, the language code if any), and its
// notes; a title that cannot be read is one line with the reason. `chapterAudio`, by title number: where
// the chapters' audio begins, which the listing gives for them instead of their video's playing times.
std::string FormatDiscListing(const std::string& label, const std::vector<TDiscTitle>& titles,
                              const std::map<int, TChapterAudio>& chapterAudio = {});

// One audio stream as the listing describes it, without its number: "LPCM 24 bit, 96000 Hz, 2 ch, en".
std::string DescribeDiscAudio(const TDiscAudio& audio);

// A time of 90 kHz ticks as H:MM:SS.mmm, rounded to the millisecond.
std::string FormatTicks(int64_t ticks);
