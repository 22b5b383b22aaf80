/*
 * The picture record every deliverable exchanges: the program, the projection
 * engine, the display library, the PTZ linkage library and the image library.
 *
 * It lives only in memory and carries pointers, so it keeps the field order of
 * the 32-bit original with native pointer width; nothing may rely on its size.
 */
#ifndef OSTRELS_VM_SCREEN_H
#define OSTRELS_VM_SCREEN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Format codes. A code with any of bits 8-11 set is planar. Byte order of the
 * packed formats is fixed for every deliverable: 2 and 4 are B, G, R; 3 and 5
 * are B, G, R, 0. */
enum {
    VM_FMT_GRAY8 = 1,       /* 8-bit luma */
    VM_FMT_BGR24 = 2,       /* packed 24-bit B, G, R */
    VM_FMT_BGRX32 = 3,      /* packed 32-bit B, G, R, 0 */
    VM_FMT_BGR24_B = 4,     /* packed 24-bit B, G, R (second code of the same layout) */
    VM_FMT_BGRX32_B = 5,    /* packed 32-bit B, G, R, 0 (TF-card utilities) */
    VM_FMT_RGB16_A = 17,    /* packed 16-bit */
    VM_FMT_RGB16_B = 18,    /* packed 16-bit */
    VM_FMT_YUV420 = 0x111,  /* 273: planar 4:2:0, planes Y, U (Cb), V (Cr) */
    VM_FMT_YVU420 = 0x112,  /* 274: planar 4:2:0, planes Y, V (Cr), U (Cb) */
    VM_FMT_YUV422 = 0x113   /* 275: planar 4:2:2, planes Y, U, V; chroma h rows */
};

typedef struct _vm_screen {
    int32_t width;
    int32_t height;
    int32_t format;
    void* base; /* the one allocation that holds record and pixels, or null */
    union {
        struct {
            int32_t stride; /* bytes per pixel row */
            uint8_t* pixels; /* first pixel row */
        } packed;
        struct {
            int32_t stride[3];
            int32_t reserved0;
            uint8_t* plane[3];
            int32_t reserved1;
        } planar;
    };
} _vm_screen;

static inline int vm_is_planar(int32_t format) { return (format & 0xf00) != 0; }

/* Bytes per pixel of a packed format, 0 for planar or unknown codes. */
static inline int vm_packed_bytes_per_pixel(int32_t format)
{
    switch (format) {
    case VM_FMT_GRAY8: return 1;
    case VM_FMT_BGR24: case VM_FMT_BGR24_B: return 3;
    case VM_FMT_BGRX32: case VM_FMT_BGRX32_B: return 4;
    case VM_FMT_RGB16_A: case VM_FMT_RGB16_B: return 2;
    default: return 0;
    }
}

static inline int vm_is_known_format(int32_t format)
{
    return vm_packed_bytes_per_pixel(format) != 0 || format == VM_FMT_YUV420 ||
           format == VM_FMT_YVU420 || format == VM_FMT_YUV422;
}

/* Stride in bytes of plane `plane` (0 for packed formats) of a picture of the
 * given width; 0 for an unknown format or plane. Rows are padded to 4 bytes,
 * except the 32-bit formats, which are never padded. */
static inline int32_t vm_stride_for(int32_t format, int32_t width, int plane)
{
    if (vm_is_planar(format)) {
        if (!vm_is_known_format(format) || plane < 0 || plane > 2) return 0;
        int32_t w = plane == 0 ? width : width / 2;
        return (w + 3) & ~3;
    }
    if (plane != 0) return 0;
    int bpp = vm_packed_bytes_per_pixel(format);
    if (bpp == 4) return 4 * width;
    if (bpp == 0) return 0;
    return (bpp * width + 3) & ~3;
}

/* Rows of plane `plane` for a picture of the given height. */
static inline int32_t vm_plane_rows(int32_t format, int32_t height, int plane)
{
    if (!vm_is_planar(format) || plane == 0) return height;
    return format == VM_FMT_YUV422 ? height : height / 2;
}

/* Stride and first row of plane `plane`, for either form. */
static inline int32_t vm_stride(const _vm_screen* s, int plane)
{
    if (vm_is_planar(s->format)) return (plane >= 0 && plane < 3) ? s->planar.stride[plane] : 0;
    return plane == 0 ? s->packed.stride : 0;
}

static inline uint8_t* vm_plane(const _vm_screen* s, int plane)
{
    if (vm_is_planar(s->format)) return (plane >= 0 && plane < 3) ? s->planar.plane[plane] : 0;
    return plane == 0 ? s->packed.pixels : 0;
}

#ifdef __cplusplus
}
#endif

#endif
