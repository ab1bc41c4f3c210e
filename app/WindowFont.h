#pragma once

#include <QFont>

// The window's font: "MS Sans Serif" at 8 points (11 pixels, 13 pixels of text height). Where that face
// is missing, the installed sans-serif face and pixel size whose text height comes closest to 13 pixels;
// among equals the narrowest, so that the captions fit the boxes laid out for the original.
QFont ChooseWindowFont();

inline constexpr int kWindowTextHeight = 13;
