// JSON string quoting for control replies.
#pragma once

#include <string>

// Appends text as a quoted JSON string: quotes, backslashes and control characters escaped,
// invalid UTF-8 replaced by U+FFFD so every reply stays valid JSON.
void json_append_string(std::string* out, const std::string& text);
