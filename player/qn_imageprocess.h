/*
 * The picture library the program links for creating, copying, releasing,
 * saving and opening _vm_screen pictures.
 *
 * Results are 0 for success; 2 for a bad argument (no picture, a size that is
 * not positive, an unknown format, pictures that differ in size or format), 3
 * for a file that could not be read or written, 4 when memory runs out.
 */
#ifndef OSTRELS_QN_IMAGEPROCESS_H
#define OSTRELS_QN_IMAGEPROCESS_H

#include "vm_screen.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    QN_IMG_OK = 0,
    QN_IMG_ERR_ARGUMENT = 2,
    QN_IMG_ERR_FILE = 3,
    QN_IMG_ERR_MEMORY = 4
};

/* One block holding the record and the pixels; the planes hold anything.
 * Whatever *picture held before is not released. */
int qnCreateImage(_vm_screen** picture, int width, int height, int format);
/* Frees the picture; the caller sets its pointer to null. */
int qnReleaseImage(_vm_screen** picture);
/* An exact copy of the source's pixels into an existing destination of the
 * same size and format; other pairs are refused and nothing is written. */
int qnChangeFormat(const _vm_screen* source, _vm_screen* destination);
/* Writes a planar 4:2:0 picture (273 or 274) as a JPEG file (".jpg" or
 * ".jpeg"); parameters[0] is the quality, 1 ... 100 (100 when no block). */
int qnSaveImage(const char* path, const _vm_screen* picture, const int* parameters);
/* A new picture of the given planar 4:2:0 format read from an image file, or
 * null. */
_vm_screen* qnOpenImage(const char* path, int format);

#ifdef __cplusplus
}
#endif

#endif
