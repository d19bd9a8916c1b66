#include "runtime/pattern_source.h"

#include <cstring>
#include <vector>

#include "runtime/frame_counter.h"
#include "runtime/frame_slot.h"

namespace {
// Every pattern keeps rows precomputed and copies them, so generating a frame costs little more
// than writing its bytes.
enum class pattern { bars, ramps, moving };

// 75% colour bars in limited-range BT.601: white, yellow, cyan, green, magenta, red, blue, black.
constexpr uint8_t kBarY[8] = {180, 162, 131, 112, 84, 65, 35, 16};
constexpr uint8_t kBarU[8] = {128, 44, 156, 72, 184, 100, 212, 128};
constexpr uint8_t kBarV[8] = {128, 142, 44, 58, 198, 212, 114, 128};
// Stripe period of the moving pattern, in pixels, and its speed in pixels per frame.
constexpr uint32_t kPeriod = 128;
constexpr uint32_t kSpeed = 4;
// Marks a slot's planes as already holding a static pattern's samples.
constexpr uint64_t kStaticContent = 1;
constexpr uint64_t kStaticChroma = 2;

uint8_t ramp(uint32_t i, uint32_t n, uint8_t lo, uint8_t hi) {
    return static_cast<uint8_t>(lo + (n > 1 ? static_cast<uint64_t>(i) * (hi - lo) / (n - 1) : 0));
}

class pattern_source : public media_source {
  public:
    pattern_source(pattern kind, const item_description& spec, const frame_layout& layout)
        : kind_(kind) {
        format_.layout = layout;
        format_.field_flags = spec.field_flags;
        format_.rate_num = spec.fps_num;
        format_.rate_den = spec.fps_den;
        format_.frame_limit = spec.frames;
        format_.skippable = true;
        build_rows();
    }

    fill_status fill(vexa_frame_slot* slot, uint64_t index) override {
        const frame_layout& l = format_.layout;
        if (frame_slot_prepare(slot, l, format_.field_flags, vexa_next_frame_id()) != 0)
            return fill_status::failed;
        uint8_t* y = frame_slot_plane(slot, 0);
        uint8_t* u = frame_slot_plane(slot, 1);
        uint8_t* v = frame_slot_plane(slot, 2);
        if (kind_ == pattern::moving) {
            for (uint32_t row = 0; row < l.height; ++row) {
                uint64_t shift = (row + index * kSpeed) % kPeriod;
                std::memcpy(y + static_cast<uint64_t>(row) * l.y_stride, y_rows_[0].data() + shift,
                            l.width);
            }
            draw_frame_counter(y, l.y_stride, l.width, l.height, index);
            if (slot->content_key != kStaticChroma) {
                write_chroma(u, v);
                slot->content_key = kStaticChroma;
            }
            return fill_status::frame;
        }
        if (slot->content_key == kStaticContent) return fill_status::frame;
        const size_t bands = y_rows_.size();
        for (uint32_t row = 0; row < l.height; ++row)
            std::memcpy(y + static_cast<uint64_t>(row) * l.y_stride,
                        y_rows_[row * bands / l.height].data(), l.width);
        write_chroma(u, v);
        slot->content_key = kStaticContent;
        return fill_status::frame;
    }

  private:
    void write_chroma(uint8_t* u, uint8_t* v) {
        const frame_layout& l = format_.layout;
        const size_t bands = u_rows_.size();
        for (uint32_t row = 0; row < l.chroma_lines; ++row) {
            const size_t band = row * bands / l.chroma_lines;
            std::memcpy(u + static_cast<uint64_t>(row) * l.c_stride, u_rows_[band].data(),
                        l.chroma_width);
            std::memcpy(v + static_cast<uint64_t>(row) * l.c_stride, v_rows_[band].data(),
                        l.chroma_width);
        }
    }

    void build_rows() {
        const uint32_t w = format_.layout.width, cw = format_.layout.chroma_width;
        const uint8_t hf = format_.layout.h_factor;
        switch (kind_) {
            case pattern::bars: {
                y_rows_.assign(1, std::vector<uint8_t>(w));
                u_rows_.assign(1, std::vector<uint8_t>(cw));
                v_rows_.assign(1, std::vector<uint8_t>(cw));
                for (uint32_t x = 0; x < w; ++x) y_rows_[0][x] = kBarY[x * 8 / w];
                for (uint32_t x = 0; x < cw; ++x) {
                    uint32_t bar = static_cast<uint32_t>(static_cast<uint64_t>(x) * hf * 8 / w);
                    if (bar > 7) bar = 7;
                    u_rows_[0][x] = kBarU[bar];
                    v_rows_[0][x] = kBarV[bar];
                }
                break;
            }
            case pattern::ramps: {
                // Three bands: a grey ramp, then a U ramp, then a V ramp.
                y_rows_.assign(3, std::vector<uint8_t>(w));
                u_rows_.assign(3, std::vector<uint8_t>(cw, 128));
                v_rows_.assign(3, std::vector<uint8_t>(cw, 128));
                for (uint32_t x = 0; x < w; ++x) {
                    y_rows_[0][x] = ramp(x, w, 16, 235);
                    y_rows_[1][x] = y_rows_[2][x] = 128;
                }
                for (uint32_t x = 0; x < cw; ++x) {
                    u_rows_[1][x] = ramp(x, cw, 16, 240);
                    v_rows_[2][x] = ramp(x, cw, 16, 240);
                }
                break;
            }
            case pattern::moving: {
                // One row longer than the frame by a period: each line copies it at a shift.
                y_rows_.assign(1, std::vector<uint8_t>(w + kPeriod));
                for (uint32_t x = 0; x < w + kPeriod; ++x) {
                    uint32_t phase = x % kPeriod;
                    uint32_t tri = phase < kPeriod / 2 ? phase : kPeriod - phase;
                    y_rows_[0][x] = static_cast<uint8_t>(16 + tri * 219 / (kPeriod / 2));
                }
                u_rows_.assign(1, std::vector<uint8_t>(cw));
                v_rows_.assign(1, std::vector<uint8_t>(cw));
                for (uint32_t x = 0; x < cw; ++x) {
                    u_rows_[0][x] = ramp(x, cw, 64, 192);
                    v_rows_[0][x] = ramp(cw - 1 - x, cw, 64, 192);
                }
                break;
            }
        }
    }

    pattern kind_;
    std::vector<std::vector<uint8_t>> y_rows_, u_rows_, v_rows_;
};
}  // namespace

std::unique_ptr<media_source> pattern_source_open(const item_description& spec,
                                                  std::string* error) {
    pattern kind;
    if (spec.name == "bars") {
        kind = pattern::bars;
    } else if (spec.name == "ramps") {
        kind = pattern::ramps;
    } else if (spec.name == "moving") {
        kind = pattern::moving;
    } else {
        *error = "unknown pattern '" + spec.name + "' (bars, ramps, moving)";
        return nullptr;
    }
    frame_layout layout;
    if (frame_layout_compute(spec.width, spec.height, spec.h_factor, spec.v_factor, 16, &layout,
                             error) != 0)
        return nullptr;
    return std::make_unique<pattern_source>(kind, spec, layout);
}
