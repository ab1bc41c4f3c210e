#pragma once

#include "run/InputKind.h"

// The rows of the input-kind table, each defined in its kind's own file.
extern const TInputKindRow kBareAobKind;
extern const TInputKindRow kProgramStreamKind;
extern const TInputKindRow kDvdAudioKind;
extern const TInputKindRow kDvdVideoKind;
extern const TInputKindRow kRawOrWaveKind;
