#pragma once

#include <string>
#include <vector>

// One input of a call with the output it is to be written to, or the reason it is not converted.
struct TPlannedConversion {
    std::string input;
    std::string output;
    std::string refusal; // empty when the input is to be converted
};

// Works out every input's output before anything is converted, so that one call never overwrites its
// own inputs or writes one output twice: an output that is another input of the call (the same file,
// under any name), or that several inputs would write, is refused for those inputs. Default names end in
// .flac for FLAC outputs.
std::vector<TPlannedConversion> PlanConversions(const std::vector<std::string>& inputs,
                                                const std::string& output, bool flac = false);
