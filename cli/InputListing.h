#pragma once

#include "run/InputKind.h"

#include <string>

// What `oxlip-convert --list` says of one input: raw LPCM, a WAVE file whose byte pairs are swapped, a
// program stream with every audio track, or a disc with its titles, chapters and audio streams. False
// (with `text` the reason) when the input cannot be read.
bool DescribeInput(const std::string& input, std::string& text);

// The same for --list --json: one line holding one JSON object, {"input": ..., "kind": ..., ...}, or
// {"input": ..., "error": ...} when the input cannot be read (false, with `error` the reason).
bool DescribeInputJson(const std::string& input, std::string& line, std::string& error);
