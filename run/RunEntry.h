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
// longest title's LABEL-tTT.wav.
std::string ProposeOutputFor(const std::string& input, TInputKind kind);

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
