/*
 * qn_ddshow: puts planar YUV (and 32-bit RGB) pictures into X11 windows.
 *
 * Three families of flat functions share the result codes below:
 *   - the Ex family (qn_ddrInit_Ex, qn_ddrDrawImage_Ex, qn_ddrUnInit_Ex), one
 *     renderer per window, the one the program uses;
 *   - the plain family (qn_ddrInit ... qn_ddrUnLockSurface);
 *   - the multi-picture family (qn_ddr*_Muti), up to 64 pictures with borders
 *     and 8 rotating aimers in one window.
 *
 * A window is an X11 window id; 0 and all bits set mean "no window". In place
 * of a device context, draw callbacks get a canvas over the 32-bit B, G, R, X
 * picture about to go to the window.
 */
#ifndef QN_DDSHOW_H
#define QN_DDSHOW_H

#include <stdint.h>

#include "vm_screen.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QN_DDSHOW_BUILD)
#define QN_DDSHOW_API __attribute__((visibility("default")))
#else
#define QN_DDSHOW_API
#endif

enum {
    QN_DDR_OK = 0,
    QN_DDR_BAD_ARGUMENT = 2,
    QN_DDR_REFUSED = 3,
    QN_DDR_NO_MEMORY = 4
};

/* An X11 window id (QWidget::winId() under the xcb platform). */
typedef uintptr_t QN_DDR_WINDOW;

/* What a draw callback may draw on: rows of 32-bit pixels, bytes B, G, R, X,
 * top row first, `stride` bytes apart. Valid during the call only. */
typedef struct QN_DDR_CANVAS {
    uint8_t* bits;
    int32_t width;
    int32_t height;
    int32_t stride;
} QN_DDR_CANVAS;

/* Called once per drawn frame, on the drawing thread, inside the library's
 * draw lock: it must not call back into the same family. */
typedef void (*QN_DDR_DRAW_CALLBACK)(void* pUser, QN_DDR_CANVAS* canvas, int32_t nDstWidth,
                                     int32_t nDstHeight, int32_t nPicWidth, int32_t nPicHeight);

/* ---- version ---- */

typedef struct QN_DDR_VERSION {
    int32_t nLength;
    int32_t nReserved; /* left as it is */
    char szVersion[64];
} QN_DDR_VERSION;

QN_DDSHOW_API void qn_ddrGetVersion(QN_DDR_VERSION* pVersion);

/* ---- Ex family ---- */

typedef struct QN_DDR_EX_PARAM {
    void* hRender;           /* out: the renderer, null when there is none */
    QN_DDR_WINDOW hWnd;
    int32_t nWidth;          /* > 4, a multiple of 4 */
    int32_t nHeight;         /* > 4, even */
    _vm_screen* pImage;      /* format 273 or 274 */
    int32_t nMode;           /* 0 shared-memory only; 1 shared memory, else plain; other: plain */
    QN_DDR_DRAW_CALLBACK pfnDraw;
    void* pUser;
} QN_DDR_EX_PARAM;

/* Init and UnInit take no lock: call them from one thread, and never while a
 * draw of the same record runs. */
QN_DDSHOW_API int32_t qn_ddrInit_Ex(QN_DDR_EX_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrDrawImage_Ex(QN_DDR_EX_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrUnInit_Ex(QN_DDR_EX_PARAM* pParam);

/* ---- plain family ---- */

typedef struct QN_DDR_PARAM {
    void* hContext;          /* out: made by qn_ddrInit */
    int32_t nMode;           /* qn_ddrInit: 3 plain bitmap, other surfaces; qn_ddrSetModel: 2 windowed */
    QN_DDR_WINDOW hWnd;
    int32_t nWidth;          /* picture size for the bitmap */
    int32_t nHeight;
    int32_t bDC;             /* non-zero: qn_ddrCopyImage hands out a canvas at destination size */
    _vm_screen* pImage;
    int32_t nLeft, nTop, nRight, nBottom; /* destination on the screen; the window when empty */
    _vm_screen* pLockImage;  /* filled by qn_ddrLockSurface */
    QN_DDR_CANVAS* hDC;      /* handed out by qn_ddrCopyImage, taken back by qn_ddrShowImage */
} QN_DDR_PARAM;

QN_DDSHOW_API int32_t qn_ddrInit(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrUnInit(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrSetModel(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrDrawImage(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrCopyImage(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrShowImage(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrLockSurface(QN_DDR_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrUnLockSurface(QN_DDR_PARAM* pParam);

/* ---- multi-picture family ---- */

typedef struct QN_DDR_MUTI_PARAM {
    void* hRender;           /* out */
    QN_DDR_WINDOW hWnd;
    int32_t nMode;           /* as nMode of QN_DDR_EX_PARAM */
    QN_DDR_DRAW_CALLBACK pfnDraw; /* called with picture width and height 0 */
    void* pUser;
} QN_DDR_MUTI_PARAM;

/* A ready border of the caller's, used instead of an item's colour and width. */
typedef struct QN_DDR_PEN {
    uint8_t nBlue, nGreen, nRed, nReserved;
    int32_t nWidth;
} QN_DDR_PEN;

typedef struct QN_DDR_MUTI_ITEM {
    int32_t nPriority;       /* lower first, higher on top */
    _vm_screen* pImage;      /* format 273 or 274, wider and taller than 8 */
    int32_t nLeft, nTop, nRight, nBottom; /* in the reference frame */
    int32_t nRefWidth, nRefHeight;
    uint8_t nBorderBlue, nBorderGreen, nBorderRed;
    uint8_t nBorderWidth;    /* 0 none; capped at 10, the cap written back */
    QN_DDR_PEN* hPen;
} QN_DDR_MUTI_ITEM;

/* A position given in a frame of w x h. */
typedef struct QN_DDR_FRAME_POINT {
    float x;
    float y;
    int32_t w;
    int32_t h;
} QN_DDR_FRAME_POINT;

QN_DDSHOW_API int32_t qn_ddrInit_Muti(QN_DDR_MUTI_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrUnInit_Muti(QN_DDR_MUTI_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrDrawImage_Muti(QN_DDR_MUTI_PARAM* pParam, QN_DDR_MUTI_ITEM* pItems,
                                           int32_t nCount);
QN_DDSHOW_API int32_t qn_ddrClearImage_Muti(QN_DDR_MUTI_PARAM* pParam);
QN_DDSHOW_API int32_t qn_ddrInitAimer_Muti(void);
QN_DDSHOW_API int32_t qn_ddrSetAimer_Muti(QN_DDR_MUTI_PARAM* pParam, int32_t nIndex,
                                          const QN_DDR_FRAME_POINT* pPoint, int32_t nU, int32_t nV,
                                          int32_t bActive);
QN_DDSHOW_API int32_t qn_ddrFindAimer_Muti(QN_DDR_MUTI_PARAM* pParam, const QN_DDR_FRAME_POINT* pPoint,
                                           int32_t* pIndex);

#ifdef __cplusplus
}
#endif

#endif
