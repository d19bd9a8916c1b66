#include <cstdio>
#include <cstring>
#include <memory>

#include "y4m.h"

namespace {

struct Factors {
    const char* tag;
    unsigned h, v;
};
// Colour spaces the encoder writes for the planar formats we test; 420 variants differ only in
// chroma siting, which the driver does not look at.
const Factors kFactors[] = {{"444", 1, 1},      {"422", 2, 1},      {"420jpeg", 2, 2},
                            {"420mpeg2", 2, 2}, {"420paldv", 2, 2}, {"420", 2, 2},
                            {"411", 4, 1}};

}  // namespace

bool read_y4m(const std::string& path, Y4mClip* clip, std::string* error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    char header[512];
    if (!std::fgets(header, sizeof header, file.get()) ||
        std::strncmp(header, "YUV4MPEG2 ", 10) != 0) {
        *error = path + " is not a YUV4MPEG2 stream";
        return false;
    }
    *clip = Y4mClip{};
    clip->h_factor = 2;  // the format's default colour space is 420jpeg
    clip->v_factor = 2;
    for (char* token = std::strtok(header + 10, " \n"); token;
         token = std::strtok(nullptr, " \n")) {
        if (token[0] == 'W') clip->width = static_cast<unsigned>(std::atoi(token + 1));
        if (token[0] == 'H') clip->height = static_cast<unsigned>(std::atoi(token + 1));
        if (token[0] != 'C') continue;
        bool known = false;
        for (const Factors& f : kFactors) {
            if (std::strncmp(token + 1, f.tag, std::strlen(f.tag)) == 0) {
                clip->h_factor = f.h;
                clip->v_factor = f.v;
                known = true;
                break;
            }
        }
        if (!known) {
            *error = std::string("unsupported colour space ") + (token + 1);
            return false;
        }
    }
    if (clip->width == 0 || clip->height == 0) {
        *error = path + " has no frame size";
        return false;
    }
    clip->chroma_width = (clip->width + clip->h_factor - 1) / clip->h_factor;
    clip->chroma_height = (clip->height + clip->v_factor - 1) / clip->v_factor;
    size_t frame_bytes =
        size_t{clip->width} * clip->height + 2 * size_t{clip->chroma_width} * clip->chroma_height;
    char line[256];
    while (std::fgets(line, sizeof line, file.get())) {
        if (std::strncmp(line, "FRAME", 5) != 0) {
            *error = path + ": frame marker expected";
            return false;
        }
        std::vector<uint8_t> frame(frame_bytes);
        if (std::fread(frame.data(), 1, frame_bytes, file.get()) != frame_bytes) {
            *error = path + ": cut frame";
            return false;
        }
        clip->frames.push_back(std::move(frame));
    }
    if (clip->frames.empty()) {
        *error = path + " holds no frame";
        return false;
    }
    return true;
}
