// Reads YUV4MPEG2 clips as the encoder wrote them, for comparison with what the driver shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Y4mClip {
    unsigned width = 0;
    unsigned height = 0;
    unsigned h_factor = 1;  // chroma subsampling across a line
    unsigned v_factor = 1;  // lines per chroma line
    unsigned chroma_width = 0;
    unsigned chroma_height = 0;
    std::vector<std::vector<uint8_t>> frames;  // each: Y plane, then U, then V, rows packed

    const uint8_t* y(unsigned frame) const { return frames[frame].data(); }
    const uint8_t* u(unsigned frame) const { return y(frame) + width * height; }
    const uint8_t* v(unsigned frame) const { return u(frame) + chroma_width * chroma_height; }
};

// False, with a one-line reason, when the file cannot be read or is not a planar 8-bit clip.
bool read_y4m(const std::string& path, Y4mClip* clip, std::string* error);
