// Lens-correction records as a camera supplies them: stored, locked and
// mapped through a small picture without reading or writing out of bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lens_table.h"
#include "qn_ptzlink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 96 + 8) return 0;
    uint64_t type = 0;
    for (int i = 0; i < 8; ++i) type |= uint64_t(data[96 + i]) << (8 * i);
    qnpl::lens_table_clear();
    QN_VIR_PROJECT_IMG vpi;
    vpi.Create();
    if (vpi.AddCorrectPara(data, 96, type) == 0 && vpi.LockPro(type) == 0) {
        const int sw = 16 + data[0] % 32, sh = 16 + data[1] % 32;
        __tag_size src{sw, sh}, dst{24, 18};
        __tag_point* map = nullptr;
        if (vpi.GenerateMap(&src, &dst, &map) == 1) {
            for (int i = 0; i < 24 * 18; ++i)
                if (map[i].x >= 0 && ((map[i].x >> 10) >= sw - 1 || (map[i].y >> 10) >= sh - 1)) __builtin_trap();
        }
        std::vector<uint8_t> y(sw * sh, 100), u(sw / 2 * (sh / 2), 60), v(sw / 2 * (sh / 2), 200);
        std::vector<uint8_t> dy(24 * 18), du(12 * 9), dv(12 * 9);
        _vm_screen s{}, d{};
        s.width = sw;
        s.height = sh;
        s.format = VM_FMT_YUV420;
        s.planar.stride[0] = sw;
        s.planar.stride[1] = s.planar.stride[2] = sw / 2;
        s.planar.plane[0] = y.data();
        s.planar.plane[1] = u.data();
        s.planar.plane[2] = v.data();
        d = s;
        d.width = 24;
        d.height = 18;
        d.planar.stride[0] = 24;
        d.planar.stride[1] = d.planar.stride[2] = 12;
        d.planar.plane[0] = dy.data();
        d.planar.plane[1] = du.data();
        d.planar.plane[2] = dv.data();
        vpi.ImageTrans_YUV420P(&s, &d);
        __tag_fpoint in{0.3f, 0.7f}, out{};
        vpi.TextureCordTrans(&in, &out);
        _qnfspinsex pin{3.0f, 4.0f, 10, 10};
        __tag_size osz{100, 100};
        vpi.PixelCordTrans(&pin, &osz, &out);
    }
    vpi.Destory();
    return 0;
}
