#pragma once

#include "run/InputKind.h"

#include <QString>

// What the window makes of an input name, by the same rule as every host: a folder that holds no disc is
// no input (the run says so when Process... is pressed).
// nullptr for an input that is refused as it is recognised.
const TInputKindRow* InputKindOf(const QString& name);

// The output proposed for an input: a disc's own default name beside the disc, otherwise the input's name
// with a WAVE extension. A disc that cannot be read gets the latter, so that Process... says what is wrong.
QString ProposedOutputName(const QString& input, const TInputKindRow* kind);

// Outputs go where the user can write: `folder` itself, else (a mounted disc) the music folder, else home.
QString WritableFolder(const QString& folder);
// `output`, or where its folder is not writable, the same name in WritableFolder's choice.
QString InWritableFolder(const QString& output);
