// Reading the configuration file's text, refusing what is not a small regular file.
#pragma once

#include <cstddef>
#include <string>

// Longest configuration line, without its newline.
constexpr size_t kMaxConfigLine = 1023;
// Largest configuration file read.
constexpr size_t kMaxConfigBytes = 1024 * 1024;

// Reads the whole file at path (links followed) into *text. False, after printing a one-line
// reason, when it cannot be opened, is not a regular file or is larger than kMaxConfigBytes.
bool read_config_text(const char* path, std::string* text);
