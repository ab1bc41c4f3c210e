#include "dvd/AobChannels.h"

#include <algorithm>
#include <numeric>

namespace {

using enum TSpeaker;

// Group 1's channels, then group 2's, in the order the stream carries them.
constexpr TAobChannelAssignment kAssignments[21] = {
    {1, 0, {C}},
    {2, 0, {L, R}},
    {2, 1, {L, R, S}},
    {2, 2, {L, R, Ls, Rs}},
    {2, 1, {L, R, Lfe}},
    {2, 2, {L, R, Lfe, S}},
    {2, 3, {L, R, Lfe, Ls, Rs}},
    {2, 1, {L, R, C}},
    {2, 2, {L, R, C, S}},
    {2, 3, {L, R, C, Ls, Rs}},
    {2, 2, {L, R, C, Lfe}},
    {2, 3, {L, R, C, Lfe, S}},
    {2, 4, {L, R, C, Lfe, Ls, Rs}},
    {3, 1, {L, R, C, S}},
    {3, 2, {L, R, C, Ls, Rs}},
    {3, 1, {L, R, C, Lfe}},
    {3, 2, {L, R, C, Lfe, S}},
    {3, 3, {L, R, C, Lfe, Ls, Rs}},
    {4, 1, {L, R, Ls, Rs, Lfe}},
    {4, 1, {L, R, Ls, Rs, C}},
    {4, 2, {L, R, Ls, Rs, C, Lfe}},
};

int UsedChannels(const TAobChannelAssignment& assignment, bool withGroup2) {
    return withGroup2 ? assignment.Channels() : assignment.group1;
}

} // namespace

const TAobChannelAssignment* AobChannelAssignment(int code) {
    return code >= 0 && code <= 20 ? &kAssignments[code] : nullptr;
}

uint32_t SpeakerMaskBit(TSpeaker speaker) {
    switch (speaker) {
    case L:
        return 0x1;
    case R:
        return 0x2;
    case C:
        return 0x4;
    case Lfe:
        return 0x8;
    case Ls:
        return 0x10;
    case Rs:
        return 0x20;
    case S:
        return 0x100;
    }
    return 0;
}

const char* SpeakerName(TSpeaker speaker) {
    static constexpr const char* kNames[] = {"L", "R", "C", "LFE", "Ls", "Rs", "S"};
    return kNames[static_cast<int>(speaker)];
}

std::vector<int> OutputPositions(const TAobChannelAssignment& assignment, bool withGroup2) {
    const int channels = UsedChannels(assignment, withGroup2);
    std::vector<int> order(static_cast<size_t>(channels));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return SpeakerMaskBit(assignment.speakers[a]) < SpeakerMaskBit(assignment.speakers[b]);
    });
    std::vector<int> positions(static_cast<size_t>(channels));
    for (int at = 0; at < channels; ++at)
        positions[static_cast<size_t>(order[static_cast<size_t>(at)])] = at;
    return positions;
}

uint32_t ChannelMask(const TAobChannelAssignment& assignment, bool withGroup2) {
    uint32_t mask = 0;
    for (int c = 0; c < UsedChannels(assignment, withGroup2); ++c)
        mask |= SpeakerMaskBit(assignment.speakers[c]);
    return mask;
}

std::string SpeakerNames(int code, bool withGroup2) {
    const TAobChannelAssignment* assignment = AobChannelAssignment(code);
    if (assignment == nullptr)
        return "";
    const std::vector<int> positions = OutputPositions(*assignment, withGroup2);
    std::vector<const char*> names(positions.size());
    for (size_t c = 0; c < positions.size(); ++c)
        names[static_cast<size_t>(positions[c])] = SpeakerName(assignment->speakers[c]);
    std::string text;
    for (const char* name : names)
        text += (text.empty() ? "" : " ") + std::string(name);
    return text;
}
