#pragma once

#include "disc/InputKind.h"

#include <QString>

// What the window makes of an input name. A folder can only be a disc (the disc reader says so when it is
// none); anything else is decided by its content.
TInputKind InputKindOf(const QString& name);

// The output proposed for an input: a disc's own default name beside the disc, otherwise the input's name
// with a WAVE extension. A disc that cannot be read gets the latter, so that Process... says what is wrong.
QString ProposedOutputName(const QString& input, TInputKind kind);
