#pragma once

#include "run/InputKind.h"
#include "run/RunRequest.h"

#include <string>
#include <vector>

// One input of a call with the files its run would write, or the reason it is not converted.
struct TPlannedConversion {
    TRunRequest request;
    TInputPlan plan;     // its outputs: a file input's one output; a disc's title or chapter files
    std::string refusal; // empty when the input is to be converted
};

// Works out every output of every input before anything is converted, so that one call never overwrites
// its own inputs or writes one output twice: an input is refused when one of its outputs is another input
// of the call (the same file, under any name), or is written by an earlier input (the earlier converts);
// also an input that could not be recognised, as the run would refuse it.
std::vector<TPlannedConversion> PlanConversions(const std::vector<TRunRequest>& requests);
