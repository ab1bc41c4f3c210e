#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The speakers of a DVD-Audio stream, as its channel assignment code (0 to 20) names them. The code is the
// same in a PCM packet's header, an MLP stream and the title set's audio attributes.

enum class TSpeaker : uint8_t { L, R, C, Lfe, Ls, Rs, S };

struct TAobChannelAssignment {
    int group1 = 0; // channels of group 1, the first in stream order
    int group2 = 0; // channels of group 2, which may differ from group 1 in bits and rate
    TSpeaker speakers[6] = {};
    int Channels() const { return group1 + group2; }
};

// nullptr for codes past 20.
const TAobChannelAssignment* AobChannelAssignment(int code);

// The speaker's bit in a WAVE_FORMAT_EXTENSIBLE channel mask (FLAC's is the same): L R C LFE as front left,
// front right, front centre and low frequency; Ls Rs as back left and right, S as back centre.
uint32_t SpeakerMaskBit(TSpeaker speaker);
// "L", "R", "C", "LFE", "Ls", "Rs" or "S".
const char* SpeakerName(TSpeaker speaker);

// For each channel in stream order (group 1, then group 2), its position in the output, where WAVE and
// FLAC want the channels in the order of their mask bits: code 19, L R Ls Rs | C, is written L R C Ls Rs.
std::vector<int> OutputPositions(const TAobChannelAssignment& assignment, bool withGroup2 = true);
uint32_t ChannelMask(const TAobChannelAssignment& assignment, bool withGroup2 = true);

// The speakers in output order, "L R C LFE Ls Rs"; empty for an unknown code.
std::string SpeakerNames(int code, bool withGroup2 = true);
