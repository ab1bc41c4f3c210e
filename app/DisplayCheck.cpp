#include "DisplayCheck.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <xcb/xcb.h>

namespace {

// The platform named by -platform or QT_QPA_PLATFORM, the former winning as it does in Qt.
std::string ChosenPlatform(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    const char* variable = std::getenv("QT_QPA_PLATFORM");
    return variable ? variable : "";
}

bool WaylandSession() {
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return session && std::strcmp(session, "wayland") == 0 && display && *display;
}

} // namespace

bool DisplayReachable(int argc, char** argv) {
    const std::string platform = ChosenPlatform(argc, argv);
    if (platform.rfind("xcb", 0) != 0 && !(platform.empty() && !WaylandSession()))
        return true;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}
