#pragma once

#include <string>
#include <vector>

struct ProgramResult {
    int status = -1; // exit status, or 128 + signal
    std::string standardError;
};

// Runs a program with its standard input from /dev/null (no terminal), standard output discarded, and
// standard error captured.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);
