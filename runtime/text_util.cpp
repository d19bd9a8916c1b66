// Line handling for name=value texts.
#include <cstring>

#include "runtime/runtime_api.h"

namespace {
bool is_blank(char c) { return c == ' ' || c == '\t'; }

char* trim(char* begin, char* end) {
    while (begin < end && is_blank(*begin)) ++begin;
    while (end > begin && is_blank(end[-1])) --end;
    *end = '\0';
    return begin;
}
}  // namespace

void chomp(char* line) {
    if (!line) return;
    size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
        line[--length] = '\0';
}

void divide_name_equ_value_pair(char* line, char** name, char** value) {
    *name = nullptr;
    *value = nullptr;
    if (!line) return;
    char* equals = std::strchr(line, '=');
    if (!equals) return;
    char* const line_end = equals + std::strlen(equals);
    char* const n = trim(line, equals);
    if (*n == '\0') return;
    *name = n;
    *value = trim(equals + 1, line_end);
}
