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

// The same as members of a JSON object: kind, label, and per title its number, title set, seconds,
// chapters (start and length in seconds, and in samples where `chapterAudio` has the title's cuts), audio
// streams and notes, or why it is unreadable.
std::string DiscListingJson(const std::string& label, const std::vector<TDiscTitle>& titles,
                            const std::map<int, TChapterAudio>& chapterAudio = {});

// Where chapter `k` of `title` begins and how long it lasts: where a conversion cuts its audio when `cuts`
// holds the title's chapter audio (the sample fields then count sample periods at its rate), else its
// video's playing times (the sample fields -1).
struct TChapterSpan {
    int64_t startTicks = 0;
    int64_t lengthTicks = 0;
    int64_t startSample = -1;
    int64_t samples = -1;
};
TChapterSpan ChapterSpan(const TDiscTitle& title, size_t k, const TChapterAudio* cuts);

// One audio stream as the listing describes it, without its number: "LPCM 24 bit, 96000 Hz, 2 ch, en".
std::string DescribeDiscAudio(const TDiscAudio& audio);

// A time of 90 kHz ticks as H:MM:SS.mmm, rounded to the millisecond.
std::string FormatTicks(int64_t ticks);
