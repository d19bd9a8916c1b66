#include "runtime/ffmpeg/picture_writer.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "runtime/frame_slot.h"

namespace {
uint8_t* plane(vexa_frame_slot* slot, int p) {
    const frame_layout& l = slot->layout;
    return slot->data + (p == 0 ? l.y_offset : p == 1 ? l.u_offset : l.v_offset);
}

// Rows start on cache-line boundaries in the slot: libswscale's vector code writes whole blocks.
constexpr uint32_t kRowAlign = 64;

struct native_format {
    AVPixelFormat format;
    uint8_t h_factor, v_factor;
    bool full_range;
};

// The layouts the pixel code converts directly. The J formats are the same layouts in full range:
// the colour tables follow the range, so they need no conversion either.
constexpr native_format kNative[] = {
    {AV_PIX_FMT_YUV420P, 2, 2, false}, {AV_PIX_FMT_YUV422P, 2, 1, false},
    {AV_PIX_FMT_YUV444P, 1, 1, false}, {AV_PIX_FMT_YUV411P, 4, 1, false},
    {AV_PIX_FMT_YUVJ420P, 2, 2, true}, {AV_PIX_FMT_YUVJ422P, 2, 1, true},
    {AV_PIX_FMT_YUVJ444P, 1, 1, true}, {AV_PIX_FMT_YUVJ411P, 4, 1, true},
};

AVPixelFormat layout_format(uint8_t h, uint8_t v) {
    if (h == 1) return AV_PIX_FMT_YUV444P;
    if (h == 4) return AV_PIX_FMT_YUV411P;
    return v == 2 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV422P;
}

const int* sws_matrix(colour_matrix m) {
    return sws_getCoefficients(m == colour_matrix::bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
}
}  // namespace

picture_plan picture_plan_for(AVPixelFormat format, AVColorSpace space, AVColorRange range) {
    picture_plan plan;
    // BT.2020 has no table of its own: BT.709 is the nearer of the two.
    plan.colour.matrix =
        space == AVCOL_SPC_BT709 || space == AVCOL_SPC_BT2020_NCL || space == AVCOL_SPC_BT2020_CL
            ? colour_matrix::bt709
            : colour_matrix::bt601;
    plan.colour.full_range = range == AVCOL_RANGE_JPEG;
    for (const native_format& n : kNative) {
        if (n.format != format) continue;
        plan.native = true;
        plan.h_factor = n.h_factor;
        plan.v_factor = n.v_factor;
        plan.target = layout_format(n.h_factor, n.v_factor);
        plan.colour.full_range = plan.colour.full_range || n.full_range;
        return plan;
    }
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    if (!d) return plan;
    if (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) {
        // Every pixel has its own colour: keep it all.
        plan.h_factor = plan.v_factor = 1;
        plan.from_rgb = true;
        plan.colour = colour_signal{};
    } else if (d->nb_components <= 2) {
        // Grey (with or without alpha): chroma is flat, the smallest layout carries it.
        plan.h_factor = plan.v_factor = 2;
        if (range == AVCOL_RANGE_UNSPECIFIED) plan.colour.full_range = true;
    } else {
        // The nearest layout that keeps every chroma sample the source has.
        const int cw = d->log2_chroma_w, ch = d->log2_chroma_h;
        if (cw == 0) {
            plan.h_factor = plan.v_factor = 1;  // 4:4:4 and 4:4:0
        } else if (cw == 1) {
            plan.h_factor = 2;
            plan.v_factor = ch == 0 ? 1 : 2;  // NV12, NV16, P010 and the deep 4:2:x formats
        } else {
            plan.h_factor = ch == 0 ? 4 : 2;  // 4:1:1 deep, or 4:1:0 up to 4:2:0
            plan.v_factor = ch == 0 ? 1 : 2;
        }
    }
    plan.target = layout_format(plan.h_factor, plan.v_factor);
    return plan;
}

picture_writer::picture_writer(const ffmpeg_host* host, uint8_t field_flags, uint32_t out_width,
                               uint32_t out_height)
    : host_(host), field_flags_(field_flags), out_width_(out_width), out_height_(out_height) {}

picture_writer::~picture_writer() { sws_freeContext(sws_); }

int picture_writer::write(const AVFrame* pic, vexa_frame_slot* slot, std::string* error) {
    const AVPixelFormat format = static_cast<AVPixelFormat>(pic->format);
    const picture_plan plan = picture_plan_for(format, pic->colorspace, pic->color_range);
    const uint32_t w = out_width_ ? out_width_ : static_cast<uint32_t>(pic->width);
    const uint32_t h = out_height_ ? out_height_ : static_cast<uint32_t>(pic->height);
    frame_layout layout;
    if (pic->width <= 0 || pic->height <= 0 ||
        host_->layout_compute(w, h, plan.h_factor, plan.v_factor, kRowAlign, &layout, error) != 0) {
        if (pic->width <= 0 || pic->height <= 0) *error = "picture without a size";
        return -1;
    }
    if (host_->slot_prepare(slot, layout, field_flags_, host_->next_frame_id()) != 0) {
        *error = "no frame buffer for the picture";
        return -1;
    }
    uint8_t* dst[4] = {plane(slot, 0), plane(slot, 1), plane(slot, 2), nullptr};
    int dst_stride[4] = {static_cast<int>(layout.y_stride), static_cast<int>(layout.c_stride),
                         static_cast<int>(layout.c_stride), 0};
    slot->content_key = 0;
    if (plan.native && w == static_cast<uint32_t>(pic->width) &&
        h == static_cast<uint32_t>(pic->height)) {
        av_image_copy_plane(dst[0], dst_stride[0], pic->data[0], pic->linesize[0],
                            static_cast<int>(layout.width), static_cast<int>(layout.height));
        for (int p = 1; p < 3; ++p)
            av_image_copy_plane(dst[p], dst_stride[p], pic->data[p], pic->linesize[p],
                                static_cast<int>(layout.chroma_width),
                                static_cast<int>(layout.chroma_lines));
        return 0;
    }
    sws_ = sws_getCachedContext(sws_, pic->width, pic->height, format, static_cast<int>(w),
                                static_cast<int>(h), plan.target, SWS_BICUBIC, nullptr, nullptr,
                                nullptr);
    if (!sws_) {
        *error = std::string("cannot convert pictures of format ") +
                 (av_get_pix_fmt_name(format) ? av_get_pix_fmt_name(format) : "unknown");
        return -1;
    }
    // YUV keeps its matrix; RGB becomes BT.601. The samples land in the range the item's colour
    // tables were chosen for, whatever a single picture says.
    const int src_range = plan.from_rgb ? 1 : plan.colour.full_range;
    const int dst_range = colour_.full_range;
    const int* matrix = sws_matrix(plan.colour.matrix);
    sws_setColorspaceDetails(sws_, matrix, src_range, matrix, dst_range, 0, 1 << 16, 1 << 16);
    if (sws_scale(sws_, pic->data, pic->linesize, 0, pic->height, dst, dst_stride) <= 0) {
        *error = "picture conversion failed";
        return -1;
    }
    return 0;
}
