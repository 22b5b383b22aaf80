/*
 * qn_ptzlink: matches the pictures of a PTZ camera to a panorama and builds a
 * union image from them.
 *
 * Two exported classes:
 *  - QN_PTZLINK drives the engine: one engine context per process, two worker
 *    threads (projection and union), settings by name with text values, and
 *    progress and finish texts through an event callback.
 *  - QN_VIR_PROJECT_IMG is the lens projection: lens-correction records per
 *    lens, and maps and coordinate transforms between the corrected picture
 *    and the camera picture for one locked panorama type.
 *
 * QN_PTZLINK members return 1 for success and 0 for failure, with the
 * exceptions named below. QN_VIR_PROJECT_IMG::AddCorrectPara and LockPro
 * return 0 or a four-letter result code (QN_VPI_ERR_*).
 */
#ifndef OSTRELS_QN_PTZLINK_H
#define OSTRELS_QN_PTZLINK_H

#include <stdint.h>

#include "vm_screen.h"

#define QN_PTZLINK_API __attribute__((visibility("default")))

/* Result codes of QN_VIR_PROJECT_IMG: four ASCII letters in memory order. */
enum {
    QN_VPI_ERR_LENGTH = 0x474E454C,   /* "LENG": the record is not 96 bytes */
    QN_VPI_ERR_TYPE = 0x45565450,     /* "PTVE": panorama type not accepted */
    QN_VPI_ERR_RECORD = 0x44495250,   /* "PRID": bad kind, lens id, sizes or count */
    QN_VPI_ERR_STORE = 0x4554534C,    /* "LSTE": no memory to store the record */
    QN_VPI_ERR_CONTEXT = 0x45474E45,  /* "ENGE": the object has no context */
    QN_VPI_ERR_NO_LENS = 0x4E494F4E   /* "NOIN": no record for the lens id */
};

/* Length of a lens-correction record. */
enum { QN_VPI_RECORD_BYTES = 96 };

typedef struct __tag_fpoint {
    float x;
    float y;
} __tag_fpoint;

typedef struct __tag_size {
    int32_t width;
    int32_t height;
} __tag_size;

typedef struct __tag_point {
    int32_t x;
    int32_t y;
} __tag_point;

/* A point (x, y) in a picture of the size (width, height). */
typedef struct _qnfspinsex {
    float x;
    float y;
    int32_t width;
    int32_t height;
} _qnfspinsex;

/* Event and error callback: (code, text, user value). Progress and finish
 * texts come with code 0, except "Generate result" and "Match image", whose
 * code is the address of three 32-bit words (step progress, a second word,
 * overall progress) valid during the call. */
typedef void (*QNPL_CB_FUNC)(uint64_t code, const char* text, uint64_t user);

struct qnpl_context;
struct qnpl_vpi_context;

class QN_PTZLINK_API QN_VIR_PROJECT_IMG {
public:
    QN_VIR_PROJECT_IMG();
    /* Releases nothing: the owner calls Destory first. */
    ~QN_VIR_PROJECT_IMG();
    QN_VIR_PROJECT_IMG(const QN_VIR_PROJECT_IMG&) = delete;
    QN_VIR_PROJECT_IMG& operator=(const QN_VIR_PROJECT_IMG&) = delete;

    /* 1, or 0 when the context cannot be allocated. A second call starts the
     * context afresh. */
    int Create();
    /* 1 when a context was released, 0 when there was none. */
    int Destory();

    /* Stores a 96-byte lens-correction record for the lens of a panorama type
     * in the process-wide lens table; 0 or a QN_VPI_ERR_* code. A record
     * whose scale, frame sizes or coefficient count (at most 10) cannot be
     * used is refused with QN_VPI_ERR_RECORD. Needs no context. */
    int AddCorrectPara(const unsigned char* record, int length, uint64_t pano_type);

    /* Locks the stored record of the type's lens; 0 or a QN_VPI_ERR_* code. */
    int LockPro(uint64_t pano_type);
    /* Unlocks, then returns the panorama type stored with the record of the
     * type's lens, or the type itself when there is none. */
    uint64_t UpdatePanoType(uint64_t pano_type);

    /* Corrected picture -> camera picture, in fractions of the picture. */
    int TextureCordTrans(__tag_fpoint* in, __tag_fpoint* out);
    /* A pixel of a corrected picture of in->width x in->height -> a pixel of a
     * camera picture of out_size. */
    int PixelCordTrans(_qnfspinsex* in, __tag_size* out_size, __tag_fpoint* out);

    /* Builds the lens map: for every destination pixel, row by row, its
     * position in the source in 1/1024 pixel, or (-1, -1) outside. The map
     * stays owned by the object; *map (when given) receives its address.
     * Sizes are 1 ... 16383. */
    int GenerateMap(__tag_size* source, __tag_size* destination, __tag_point** map);
    /* Remaps planar YUV 4:2:0 (planes Y, U, V) through the locked lens. */
    int ImageTrans_YUV420P(_vm_screen* source, _vm_screen* destination);
    int ReleaseMap();

private:
    qnpl_vpi_context* m_context;
};

/* A PTZ position in whole degrees: z is 1 for a position cell, 0 for a lead-in
 * point that steers the camera to the start of a row. */
typedef struct __tag_point3D {
    int32_t x; /* pan */
    int32_t y; /* tilt */
    int32_t z;
} __tag_point3D;

/* The tail record that comes with each PTZ picture (the hub's 32-byte PTZ
 * block). Word 0: bits 18-29 pan in tenths of a degree, bits 30-41 tilt in
 * tenths plus 1800. Word 1: the panorama type of the PTZ camera. The rest is
 * the host's. */
typedef struct _qnpl_ptz_jpg_tail_ {
    uint64_t word0;
    uint64_t word1;
    uint64_t host[2];
} _qnpl_ptz_jpg_tail_;

/* The tail record of the union image: 0x05A02003, then the upper and the
 * lower tilt of the image in tenths of a degree plus 1800. */
typedef struct _qnpl_jpg_tail_ptz_pano_ {
    uint32_t tag;
    uint16_t upper_tilt;
    uint16_t lower_tilt;
} _qnpl_jpg_tail_ptz_pano_;

enum { QNPL_UNION_TAIL_TAG = 0x05A02003 };

/* One picture of the projection result table: a position cell's sub-image
 * (format 3) with its pan and tilt in degrees. */
typedef struct _qnpl_progect_res_info_ {
    _vm_screen picture;
    float pan;
    float tilt;
} _qnpl_progect_res_info_;

/* Result of QN_PTZLINK::GetNextPTZ. */
typedef enum QNPL_GET_NEXT_RES {
    QNPL_NEXT_POSITION = 0,
    QNPL_NEXT_ALL_HANDED_OUT = 1,
    QNPL_NEXT_REFUSED = 2
} QNPL_GET_NEXT_RES;

class QN_PTZLINK_API QN_PTZLINK {
public:
    QN_PTZLINK();
    /* Stops and joins the worker threads and frees the context when this
     * object created it and Destory was not called. */
    ~QN_PTZLINK();
    QN_PTZLINK(const QN_PTZLINK&) = delete;
    QN_PTZLINK& operator=(const QN_PTZLINK&) = delete;

    /* Process-wide; valid before Create; always 1. */
    int SetErrorCallBack(QNPL_CB_FUNC function, uint64_t user);
    /* 1, or 0 when not created. Called on the worker threads and on the
     * caller's thread. */
    int SetEventCallBack(QNPL_CB_FUNC function, uint64_t user);

    /* 1 when the context was made; 0 when the process already has one. */
    int Create();
    /* Stops and joins the worker threads, then frees the context; 1, or 0
     * when not created or when called from inside an event callback. */
    int Destory();

    /* Stores a lens-correction record for the panorama type.
     * Returns 0 when the record was stored (or the same lens already has
     * one) and the non-zero QN_VPI_ERR_* code when it was refused. A refusal
     * is not a failure of the union: the host logs it and carries on without
     * lens correction. */
    int AddCorrectPara(const uint8_t* record, int length, uint64_t pano_type);

    /* One setting by name (see the settings list); 1 when the key is known
     * and the value accepted, 0 otherwise and nothing changes. Settings are
     * refused while the engine runs. */
    int SetInfo(const char* key, const char* value);
    /* "ready_for_input" -> "y" or "n". *text receives the engine's info text
     * for every key; the 64-bit value is not used. */
    int GetInfo(const char* key, char** text, uint64_t* value);

    /* Plans the run and starts the projection and union threads. */
    int LaunchProcess();
    /* The next PTZ position of the run for the command "next": each row's
     * two lead-in points, then its cells. */
    QNPL_GET_NEXT_RES GetNextPTZ(const char* command, __tag_point3D* point);
    /* Difference in degrees between the tail's position and the last picture
     * taken, when below 0.6 pan steps; -1 when there is nothing to compare.
     * A host treats 5 or more as a duplicate. */
    float CheckDuplicate(_qnpl_ptz_jpg_tail_* tail);
    /* Takes one PTZ picture (format 273, 2, 3, 4 or 5) with its tail. 0 when
     * refused: not running, a picture still being taken over, every position
     * already has its picture, or a tail of another layout. */
    int InputPTZImage(_vm_screen* picture, _qnpl_ptz_jpg_tail_* tail);
    /* The sub-images of the pictures taken so far; the table belongs to the
     * engine and is rewritten by the next call. Once every picture is taken
     * the union thread rewrites the sub-images in place (colour curves, luma
     * in the top byte): read them before that or after "UNION_FINISH". */
    _qnpl_progect_res_info_* GetProjectImage(uint32_t* count);
    /* The finished union image (format 3, 0x00RRGGBB), owned by the engine
     * until Destory or the next run's result; null before it is ready. */
    _vm_screen* GetUnionImage(char** text, _qnpl_jpg_tail_ptz_pano_* tail);

    /* Asks a running engine to stop and waits until both workers have ended
     * with their stop or finish texts. Called from inside an event callback
     * it only asks. */
    int ShutDownProcess();

private:
    int32_t m_handle;
};

#endif
