// Layout and preset texts as a damaged or hostile file could hold them: the
// reader must never store past its tables, and what it accepts must survive
// the preset writer and reader unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "view_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto layout = std::make_unique<QnViewLayout>();
    if (!QnParseLayout(text, *layout)) return 0;
    if (layout->view_count < 0 || layout->view_count > QN_LAYOUT_MAX_VIEWS) __builtin_trap();
    // The same text read as presets of its own layout (the model always matches).
    auto presets = std::make_unique<QnViewPresets[]>(QN_LAYOUT_MAX_VIEWS);
    QnParsePresets(text, *layout, presets.get());
    for (int n = 0; n < layout->view_count; ++n)
        if (presets[n].count < 0 || presets[n].count > QN_LAYOUT_MAX_PRESETS) __builtin_trap();
    // What was read is written and read back to the same text.
    const std::string written = QnFormatPresets(*layout, presets.get());
    auto again = std::make_unique<QnViewPresets[]>(QN_LAYOUT_MAX_VIEWS);
    if (!QnParsePresets(written, *layout, again.get())) __builtin_trap();
    if (QnFormatPresets(*layout, again.get()) != written) __builtin_trap();
    return 0;
}
