#pragma once

#include "output/OutputFormat.h"
#include "run/RunRequest.h"

#include <memory>
#include <string>
#include <vector>

// The output proposed for a file input in `format`: take1.raw gives take1.wav (or take1.flac), an input
// already of the format's extension gets "_new" (take1.wav gives take1_new.wav).
std::string ProposeOutputName(const std::string& input, const TOutputFormatRow& format);

// A file input's output when the request names none: beside the input, as proposed, unless the input lies
// in a disc's folder: a disc is read, not written to (it is often read-only), so the output goes into
// request.folder, where a disc's outputs go.
std::string DefaultFileOutput(const TRunRequest& request);

// What a disc's run writes for title `title`: its file (the request's output, else the default name in the
// request's folder), or one per chapter (track) from `first` to `last` in the folder the request gives.
std::vector<std::string> DiscPartNames(const TRunRequest& request, const std::string& label, int title,
                                       int first, int last);

// A file input opened for --list; nullptr with the reason in `text` when it cannot be.
std::unique_ptr<class TMMIOFile> OpenForListing(const std::string& input, std::string& text);

// The planning of a file input (raw, swapped WAVE, program stream): its one output.
void PlanFileOutput(const TRunRequest& request, struct TInputPlan& plan);
