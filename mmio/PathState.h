#pragma once

#include <string>

// What a name stands for on disk, as the checks before a run need it. Unknown when the system would not
// say (a folder that may not be searched): the open that follows then tells the user why.
enum class TPathState { File, Folder, Missing, Unknown };

TPathState StateOfPath(const std::string& name);

// An existing file that is not a folder (any other kind is left to the open to refuse).
inline bool IsExistingFile(const std::string& name) {
    return StateOfPath(name) == TPathState::File;
}

// Nothing of that name at all, its trailing slashes aside (a link that leads nowhere is something).
bool NothingAt(const std::string& name);
