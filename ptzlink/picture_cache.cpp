// CachePTZImage: the lens-corrected, fixed-size 32-bit copy of the latest PTZ
// picture that the sub-image set-up works on.
#include <algorithm>
#include <vector>

#include "engine_context.h"
#include "engine_steps_internal.h"

namespace qnpl {
namespace {

bool picture_usable(const _vm_screen& p)
{
    if (p.width < 1 || p.height < 1) return false;
    if (p.format == VM_FMT_YUV420) {
        return p.planar.plane[0] && p.planar.plane[1] && p.planar.plane[2] && p.planar.stride[0] >= p.width &&
               p.planar.stride[1] >= p.width / 2 && p.planar.stride[2] >= p.width / 2 && p.width >= 2 &&
               p.height >= 2;
    }
    const int bpp = vm_packed_bytes_per_pixel(p.format);
    const bool known = p.format == VM_FMT_BGR24 || p.format == VM_FMT_BGR24_B || p.format == VM_FMT_BGRX32 ||
                       p.format == VM_FMT_BGRX32_B;
    return known && p.packed.pixels && p.packed.stride >= bpp * p.width;
}

// Bilinear mix in 7-bit fixed point of four samples.
inline int mix(int p00, int p10, int p01, int p11, int fx, int fy)
{
    const int top = (p00 * (128 - fx) + p10 * fx) >> 7;
    const int bottom = (p01 * (128 - fx) + p11 * fx) >> 7;
    return (top * (128 - fy) + bottom * fy) >> 7;
}

inline uint8_t clamp_byte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// One destination pixel from source position (sx, sy) in 1/1024 pixel.
uint32_t sample(const _vm_screen& p, int32_t sx, int32_t sy)
{
    if (sx < 0 || sy < 0) return 0;
    const int ix = sx >> 10, iy = sy >> 10;
    if (ix >= p.width || iy >= p.height) return 0;
    const int fx = (sx >> 3) & 127, fy = (sy >> 3) & 127;
    const int ix1 = std::min(ix + 1, p.width - 1), iy1 = std::min(iy + 1, p.height - 1);
    if (p.format == VM_FMT_YUV420) {
        auto at = [&](int plane, int x, int y) {
            return int(p.planar.plane[plane][int64_t(y) * p.planar.stride[plane] + x]);
        };
        const int Y = mix(at(0, ix, iy), at(0, ix1, iy), at(0, ix, iy1), at(0, ix1, iy1), fx, fy);
        const int cw = p.width / 2, ch = p.height / 2;
        const int cx = std::min(ix / 2, cw - 1), cy = std::min(iy / 2, ch - 1);
        const int cx1 = std::min(cx + 1, cw - 1), cy1 = std::min(cy + 1, ch - 1);
        const int U = mix(at(1, cx, cy), at(1, cx1, cy), at(1, cx, cy1), at(1, cx1, cy1), fx, fy) - 128;
        const int V = mix(at(2, cx, cy), at(2, cx1, cy), at(2, cx, cy1), at(2, cx1, cy1), fx, fy) - 128;
        const int y14 = Y * 16384;
        const uint8_t r = clamp_byte((y14 + 22987 * V + 8192) >> 14);
        const uint8_t g = clamp_byte((y14 - 5636 * U - 11698 * V + 8192) >> 14);
        const uint8_t b = clamp_byte((y14 + 29049 * U + 8192) >> 14);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }
    const int bpp = vm_packed_bytes_per_pixel(p.format);
    const uint8_t* row0 = p.packed.pixels + int64_t(iy) * p.packed.stride;
    const uint8_t* row1 = p.packed.pixels + int64_t(iy1) * p.packed.stride;
    uint32_t out = 0;
    for (int c = 0; c < 3; ++c) {
        const int v = mix(row0[ix * bpp + c], row0[ix1 * bpp + c], row1[ix * bpp + c], row1[ix1 * bpp + c], fx, fy);
        out |= uint32_t(v) << (8 * c);
    }
    return out;
}

// The lens map for pictures of this size, built through the embedded
// projection when the panorama type has a lens record.
void update_lens_map(qnpl_context& ctx, const _vm_screen& picture)
{
    if (ctx.lens_map && ctx.lens_map_source.width == picture.width && ctx.lens_map_source.height == picture.height)
        return;
    ctx.lens_map = nullptr;
    const int locked = ctx.projection.LockPro(ctx.pano_type);
    if (locked == 0) {
        __tag_size source{picture.width, picture.height}, destination{ctx.def_width, ctx.def_height};
        __tag_point* map = nullptr;
        if (ctx.projection.GenerateMap(&source, &destination, &map) == 1) {
            ctx.lens_map = map;
            ctx.lens_map_source = source;
            ctx.send("Lens correct ready");
        }
    } else if (locked == QN_VPI_ERR_NO_LENS) {
        ctx.send("need lens correct");
    }
}

}  // namespace

int CachePTZImage(qnpl_context& ctx, const _vm_screen* picture)
{
    if (!picture || !ctx.running() || !picture_usable(*picture)) return 0;
    if (ctx.def_width == 0 || ctx.def_height == 0) return 0;
    ctx.send("Cache image");
    _vm_screen* cached = ctx.ptz.cached.get();
    if (cached && (cached->width != ctx.def_width || cached->height != ctx.def_height)) {
        ctx.ptz.cached.reset();
        cached = nullptr;
    }
    if (!cached) {
        ctx.ptz.cached.reset(NewPictureBuffer(ctx.def_width, ctx.def_height));
        cached = ctx.ptz.cached.get();
        if (!cached) return 0;
    }
    update_lens_map(ctx, *picture);

    const int dw = cached->width, dh = cached->height;
    const int64_t sw = picture->width, sh = picture->height;
    for (int y = 0; y < dh; ++y) {
        uint32_t* out = reinterpret_cast<uint32_t*>(cached->packed.pixels + int64_t(y) * cached->packed.stride);
        for (int x = 0; x < dw; ++x) {
            int32_t sx, sy;
            if (ctx.lens_map) {
                const __tag_point& m = ctx.lens_map[int64_t(y) * dw + x];
                sx = m.x;
                sy = m.y;
            } else {
                // Without a lens record the picture is only scaled to the size.
                sx = static_cast<int32_t>(std::max<int64_t>((2 * x + 1) * sw * 512 / dw - 512, 0));
                sy = static_cast<int32_t>(std::max<int64_t>((2 * y + 1) * sh * 512 / dh - 512, 0));
            }
            out[x] = sample(*picture, sx, sy);
        }
    }
    ctx.send("SAVEBMP32_TEST", reinterpret_cast<uint64_t>(cached));
    return 1;
}

}  // namespace qnpl
