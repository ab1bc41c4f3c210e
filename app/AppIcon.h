#pragma once

#include <QIcon>
#include <QImage>

// The program's icon: a waveform of 20-bit samples on a rounded tile. Drawn rather than stored so that
// every size is sharp, and so that the installed icon files come from the same drawing.
QImage DrawAppIcon(int size);
QIcon AppIcon();
