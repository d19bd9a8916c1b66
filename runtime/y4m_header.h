// YUV4MPEG2 stream and frame headers.
#pragma once

#include <cstdint>
#include <string>

struct y4m_format {
    uint32_t width = 0, height = 0;
    uint8_t h_factor = 2, v_factor = 2;   // chroma subsampling; 4:2:0 unless C says otherwise
    bool mono = false;                    // Y only in the stream; chroma shown as 128
    uint32_t rate_num = 0, rate_den = 0;  // 0/0 when the header names no rate
    bool full_range = false;              // XCOLORRANGE=FULL
};

// Longest stream header line accepted, and longest frame header line.
constexpr size_t kY4mMaxHeader = 4096;
constexpr size_t kY4mMaxFrameHeader = 256;

// Parses the stream header line (without its newline). 0 on success; -1 with a short reason.
int y4m_parse_header(const std::string& line, y4m_format* out, std::string* error);
// True for a frame header line (without its newline): "FRAME", optionally followed by parameters.
bool y4m_frame_header_ok(const std::string& line);
// Bytes of one frame as stored in the stream.
uint64_t y4m_frame_bytes(const y4m_format& format);
