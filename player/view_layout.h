// View-layout and view-preset text files: how the unwrap work picture is cut
// into views, and the per-view preset tours.
//
// Both formats are key/value text. Each key is searched after the previous
// key found and, failing that, from the start of the text; the value follows
// the key. Values are parsed as numbers and stored with the engine's own type
// of the field they fill.
#pragma once

#include <cstdint>
#include <string>

#include "qn_dewarp.h"

enum {
    QN_LAYOUT_MAX_VIEWS = 256,
    QN_LAYOUT_MAX_PRESETS = 32,
    QN_LAYOUT_EFFECT_STATES = 16,
    QN_LAYOUT_MODEL_CHARS = 64,
    QN_LAYOUT_SCALE = 2520
};

// One highlight state of a view: which effect fields it overrides.
// A field is left as it is when its keep flag is set.
struct QnEffectState {
    uint8_t present;
    uint8_t keep_b, color_b;
    uint8_t keep_g, color_g;
    uint8_t keep_r, color_r;
    uint8_t keep_width, border_width;
    uint8_t keep_fill, grey_fill;
    uint8_t keep_remap;
    int8_t remap;
    uint8_t reserved[3];
};
static_assert(sizeof(QnEffectState) == 16, "an effect state is 16 bytes");

struct QnLayoutView {
    int32_t rect[4];      // left, top, right, bottom on the 2520 scale
    int32_t use_centre;
    int32_t centre[4];    // centre x, centre y, half width, half height on the 2520 scale
    int32_t kind;         // QN_PRO_DST_KIND; below 1: no view
    int32_t id;
    int32_t sda;
    uint8_t control_mode; // 0 drag steps, 1 engine control, 2 engine control or drag
    int32_t sdp;
    QN_PRO_DST_EFFECT effect;
    QN_PRO_DST_POSI posi;
    QnEffectState states[QN_LAYOUT_EFFECT_STATES];
};

struct QnViewLayout {
    char model[QN_LAYOUT_MODEL_CHARS];
    int32_t ref_width, ref_height;
    int32_t view_count;
    QnLayoutView views[QN_LAYOUT_MAX_VIEWS];
};

struct QnViewPresets {
    QN_PRO_DST_POSI home;
    int32_t count; // at most QN_LAYOUT_MAX_PRESETS
    QN_PRO_DST_POSI positions[QN_LAYOUT_MAX_PRESETS];
    int32_t dwell_seconds[QN_LAYOUT_MAX_PRESETS];
    int32_t speed[QN_LAYOUT_MAX_PRESETS];
};

// Number of position fields a kind's files carry (0 for an unknown kind).
int QnPositionFieldCount(int kind);

// Parses a layout text. False, with `layout` untouched, when "Model ID" is
// missing. Views past the table are not stored and are logged.
bool QnParseLayout(const std::string& text, QnViewLayout& layout);
// Reads a layout file; false when it cannot be read or is no layout.
bool QnReadLayoutFile(const std::string& path, QnViewLayout& layout);

// Parses the presets of a layout's views; false, with `presets` untouched,
// when the text's model differs from the layout's. `presets` holds one entry
// per layout view; a key that is missing keeps the entry's previous value.
bool QnParsePresets(const std::string& text, const QnViewLayout& layout, QnViewPresets* presets);
bool QnReadPresetFile(const std::string& path, const QnViewLayout& layout, QnViewPresets* presets);

// The preset text of a layout's views, as the reader takes it back.
std::string QnFormatPresets(const QnViewLayout& layout, const QnViewPresets* presets);

// The layout file for a mount tilt (0 wall, 90 ceiling, -90 floor) and a
// layout model (0..2) under the program folder; the folder alone for any
// other pair, which no reader takes as a layout.
std::string QnLayoutPath(const std::string& programFolder, int mountTilt, int model);
