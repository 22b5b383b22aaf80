// JPEG files of planar 4:2:0 pictures through FFmpeg's "mjpeg" format.
#ifndef OSTRELS_PLAYER_JPEG_FILE_H
#define OSTRELS_PLAYER_JPEG_FILE_H

#include "vm_screen.h"

namespace qn_player {

inline constexpr int kBestJpegQuality = 100;

// Writes a 273 or 274 picture (video levels) as a full-range JPEG; quality
// 1 ... 100. False, with no file left behind, when anything fails.
bool write_jpeg_file(const _vm_screen& picture, const char* path, int quality);

}  // namespace qn_player

#endif
