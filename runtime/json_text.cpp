#include "runtime/json_text.h"

#include <cstdio>

namespace {
// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not one.
size_t utf8_sequence(const std::string& s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    size_t n;
    unsigned min;
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2, min = 0x80;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3, min = 0x800;
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    unsigned code = c & (0x7f >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return n;
}
}  // namespace

void json_append_string(std::string* out, const std::string& text) {
    out->push_back('"');
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t n = utf8_sequence(text, i);
            if (n == 0) {
                out->append("\\ufffd");
                ++i;
            } else {
                out->append(text, i, n);
                i += n;
            }
            continue;
        }
        switch (c) {
            case '"':
                out->append("\\\"");
                break;
            case '\\':
                out->append("\\\\");
                break;
            case '\n':
                out->append("\\n");
                break;
            case '\r':
                out->append("\\r");
                break;
            case '\t':
                out->append("\\t");
                break;
            case '\b':
                out->append("\\b");
                break;
            case '\f':
                out->append("\\f");
                break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out->append(esc);
                } else {
                    out->push_back(static_cast<char>(c));
                }
        }
        ++i;
    }
    out->push_back('"');
}
