#pragma once

#include <string>

// What `oxlip-convert --list` says of one input: raw LPCM, a WAVE file whose byte pairs are swapped, a
// program stream with every audio track, or a disc with its titles, chapters and audio streams. False
// (with `text` the reason) when the input cannot be read.
bool DescribeInput(const std::string& input, std::string& text);
