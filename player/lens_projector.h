// The projection of one video window through the PTZ linkage library's lens
// projection: the window's lens record is handed over and locked, the library
// builds the map and remaps each picture.
#ifndef OSTRELS_PLAYER_LENS_PROJECTOR_H
#define OSTRELS_PLAYER_LENS_PROJECTOR_H

#include <cstdint>

#include "qn_ptzlink.h"
#include "vm_screen.h"

namespace player {

class LensProjector {
public:
    LensProjector() = default;
    ~LensProjector();
    LensProjector(const LensProjector&) = delete;
    LensProjector& operator=(const LensProjector&) = delete;

    // Prepares the map from a source to an output picture for the lens of the
    // panorama type; 0 or a QN_VPI_ERR_* code (QN_VPI_ERR_NO_LENS when the
    // windows' table has no record for the lens).
    int Open(uint64_t pano_type, int32_t source_width, int32_t source_height, int32_t output_width,
             int32_t output_height);
    void Close();
    bool IsOpen() const { return map_ != nullptr; }

    // Source position of every output pixel, row by row, in 1/1024 pixel;
    // (-1, -1) outside. Null while closed.
    const __tag_point* Map() const { return map_; }

    // Remaps a planar 4:2:0 source of the open size into the output picture.
    bool Render(_vm_screen* source, _vm_screen* output);

private:
    QN_VIR_PROJECT_IMG projection_;
    bool created_ = false;
    __tag_point* map_ = nullptr;
    int32_t source_width_ = 0, source_height_ = 0;
    int32_t output_width_ = 0, output_height_ = 0;
};

}  // namespace player

#endif
