#pragma once

#include <QIcon>

// The bitmap buttons' glyphs. Each image holds the normal glyph and, beside it, the one shown while the
// button is disabled (16 x 16 pixels each, 18 x 18 for STOP!).
QIcon OpenGlyph();
QIcon SaveGlyph();
QIcon ProcessGlyph();
QIcon StopGlyph();
