#pragma once

#include "run/RunControl.h"
#include "run/RunOutcome.h"

#include <cstdint>

// The run a request asks for, as a host drives it: Execute once, and meanwhile Control() for STOP!, the
// stop answers and interrupts. The gauge counts GaugeBytesPerStep() bytes of input a step.
class TRun {
public:
    virtual ~TRun() = default;
    virtual TRunResult Execute() = 0;
    virtual TRunControl& Control() = 0;
    virtual int64_t GaugeBytesPerStep() const { return 1; }
};
