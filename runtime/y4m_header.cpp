#include "runtime/y4m_header.h"

#include <vector>

#include "runtime/frame_layout.h"
#include "runtime/item_description.h"

namespace {
std::vector<std::string> tokens(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        size_t j = line.find(' ', i);
        if (j == std::string::npos) j = line.size();
        if (j > i) out.push_back(line.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

bool printable(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

int colour_space(const std::string& c, y4m_format* f) {
    if (c == "444") {
        f->h_factor = 1, f->v_factor = 1;
    } else if (c == "422") {
        f->h_factor = 2, f->v_factor = 1;
    } else if (c == "420" || c == "420jpeg" || c == "420mpeg2" || c == "420paldv") {
        f->h_factor = 2, f->v_factor = 2;
    } else if (c == "411") {
        f->h_factor = 4, f->v_factor = 1;
    } else if (c == "mono") {
        f->h_factor = 2, f->v_factor = 2;
        f->mono = true;
    } else {
        return -1;
    }
    return 0;
}
}  // namespace

int y4m_parse_header(const std::string& line, y4m_format* out, std::string* error) {
    std::vector<std::string> t = tokens(line);
    if (t.empty() || t[0] != "YUV4MPEG2" || line.compare(0, 9, "YUV4MPEG2") != 0) {
        *error = "not a YUV4MPEG2 stream (bad magic)";
        return -1;
    }
    if (!printable(line)) {
        *error = "header holds non-text bytes";
        return -1;
    }
    y4m_format f;
    bool have_w = false, have_h = false;
    for (size_t i = 1; i < t.size(); ++i) {
        const char tag = t[i][0];
        const std::string value = t[i].substr(1);
        uint64_t n = 0, d = 0;
        switch (tag) {
            case 'W':
            case 'H':
                if (!parse_positive(value, UINT32_MAX, &n) || n > kMaxFrameSide) {
                    *error = std::string("bad ") + (tag == 'W' ? "width" : "height") + " '" +
                             value + "' (1.." + std::to_string(kMaxFrameSide) + ")";
                    return -1;
                }
                (tag == 'W' ? f.width : f.height) = static_cast<uint32_t>(n);
                (tag == 'W' ? have_w : have_h) = true;
                break;
            case 'F': {
                size_t colon = value.find(':');
                if (colon == std::string::npos ||
                    !parse_positive(value.substr(0, colon), UINT32_MAX, &n) ||
                    !parse_positive(value.substr(colon + 1), UINT32_MAX, &d)) {
                    *error = "bad frame rate '" + value + "'";
                    return -1;
                }
                f.rate_num = static_cast<uint32_t>(n);
                f.rate_den = static_cast<uint32_t>(d);
                break;
            }
            case 'C':
                if (colour_space(value, &f) != 0) {
                    *error = "unknown colour space '" + value + "'";
                    return -1;
                }
                break;
            case 'X':
                // The one extension that changes the picture: the samples' range.
                if (value == "COLORRANGE=FULL") f.full_range = true;
                if (value == "COLORRANGE=LIMITED") f.full_range = false;
                break;
            case 'I':
            case 'A':
                // Interlacing and aspect do not change how frames are read.
                break;
            default:
                *error = "unknown header field '" + t[i] + "'";
                return -1;
        }
    }
    if (!have_w || !have_h) {
        *error = std::string("header has no ") + (!have_w ? "width (W)" : "height (H)");
        return -1;
    }
    *out = f;
    return 0;
}

bool y4m_frame_header_ok(const std::string& line) {
    if (line.compare(0, 5, "FRAME") != 0) return false;
    if (line.size() > 5 && line[5] != ' ') return false;
    return printable(line);
}

uint64_t y4m_frame_bytes(const y4m_format& f) {
    const uint64_t luma = static_cast<uint64_t>(f.width) * f.height;
    if (f.mono) return luma;
    const uint64_t cw = (f.width + f.h_factor - 1) / f.h_factor;
    const uint64_t ch = (f.height + f.v_factor - 1) / f.v_factor;
    return luma + 2 * cw * ch;
}
