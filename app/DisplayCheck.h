#pragma once

// Whether the window can be shown. Qt's X11 platform ends the program with an abort and a core dump when
// it cannot reach the X server, so the program tries the connection itself first. Only the case where Qt
// would use X11 alone is checked (no platform chosen, or "xcb"); any other platform ("offscreen",
// "wayland", a list of several) is left to Qt.
bool DisplayReachable(int argc, char** argv);
