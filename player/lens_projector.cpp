#include "lens_projector.h"

#include "view_lens_table.h"

namespace player {

LensProjector::~LensProjector()
{
    Close();
    if (created_) projection_.Destory();
}

int LensProjector::Open(uint64_t pano_type, int32_t source_width, int32_t source_height, int32_t output_width,
                        int32_t output_height)
{
    Close();
    if (!created_) {
        if (!projection_.Create()) return QN_VPI_ERR_CONTEXT;
        created_ = true;
    }
    ViewLensRecord record;
    if (!UseViewLensRecord(pano_type, &record)) return QN_VPI_ERR_NO_LENS;
    // The library's own table may have let this lens go for another; handing
    // the record over again is harmless when it still holds one.
    int result = projection_.AddCorrectPara(record.data(), int(record.size()), pano_type);
    if (result != 0) return result;
    result = projection_.LockPro(pano_type);
    if (result != 0) return result;
    __tag_size source{source_width, source_height};
    __tag_size output{output_width, output_height};
    __tag_point* map = nullptr;
    if (!projection_.GenerateMap(&source, &output, &map) || !map) return QN_VPI_ERR_RECORD;
    map_ = map;
    source_width_ = source_width;
    source_height_ = source_height;
    output_width_ = output_width;
    output_height_ = output_height;
    return 0;
}

void LensProjector::Close()
{
    if (map_) projection_.ReleaseMap();
    map_ = nullptr;
}

bool LensProjector::Render(_vm_screen* source, _vm_screen* output)
{
    if (!map_ || !source || !output) return false;
    if (source->width != source_width_ || source->height != source_height_) return false;
    if (output->width != output_width_ || output->height != output_height_) return false;
    if (source->format != VM_FMT_YUV420 || output->format != VM_FMT_YUV420) return false;
    return projection_.ImageTrans_YUV420P(source, output) == 1;
}

}  // namespace player
