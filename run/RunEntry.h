#pragma once

#include "run/ConversionRun.h"
#include "run/InputKind.h"
#include "run/Run.h"
#include "run/RunHost.h"
#include "run/RunOutcome.h"
#include "run/RunRequest.h"

#include <concepts>
#include <memory>
#include <string>
#include <vector>

// The input of `request` recognised, and what its run will need opened, once: the files the run would
// write, worked out before any run, so that a host can see what its runs would write together (a file
// input's output, the request's or its default; a disc's title or chapter files). Empty outputs for a
// request that its run refuses; a refused input (unreadable, or not what its name promises) has no kind,
// and the plan's refusal says why, as the run would.
TInputPlan PlanInput(const TRunRequest& request);

// The output name proposed for an input of that kind, beside it, in `format`: take1.raw gives take1.wav, a
// disc its default title's LABEL-tTT.wav.
std::string ProposeOutputFor(const std::string& input, const TInputKindRow& kind,
                             const TOutputFormatRow& format = DefaultOutputFormat());

namespace run_detail {
std::unique_ptr<TRun> MakeRun(TRunHost& host, const TRunRequest& request, TInputPlan plan,
                              const TRawRunFactory& rawRun);
} // namespace run_detail

// The one way from a request to its run, with the plan made for it (PlanInput). The options that do not
// apply to the input's kind are refused (the run then only says so), and the kind's run is made with what
// the plan opened. The raw run's per-group loop is compiled for the host's own type.
template <std::derived_from<TRunHost> Host>
std::unique_ptr<TRun> MakeRun(Host& host, const TRunRequest& request, TInputPlan plan) {
    return run_detail::MakeRun(host, request, std::move(plan), [&host](const TRunRequest& asked) {
        return std::make_unique<TConversionRun>(host, asked);
    });
}

template <std::derived_from<TRunHost> Host>
std::unique_ptr<TRun> MakeRun(Host& host, const TRunRequest& request) {
    return MakeRun(host, request, PlanInput(request));
}
