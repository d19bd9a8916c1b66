#include "runtime/item_description.h"

#include <sys/stat.h>

#include <vector>

namespace {
std::vector<std::string> split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

bool parse_size(const std::string& text, uint32_t* w, uint32_t* h) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    uint64_t a = 0, b = 0;
    // The frame layout refuses sides above its cap with the reason; here only the form counts.
    if (!parse_positive(text.substr(0, x), UINT32_MAX, &a) ||
        !parse_positive(text.substr(x + 1), UINT32_MAX, &b))
        return false;
    *w = static_cast<uint32_t>(a);
    *h = static_cast<uint32_t>(b);
    return true;
}

// Seconds with up to six decimals, as microseconds; 0 is allowed (the start).
bool parse_seconds(const std::string& text, uint64_t* us) {
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 9 || fraction.size() > 6 ||
        (dot != std::string::npos && fraction.empty()))
        return false;
    for (char c : whole + fraction)
        if (c < '0' || c > '9') return false;
    fraction.resize(6, '0');
    *us = std::stoull(whole) * 1000000 + std::stoull(fraction);
    return true;
}

bool parse_option(const std::string& opt, item_description* s, std::string* error) {
    auto bad = [&](const char* what) {
        *error = std::string("bad ") + what + " '" + opt + "'";
        return false;
    };
    if (opt.rfind("fps=", 0) == 0) {
        std::string v = opt.substr(4);
        size_t slash = v.find('/');
        uint64_t num = 0, den = 1;
        if (!parse_positive(v.substr(0, slash), UINT32_MAX, &num)) return bad("rate");
        if (slash != std::string::npos && !parse_positive(v.substr(slash + 1), UINT32_MAX, &den))
            return bad("rate");
        s->fps_num = static_cast<uint32_t>(num);
        s->fps_den = static_cast<uint32_t>(den);
        s->fps_given = true;
        return true;
    }
    if (opt.rfind("chroma=", 0) == 0) {
        std::string v = opt.substr(7);
        if (v == "444") {
            s->h_factor = 1, s->v_factor = 1;
        } else if (v == "422") {
            s->h_factor = 2, s->v_factor = 1;
        } else if (v == "420") {
            s->h_factor = 2, s->v_factor = 2;
        } else if (v == "411") {
            s->h_factor = 4, s->v_factor = 1;
        } else {
            return bad("chroma");
        }
        s->chroma_given = true;
        return true;
    }
    if (opt == "field=even") {
        s->field_flags = 4;
        return true;
    }
    if (opt == "field=odd") {
        s->field_flags = 4 | 8;
        return true;
    }
    if (opt.rfind("field=", 0) == 0) return bad("field");
    if (opt.rfind("frames=", 0) == 0) {
        if (!parse_positive(opt.substr(7), UINT64_MAX, &s->frames)) return bad("frame count");
        return true;
    }
    if (opt == "loop") {
        s->loop = true;
        return true;
    }
    if (opt.rfind("size=", 0) == 0) {
        if (!parse_size(opt.substr(5), &s->scale_width, &s->scale_height)) return bad("size");
        return true;
    }
    if (opt.rfind("start=", 0) == 0) {
        if (!parse_seconds(opt.substr(6), &s->start_us)) return bad("start");
        return true;
    }
    if (parse_size(opt, &s->width, &s->height)) {
        s->size_given = true;
        return true;
    }
    *error = "unknown option '" + opt + "'";
    return false;
}
}  // namespace

bool parse_positive(const std::string& text, uint64_t max, uint64_t* out) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (max - digit) / 10) return false;
        value = value * 10 + digit;
    }
    if (value == 0) return false;
    *out = value;
    return true;
}

int item_description_parse(const std::string& item, item_description* out, std::string* error) {
    item_description s;
    std::vector<std::string> parts;
    if (item.rfind("pattern:", 0) == 0) {
        s.type = item_description::kind::pattern;
        parts = split(item.substr(8), ',');
        if (parts[0].empty()) {
            *error = "pattern name missing";
            return -1;
        }
    } else {
        s.type = item_description::kind::stream;
        // A path that exists as written keeps any commas it has; otherwise options follow the
        // first comma.
        struct stat st {};
        if (stat(item.c_str(), &st) == 0) {
            parts = {item};
        } else {
            parts = split(item, ',');
        }
        if (parts[0].empty()) {
            *error = "no item";
            return -1;
        }
    }
    s.name = parts[0];
    for (size_t i = 1; i < parts.size(); ++i) {
        if (!parse_option(parts[i], &s, error)) return -1;
    }
    if (s.type == item_description::kind::stream && (s.size_given || s.chroma_given)) {
        *error = "size and chroma of a stream come from its header";
        return -1;
    }
    if (s.type != item_description::kind::stream && (s.loop || s.start_us || s.scale_width)) {
        *error = "loop, start= and size= are for video files and streams";
        return -1;
    }
    *out = s;
    return 0;
}
