// Frame converters: walk the output lines, pick the source luma and chroma lines (vertical
// subsampling, single-field line doubling) and hand each line to the row converter.
#include "pixel/frame_converters.h"

#include "pixel/kernel_table.h"
#include "pixel/row_converters.h"

namespace {

template <typename T>
using typed_row_fn = void (*)(unsigned char*, unsigned char*, unsigned char*, T*, unsigned int,
                              yuv_to_rgb_fp_coefficients);

template <typename T>
constexpr pixel_kind kind_of();
template <>
constexpr pixel_kind kind_of<pixel_rgb565_t>() {
    return pixel_kind::rgb565;
}
template <>
constexpr pixel_kind kind_of<pixel_rgb555_t>() {
    return pixel_kind::rgb555;
}
template <>
constexpr pixel_kind kind_of<pixel_rgb888_t>() {
    return pixel_kind::rgb888;
}
template <>
constexpr pixel_kind kind_of<pixel_rgb24_t>() {
    return pixel_kind::rgb24;
}

// Every line's row: the named converters take the coefficients by value and look the table up on
// each call, a copy and a lookup per line that the frame does not need. The generic 15-bit rows
// stay with their named converters, which announce themselves on first use.
template <typename T>
struct line_row {
    typed_row_fn<T> named;
    pixel_row_fn table;
    void operator()(uint8_t* y, uint8_t* c1, uint8_t* c2, T* dst, unsigned width,
                    const yuv_to_rgb_fp_coefficients& k) const {
        if (table != nullptr) {
            table(y, c1, c2, dst, width, k);
        } else {
            named(y, c1, c2, dst, width, k);
        }
    }
};

template <typename T, bool BlueFirst>
void convert_frame(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                   uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                   uint8_t* v, uint32_t line_length) {
    // A vertical factor of 0 (a subsampling byte of 255) would divide by zero below.
    if ((hfactor != 1 && hfactor != 2 && hfactor != 4) || vfactor == 0) return;

    const yuv_to_rgb_coefficients& table =
        BlueFirst ? standard_yuv_coefficients_srb : standard_yuv_coefficients;
    yuv_to_rgb_fp_coefficients k;
    line_row<T> row{};
    chroma_layout chroma;
    if (hfactor == 1) {
        pixel_yuv_prep_coeff_444<T>(table, &k);
        row.named = &pixel_yuv444_to_rgb<T>;
        chroma = chroma_layout::yuv444;
    } else if (hfactor == 2) {
        pixel_yuv_prep_coeff_422<T>(table, &k);
        row.named = &pixel_yuv422_to_rgb<T>;
        chroma = chroma_layout::yuv422;
    } else {
        pixel_yuv_prep_coeff_411<T>(table, &k);
        row.named = &pixel_yuv411_to_rgb<T>;
        chroma = chroma_layout::yuv411;
    }
    if (kind_of<T>() != pixel_kind::rgb555 || chroma == chroma_layout::yuv422)
        row.table = pixel_kernels().at(kind_of<T>(), chroma).row;
    if (height == 0 || height < 2u * vfactor) return;

    // Never write past a line of the mapping, even when the device's line is shorter than the
    // visible width.
    const uint32_t fits = line_length / sizeof(T);
    const uint32_t w = width < fits ? width : fits;

    uint8_t* const c1_plane = BlueFirst ? v : u;
    uint8_t* const c2_plane = BlueFirst ? u : v;
    const uint32_t chroma_lines = height / vfactor;
    uint8_t* line = dst;
    uint32_t c = 0;
    uint32_t repeat = 0;
    for (uint32_t i = 0; i < height; ++i) {
        const uint8_t flags = layout->field_flags;
        uint32_t yl, cl;
        if (!(flags & FRAME_FIELD_SINGLE)) {
            yl = i;
            cl = c < chroma_lines ? c : chroma_lines - 1;
        } else {
            if (flags & FRAME_FIELD_ODD) {
                yl = i | 1u;
                cl = c | 1u;
            } else {
                yl = (i + 1) & ~1u;
                cl = (c + 1) & ~1u;
            }
            if (yl >= height) yl = height - 2;
            if (cl >= chroma_lines) cl = chroma_lines - 2;
        }
        const uint32_t c1_stride = BlueFirst ? layout->v_stride : layout->u_stride;
        const uint32_t c2_stride = BlueFirst ? layout->u_stride : layout->v_stride;
        row(y + yl * uint32_t{layout->y_stride}, c1_plane + cl * c1_stride,
            c2_plane + cl * c2_stride, reinterpret_cast<T*>(line), w, k);
        line += line_length;
        if (++repeat >= vfactor) {
            ++c;
            repeat = 0;
        }
    }
}

}  // namespace

void frame_yuv_to_rgb565(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb565_t, false>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                         line_length);
}
void frame_yuv_to_bgr565(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb565_t, true>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                        line_length);
}
void frame_yuv_to_rgb555(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb555_t, false>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                         line_length);
}
void frame_yuv_to_bgr555(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb555_t, true>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                        line_length);
}
void frame_yuv_to_rgb888(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb888_t, false>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                         line_length);
}
void frame_yuv_to_bgr888(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                         uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                         uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb888_t, true>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                        line_length);
}
void frame_yuv_to_rgb24(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                        uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                        uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb24_t, false>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                        line_length);
}
void frame_yuv_to_bgr24(uint8_t* dst, const frame_image_shortcuts* layout, uint32_t width,
                        uint32_t height, uint8_t hfactor, uint8_t vfactor, uint8_t* y, uint8_t* u,
                        uint8_t* v, uint32_t line_length) {
    convert_frame<pixel_rgb24_t, true>(dst, layout, width, height, hfactor, vfactor, y, u, v,
                                       line_length);
}
