#pragma once

#include "run/ConversionRun.h"
#include "run/InputKind.h"
#include "run/RunControl.h"
#include "run/RunHost.h"
#include "run/RunOutcome.h"
#include "run/RunRequest.h"

#include <concepts>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The run a request asks for, as a host drives it: Execute once, and meanwhile Control() for STOP!, the
// stop answers and interrupts. The gauge counts GaugeBytesPerStep() bytes of input a step.
class TRun {
public:
    virtual ~TRun() = default;
    virtual TRunResult Execute() = 0;
    virtual TRunControl& Control() = 0;
    virtual int64_t GaugeBytesPerStep() const { return 1; }
    TInputKind Kind() const { return kind_; }

protected:
    explicit TRun(TInputKind kind) : kind_(kind) {}

private:
    TInputKind kind_;
};

// The output name proposed for an input of that kind, beside it: take1.raw gives take1.wav, a disc its
// default title's LABEL-tTT.wav.
std::string ProposeOutputFor(const std::string& input, TInputKind kind);

// The files the run of `request` would write, worked out before any run, so that a host can see what its
// runs would write together: a file input's output (the request's, else its default), or a disc's title
// or chapter files. A file input's default lies beside it, as ProposeOutputFor proposes, except for a file
// in a disc's folder: that one goes into request.folder, as a disc's outputs do. Empty for a request that
// its run refuses; for an input refused as it is recognised (unreadable, or not what its name promises),
// `refusal` (when given) says why, as the run would.
std::vector<std::string> PlanOutputs(const TRunRequest& request, std::string* refusal = nullptr);

namespace run_detail {
using TRawRunFactory = std::function<std::unique_ptr<TConversionRun>(const TRunOptions&)>;
std::unique_ptr<TRun> MakeRun(TRunHost& host, const TRunRequest& request, const TRawRunFactory& rawRun);
} // namespace run_detail

// The one way from a request to its run. The input is classified, the options that do not apply to its
// kind are refused (the run then only says so), and the run for the kind is made. The raw run's per-group
// loop is compiled for the host's own type.
template <std::derived_from<TRunHost> Host>
std::unique_ptr<TRun> MakeRun(Host& host, const TRunRequest& request) {
    return run_detail::MakeRun(host, request, [&host](const TRunOptions& options) {
        return std::make_unique<TConversionRun>(host, options);
    });
}
