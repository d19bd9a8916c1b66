// The text of a media item: "pattern:NAME[,opt...]", or a path or URL (a YUV4MPEG2 stream, or a
// video file or stream) followed by the same options after a comma.
#pragma once

#include <cstdint>
#include <string>

struct item_description {
    enum class kind { pattern, stream };
    kind type = kind::pattern;
    std::string name;  // pattern name or stream path
    uint32_t width = 1280, height = 720;
    bool size_given = false;
    uint32_t fps_num = 30, fps_den = 1;
    bool fps_given = false;
    uint8_t h_factor = 2, v_factor = 2;  // 4:2:0
    bool chroma_given = false;
    uint8_t field_flags = 0;
    uint64_t frames = 0;  // 0: no limit
    // Video files and streams only.
    bool loop = false;                           // replay from the start, without a break
    uint64_t start_us = 0;                       // where play begins
    uint32_t scale_width = 0, scale_height = 0;  // size=WxH: every picture scaled to it
};

// 0 on success; -1 with a short reason in *error.
int item_description_parse(const std::string& item, item_description* out, std::string* error);
// Parses a decimal number without sign into [1, max]; false when it is not one.
bool parse_positive(const std::string& text, uint64_t max, uint64_t* out);
