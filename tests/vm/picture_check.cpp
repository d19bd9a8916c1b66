// Compares a picture taken from a real framebuffer (a QEMU screendump, or the device memory read
// back in the guest) with the double-precision reference of the clip's first frame, or with
// --frames N of any one of its first N frames (a clip whose frames alternate between pictures).
//
//   vm_picture_check --clip FILE --quant dither5|generic5|exact8 [--frames N] --ppm FILE
//   vm_picture_check --clip FILE --quant ... --raw FILE --layout bgr565|bgr888 --stride N
//                    --size WxH
//   vm_picture_check --not-black FILE.ppm
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "reference.h"
#include "y4m.h"

namespace {

struct Picture {
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bool read_ppm(const char* path, Picture* p) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    unsigned maxval = 0;
    bool ok = std::fscanf(f, "P6 %u %u %u", &p->width, &p->height, &maxval) == 3 && maxval == 255 &&
              std::fgetc(f) != EOF;
    if (ok) {
        p->rgb.resize(size_t{p->width} * p->height * 3);
        ok = std::fread(p->rgb.data(), 1, p->rgb.size(), f) == p->rgb.size();
    }
    std::fclose(f);
    return ok;
}

uint8_t expand(unsigned value, unsigned bits) {
    return static_cast<uint8_t>(bits == 5 ? (value << 3 | value >> 2) : (value << 2 | value >> 4));
}

// Blue-first device memory as RGB, with the same bit replication the display would use.
bool read_raw(const char* path, const std::string& layout, unsigned stride, unsigned width,
              unsigned height, Picture* p) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::vector<uint8_t> mem(size_t{stride} * height);
    bool ok = std::fread(mem.data(), 1, mem.size(), f) == mem.size();
    std::fclose(f);
    if (!ok) return false;
    p->width = width;
    p->height = height;
    p->rgb.resize(size_t{width} * height * 3);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            uint8_t* out = &p->rgb[(size_t{y} * width + x) * 3];
            const uint8_t* in = &mem[size_t{y} * stride];
            if (layout == "bgr565") {
                unsigned px = in[x * 2] | in[x * 2 + 1] << 8;
                out[0] = expand(px & 31, 5);
                out[1] = expand(px >> 5 & 63, 6);
                out[2] = expand(px >> 11 & 31, 5);
            } else {
                out[0] = in[x * 4];
                out[1] = in[x * 4 + 1];
                out[2] = in[x * 4 + 2];
            }
        }
    }
    return true;
}

const char* option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* path = option(argc, argv, "--not-black")) {
        Picture p;
        if (!read_ppm(path, &p)) {
            std::fprintf(stderr, "cannot read %s\n", path);
            return 2;
        }
        for (uint8_t v : p.rgb)
            if (v) return 0;
        std::printf("%s is black\n", path);
        return 1;
    }
    const char* clip_path = option(argc, argv, "--clip");
    const char* quant_name = option(argc, argv, "--quant");
    if (!clip_path || !quant_name) {
        std::fprintf(stderr, "usage: see the comment at the top of tests/vm/picture_check.cpp\n");
        return 2;
    }
    Y4mClip clip;
    std::string error;
    if (!read_y4m(clip_path, &clip, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    Quantisation quant = std::strcmp(quant_name, "exact8") == 0     ? kExact8
                         : std::strcmp(quant_name, "generic5") == 0 ? kGeneric5
                                                                    : kDithered5;
    Picture p;
    bool read = false;
    if (const char* ppm = option(argc, argv, "--ppm")) {
        read = read_ppm(ppm, &p);
    } else if (const char* raw = option(argc, argv, "--raw")) {
        unsigned w = 0, h = 0;
        const char* size = option(argc, argv, "--size");
        const char* stride = option(argc, argv, "--stride");
        const char* layout = option(argc, argv, "--layout");
        read = size && stride && layout && std::sscanf(size, "%ux%u", &w, &h) == 2 &&
               read_raw(raw, layout, static_cast<unsigned>(std::atoi(stride)), w, h, &p);
    }
    if (!read) {
        std::fprintf(stderr, "cannot read the picture\n");
        return 2;
    }
    const char* frames_text = option(argc, argv, "--frames");
    const unsigned frames = frames_text ? static_cast<unsigned>(std::atoi(frames_text)) : 1;
    if (frames == 0 || frames > clip.frames.size()) {
        std::fprintf(stderr, "the clip has no %u frames\n", frames);
        return 2;
    }
    // A torn picture, part one frame and part another, matches none of them.
    std::string described;
    for (unsigned frame = 0; frame < frames; ++frame) {
        Comparison c = compare_with_reference(clip, frame, RgbView{p.width, p.height, p.rgb.data()},
                                              quant, Field::both);
        if (c.outside == 0 && c.compared > 0) {
            std::printf("%s%s\n",
                        frames > 1 ? ("frame " + std::to_string(frame) + ": ").c_str() : "",
                        describe(c).c_str());
            return 0;
        }
        described += (frame ? "; " : "") + describe(c);
    }
    std::printf("%s\n", described.c_str());
    return 1;
}
