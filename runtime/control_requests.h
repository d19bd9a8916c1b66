// One control request line in, one line of JSON out. Kept apart from the socket so it can be
// exercised (and fuzzed) without one.
#pragma once

#include <cstddef>
#include <string>

// Handles one request (without its line ending) and sets *reply to the JSON reply, without a
// newline. Returns 1 when the request changed the item or the settings (set, start, reset), else 0.
int handle_request_line(const char* line, size_t length, std::string* reply);
