/*
 * qn_dewarp: turns the circular picture of a single-fisheye camera into flat
 * views (whole circle, zoom, rotated zoom, panorama, digital PTZ, stretch).
 *
 * Results of every export: 0 success, 2 bad argument or view number,
 * 3 unsupported code, kind, format or state, 4 out of memory, 0x5003 when the
 * engine record or its view table cannot be allocated.
 *
 * Angles are degrees at every export. Views are numbered from 0 in the order
 * they were added; deleting a view renumbers the later ones.
 */
#ifndef QN_DEWARP_H
#define QN_DEWARP_H

#include <stdint.h>

#include "vm_screen.h"

#ifdef __cplusplus
extern "C" {
#endif

#define QN_PRO_API __attribute__((visibility("default")))

enum {
    QN_PRO_OK = 0,
    QN_PRO_ERR_ARGUMENT = 2,
    QN_PRO_ERR_UNSUPPORTED = 3,
    QN_PRO_ERR_MEMORY = 4,
    QN_PRO_ERR_ALLOCATION = 0x5003
};

typedef enum QN_PRO_DST_KIND {
    QN_PRO_DST_ORIGINAL = 1,
    QN_PRO_DST_ZOOM = 2,
    QN_PRO_DST_ROTATE_ZOOM = 3,
    QN_PRO_DST_PANORAMA = 4,
    QN_PRO_DST_DPTZ = 5,
    QN_PRO_DST_STRETCH = 6
} QN_PRO_DST_KIND;

typedef struct QN_PRO_ENGINE QN_PRO_ENGINE; /* opaque, owned by the library */

typedef struct QN_PRO_ENGINE_PARA {
    int32_t keep_source;   /* non-zero: three stored source slots */
    int32_t reserved;
    int32_t width;         /* source picture size in pixels */
    int32_t height;
    int32_t camera_code;   /* lens in bits 4-11, reference frame in bits 12-19 */
    int32_t mount_angle;   /* degrees: 90 ceiling, -90 floor, 0 wall */
    float circle_x;        /* fisheye circle in source pixels */
    float circle_y;
    float circle_r;
    int32_t triple_buffer; /* non-zero: three maps per view, built at once */
    int32_t zoom_limit;    /* <= 0: 8; at most 20 */
    float ref_circle_x;    /* the same circle in the reference frame */
    float ref_circle_y;
    float ref_circle_r;
} QN_PRO_ENGINE_PARA;

/* Creation record of engines made from a packed 64-bit camera-type code. */
typedef struct QN_PRO_ENGINE_PARA_EX {
    int32_t keep_source;
    int32_t reserved;
    int32_t width;
    int32_t height;
    uint32_t code_low;     /* packed code, bits 0-31 */
    uint32_t code_high;    /* packed code, bits 32-63 */
    int32_t mount_angle;
    int32_t triple_buffer;
    int32_t zoom_limit;    /* < 1: 8; > 19: 20 */
    float circle_x;        /* taken as the reference-frame circle */
    float circle_y;
    float circle_r;
    int32_t frame_width;   /* applied to an incomplete code when both > 0 */
    int32_t frame_height;
    float lowest_elevation;  /* applied when lowest < highest */
    float highest_elevation;
    int32_t radius_coef_count;    /* applied when > 0 */
    const float* radius_coefs;
    int32_t elevation_coef_count; /* applied when > 0 */
    const float* elevation_coefs;
} QN_PRO_ENGINE_PARA_EX;

typedef struct QN_PRO_POINT {
    float x; /* the point is (x / ref_width, y / ref_height) of the view */
    float y;
    int32_t ref_width;
    int32_t ref_height;
} QN_PRO_POINT;

typedef struct QN_PRO_DST_EFFECT {
    int32_t border;          /* draw the view's border on every frame */
    int32_t show_on_others;  /* draw this view's outline into other views */
    int32_t dark_clear;      /* stills clear to 0 instead of 128 */
    uint8_t color_b;         /* outline colour; all zero: colour by view number */
    uint8_t color_g;
    uint8_t color_r;
    uint8_t border_width;    /* 0: qn_pro_GetFrameWide() */
    uint8_t blend;           /* weight / 256 of the cleared picture kept */
    uint8_t reserved0[3];
    int8_t remap_mode;       /* <= 0 bilinear, 1 cubic, >= 2 cubic and sharpen */
    uint8_t reserved1[3];
    int32_t accept_outlines; /* other views' outlines are drawn into this one */
    int32_t outline_style;   /* panorama: boxes (non-zero) or curves */
} QN_PRO_DST_EFFECT;

/* Position of a view; the layout depends on the kind. */
typedef union QN_PRO_DST_POSI {
    int32_t words[13];
    struct {
        int32_t rotation, drag;
        float x, y;
        int32_t frame_width, frame_height;
        float prev_x, prev_y;
        int32_t prev_frame_width, prev_frame_height;
    } original;
    struct {
        int32_t whole;
        float exponent;
        float x, y;
        int32_t frame_width, frame_height;
        int32_t region, left, top, right, bottom, region_width, region_height;
    } zoom;
    struct {
        float exponent;
        float x, y;
        int32_t frame_width, frame_height;
        int32_t region, left, top, right, bottom, region_width, region_height;
    } rotate_zoom;
    struct {
        int32_t keep_aspect, span, top, bottom;
        float pan;
    } panorama;
    struct {
        int32_t fov, side, use_default;
        float pan, tilt, zoom;
        int32_t region, left, top, right, bottom, region_width, region_height;
    } dptz;
    struct {
        int32_t whole, keep_aspect, zoom, x, y; /* centre in 1/1024 of the plane */
    } stretch;
} QN_PRO_DST_POSI;

/* Both records are exchanged by value with layout files and snapshots. */
#ifdef __cplusplus
static_assert(sizeof(QN_PRO_DST_EFFECT) == 32, "QN_PRO_DST_EFFECT is 32 bytes");
static_assert(sizeof(QN_PRO_DST_POSI) == 52, "QN_PRO_DST_POSI is 13 words");
#else
_Static_assert(sizeof(QN_PRO_DST_EFFECT) == 32, "QN_PRO_DST_EFFECT is 32 bytes");
_Static_assert(sizeof(QN_PRO_DST_POSI) == 52, "QN_PRO_DST_POSI is 13 words");
#endif

typedef struct QN_PRO_DST_CONFIG {
    int32_t id;
    int32_t kind;
    _vm_screen screen; /* complete planes: rendered in place; else allocated */
    QN_PRO_DST_EFFECT effect;
    QN_PRO_DST_POSI posi;
} QN_PRO_DST_CONFIG;

/* Side record, one per view record (view n: 2n; its companion: 2n + 1). */
typedef struct QN_PRO_DST_INFO {
    int32_t id;
    _vm_screen screen;
    int32_t words[4];
    uint8_t blend;
    uint8_t reserved[3];
    int32_t state[16]; /* written by the kinds; zero otherwise */
} QN_PRO_DST_INFO;

QN_PRO_API int qn_pro_CreateEngine(QN_PRO_ENGINE** engine, const QN_PRO_ENGINE_PARA* para);
QN_PRO_API int qn_pro_CreateEngineEx(QN_PRO_ENGINE** engine, const QN_PRO_ENGINE_PARA_EX* para);
QN_PRO_API int qn_pro_SpeedInit(void);
QN_PRO_API int qn_pro_SpeedInitEx(void);
QN_PRO_API int qn_pro_DestroyEngine(QN_PRO_ENGINE* engine);

QN_PRO_API int qn_pro_AddDstImage(QN_PRO_ENGINE* engine, const QN_PRO_DST_CONFIG* config,
                                  _vm_screen** allocated);
QN_PRO_API int qn_pro_DelDstImage(QN_PRO_ENGINE* engine, int n);
/* The table stays valid until the next add or delete. */
QN_PRO_API int qn_pro_GetDstList(QN_PRO_ENGINE* engine, QN_PRO_DST_INFO** table, int* views);
QN_PRO_API int qn_pro_SetDstEffectNo(QN_PRO_ENGINE* engine, const QN_PRO_DST_EFFECT* effect, int n);
QN_PRO_API int qn_pro_GetDstEffectNo(QN_PRO_ENGINE* engine, QN_PRO_DST_EFFECT* effect, int n);
QN_PRO_API int qn_pro_SetDstEffectID(QN_PRO_ENGINE* engine, const QN_PRO_DST_EFFECT* effect, int id);
QN_PRO_API int qn_pro_GetDstEffectID(QN_PRO_ENGINE* engine, QN_PRO_DST_EFFECT* effect, int id);
QN_PRO_API int qn_pro_SetDstPosiByNo(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posi, int n);
QN_PRO_API int qn_pro_SetDstPosiByID(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posi, int id);
QN_PRO_API int qn_pro_ChangeDstPosiByNo(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* delta, int n);
QN_PRO_API int qn_pro_ChangeDstPosiByID(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* delta, int id);
QN_PRO_API int qn_pro_GetDstPosi(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posi, int n);
QN_PRO_API int qn_pro_GetDstPosiAll(QN_PRO_ENGINE* engine, QN_PRO_DST_POSI* posis, int capacity,
                                    int* count);
QN_PRO_API int qn_pro_GetDstConfigAll(QN_PRO_ENGINE* engine, QN_PRO_DST_CONFIG* configs,
                                      int capacity, int* count);
QN_PRO_API int qn_pro_GetDstConfig(QN_PRO_ENGINE* engine, QN_PRO_DST_CONFIG* config, int n);
QN_PRO_API int qn_pro_GetDstAngle(QN_PRO_ENGINE* engine, int n, const QN_PRO_POINT* point,
                                  QN_PRO_POINT* source);
QN_PRO_API int qn_pro_ControlByDst(QN_PRO_ENGINE* engine, int n, const QN_PRO_POINT* point,
                                   int wheel, int press, int mode);
QN_PRO_API int qn_pro_SetDstAimerByNo(QN_PRO_ENGINE* engine, const QN_PRO_POINT* point, int n,
                                      int on, int wheel);

QN_PRO_API int qn_pro_ProcessVideo(QN_PRO_ENGINE* engine, _vm_screen* source,
                                   QN_PRO_DST_INFO** table, int* records);
QN_PRO_API int qn_pro_ProcessImage(QN_PRO_ENGINE* engine, _vm_screen* source,
                                   QN_PRO_DST_INFO** table, int* records);
QN_PRO_API int qn_pro_InputSrcImage(QN_PRO_ENGINE* engine, const _vm_screen* source);
QN_PRO_API int qn_pro_GetDstImage(QN_PRO_ENGINE* engine, QN_PRO_DST_INFO** table, int* records);
QN_PRO_API int qn_pro_GetFrameWide(void* unused);

/* Linkage values of a region (x0, y0, x1, y1 in a reference frame w, h) or
 * of a spot of the given area: the source point of its centre, and its
 * spans packed as 0x40000000 | E << 15 | A (hundredths of a degree, 15 bits
 * each), stored through `packed` as its 32 bits. */
QN_PRO_API int qn_pro_GetPara_For_Linkcus_R(QN_PRO_ENGINE* engine, int n, const int32_t* region,
                                            const int32_t* reference, QN_PRO_POINT* out, float* packed);
QN_PRO_API int qn_pro_GetPara_For_Linkcus_C(QN_PRO_ENGINE* engine, int n, const QN_PRO_POINT* spot, int32_t area,
                                            QN_PRO_POINT* out, float* packed);

/* Fits a circle through up to 64 rim points, scaled from the first point's
 * reference size into `frame` (width, height); writes the centre (x, y) and
 * the radius, zeros for fewer than 3 points or points on a line. */
QN_PRO_API void qn_pro_FindCincle_InScene(const QN_PRO_POINT* points, int count, const int32_t* frame,
                                          float* centre, float* radius);
/* Proportions of a panorama of that span and elevation range: fills the
 * missing entry of size (width, height), or both when neither is given. */
QN_PRO_API int qn_pro_Arc_GetRate(QN_PRO_ENGINE* engine, int32_t* size, int32_t span, int32_t top, int32_t bottom);

#ifdef __cplusplus
}
#endif

#endif
