#pragma once

#include <string>

// Text as it may reach a terminal: "\r" (the messages' line break) becomes a new line, and every other
// control character, C1 controls and bytes that are not UTF-8 included, is shown escaped (\x1b), so that
// no file name can send an escape sequence to the user's terminal.
std::string ForTerminal(const std::string& text);
