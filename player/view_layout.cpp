#include "view_layout.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Depend/qn_log.h"

namespace {

// Where a position field of a kind lives and how it is written: the engine's
// type decides what is stored, the text form only how the files spell it.
struct PositionField {
    int word;
    bool engineFloat;
    bool textDecimal;
};

constexpr int kMaxFields = 6;

struct KindFields {
    int count;
    PositionField fields[kMaxFields];
};

const KindFields kKindFields[7] = {
    {0, {}},
    {1, {{0, false, false}}},
    {6, {{0, false, false}, {1, true, true}, {2, true, true}, {3, true, true}, {4, false, false}, {5, false, false}}},
    {5, {{0, true, true}, {1, true, true}, {2, true, true}, {3, false, false}, {4, false, false}}},
    {5, {{0, false, true}, {1, false, true}, {2, false, true}, {3, false, false}, {4, true, true}}},
    {6, {{0, false, true}, {1, false, true}, {2, false, true}, {3, true, true}, {4, true, true}, {5, true, true}}},
    {5, {{0, false, true}, {1, false, true}, {2, false, false}, {3, false, false}, {4, false, false}}},
};

const KindFields& FieldsOf(int kind)
{
    return kKindFields[kind >= 1 && kind <= 6 ? kind : 0];
}

int32_t ToInt(double v)
{
    if (!(v > -2147483648.0)) return INT32_MIN;
    if (!(v < 2147483647.0)) return INT32_MAX;
    return static_cast<int32_t>(std::lround(v));
}

// Finds keys as the files expect: after the previous key found, else from
// the start of the text.
class KeyScanner {
public:
    explicit KeyScanner(const std::string& text) : text_(text) {}

    // Position just past the key, or npos when the text lacks it.
    size_t Find(const char* key)
    {
        size_t at = text_.find(key, cursor_);
        if (at == std::string::npos) at = text_.find(key);
        if (at == std::string::npos) return at;
        cursor_ = at + std::strlen(key);
        return cursor_;
    }

    bool Number(const char* key, double& value)
    {
        const size_t at = Find(key);
        if (at == std::string::npos) return false;
        const char* start = text_.c_str() + at;
        char* end = nullptr;
        const double v = std::strtod(start, &end);
        if (end == start || !std::isfinite(v)) return false;
        value = v;
        return true;
    }

    void Int(const char* key, int32_t& value)
    {
        double v;
        if (Number(key, v)) value = ToInt(v);
    }

    // The word after the key, cut to the buffer.
    bool Word(const char* key, char* out, size_t capacity)
    {
        size_t at = Find(key);
        if (at == std::string::npos) return false;
        while (at < text_.size() && std::isspace(static_cast<unsigned char>(text_[at]))) ++at;
        size_t n = 0;
        while (at + n < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at + n])) && n + 1 < capacity) ++n;
        std::memcpy(out, text_.data() + at, n);
        out[n] = '\0';
        return true;
    }

private:
    const std::string& text_;
    size_t cursor_ = 0;
};

template <typename... Args>
std::string Key(const char* format, Args... args)
{
    char key[64];
    std::snprintf(key, sizeof key, format, args...);
    return key;
}

void ReadPosition(KeyScanner& scan, const std::string& prefix, int kind, QN_PRO_DST_POSI& posi)
{
    const KindFields& kf = FieldsOf(kind);
    for (int k = 0; k < kf.count; ++k) {
        double v;
        if (!scan.Number((prefix + std::to_string(k + 1) + ":").c_str(), v)) continue;
        const PositionField& f = kf.fields[k];
        if (f.engineFloat) {
            float x = static_cast<float>(v);
            std::memcpy(&posi.words[f.word], &x, sizeof x);
        } else {
            posi.words[f.word] = ToInt(v);
        }
    }
}

void WritePosition(std::string& out, const std::string& prefix, int kind, const QN_PRO_DST_POSI& posi,
                   bool endLine)
{
    const KindFields& kf = FieldsOf(kind);
    for (int k = 0; k < kf.count; ++k) {
        const PositionField& f = kf.fields[k];
        double v;
        if (f.engineFloat) {
            float x;
            std::memcpy(&x, &posi.words[f.word], sizeof x);
            v = x;
        } else {
            v = posi.words[f.word];
        }
        char entry[96];
        if (f.textDecimal)
            std::snprintf(entry, sizeof entry, "\t%s%d: %.3f", prefix.c_str(), k + 1, v);
        else
            std::snprintf(entry, sizeof entry, "\t%s%d: %3d", prefix.c_str(), k + 1, static_cast<int>(v));
        out += entry;
        out += endLine && k + 1 == kf.count ? "\n" : ";";
    }
}

uint8_t Byte(int32_t v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

void ReadEffectState(KeyScanner& scan, int n, int m, QnEffectState& state)
{
    if (scan.Find(Key("SDS_%03d_%d:\n;", n, m).c_str()) == std::string::npos) return;
    int32_t pair[12] = {};
    for (int i = 0; i < 12; ++i) scan.Int(Key("SDSM_%03d_%d_%02d:", n, m, i + 1).c_str(), pair[i]);
    state.present = 1;
    uint8_t* keep[6] = {&state.keep_b, &state.keep_g, &state.keep_r, &state.keep_width, &state.keep_fill,
                        &state.keep_remap};
    uint8_t* value[5] = {&state.color_b, &state.color_g, &state.color_r, &state.border_width, &state.grey_fill};
    for (int f = 0; f < 6; ++f) *keep[f] = pair[2 * f] < 0 ? 1 : 0;
    for (int f = 0; f < 5; ++f) *value[f] = Byte(pair[2 * f + 1]);
    state.remap = static_cast<int8_t>(pair[11] < -128 ? -128 : pair[11] > 127 ? 127 : pair[11]);
}

// The kind's configuration values fill the effect's switches in order.
void ReadKindConfig(KeyScanner& scan, int n, int kind, QN_PRO_DST_EFFECT& effect)
{
    int32_t v[6] = {};
    for (int k = 0; k < 6; ++k) scan.Int(Key("SDPC_%03d_%d_%d:", n, kind, k + 1).c_str(), v[k]);
    effect.border = v[0];
    effect.show_on_others = v[1];
    effect.dark_clear = v[2];
    effect.accept_outlines = v[3];
    effect.outline_style = v[4];
    effect.remap_mode = static_cast<int8_t>(v[5] < -128 ? -128 : v[5] > 127 ? 127 : v[5]);
}

void ReadView(KeyScanner& scan, int n, QnLayoutView& view)
{
    view = QnLayoutView{};
    scan.Find(Key("SD_%03d:", n).c_str());
    scan.Int(Key("SDT_%03d:", n).c_str(), view.kind);
    scan.Int(Key("SDI_%03d:", n).c_str(), view.id);
    scan.Int(Key("SDA_%03d:", n).c_str(), view.sda);
    int32_t mode = 0;
    scan.Int(Key("SDC_%03d:", n).c_str(), mode);
    view.control_mode = static_cast<uint8_t>(mode);
    scan.Int(Key("SDP_%03d:", n).c_str(), view.sdp);
    for (int i = 0; i < 4; ++i) scan.Int(Key("SDR_%03d_%d:", n, i + 1).c_str(), view.rect[i]);
    scan.Int(Key("SDUC_%03d:", n).c_str(), view.use_centre);
    for (int i = 0; i < 4; ++i) scan.Int(Key("SDUC_%03d_%d:", n, i + 1).c_str(), view.centre[i]);
    if (view.kind < 1) return;
    for (int m = 0; m < QN_LAYOUT_EFFECT_STATES; ++m) ReadEffectState(scan, n, m, view.states[m]);
    ReadKindConfig(scan, n, view.kind, view.effect);
    ReadPosition(scan, Key("SDPI_%03d_%d_", n, view.kind), view.kind, view.posi);
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

}  // namespace

int QnPositionFieldCount(int kind)
{
    return FieldsOf(kind).count;
}

bool QnParseLayout(const std::string& text, QnViewLayout& layout)
{
    KeyScanner scan(text);
    char model[QN_LAYOUT_MODEL_CHARS];
    if (!scan.Word("Model ID:", model, sizeof model)) return false;
    std::memcpy(layout.model, model, sizeof model);
    layout.ref_width = layout.ref_height = layout.view_count = 0;
    scan.Int("DRW:", layout.ref_width);
    scan.Int("DRH:", layout.ref_height);
    int32_t count = 0;
    scan.Int("DSN:", count);
    if (count < 0) count = 0;
    if (count > QN_LAYOUT_MAX_VIEWS) {
        QNLogPrint("%s(%d) layout of %d views, keeping %d\n", __func__, __LINE__, count, int(QN_LAYOUT_MAX_VIEWS));
        count = QN_LAYOUT_MAX_VIEWS;
    }
    layout.view_count = count;
    for (int n = 0; n < count; ++n) ReadView(scan, n, layout.views[n]);
    return true;
}

bool QnReadLayoutFile(const std::string& path, QnViewLayout& layout)
{
    std::string text;
    return ReadWholeFile(path, text) && QnParseLayout(text, layout);
}

bool QnParsePresets(const std::string& text, const QnViewLayout& layout, QnViewPresets* presets)
{
    KeyScanner scan(text);
    char model[QN_LAYOUT_MODEL_CHARS];
    if (!scan.Word("Model ID:", model, sizeof model) || std::strcmp(model, layout.model) != 0) return false;
    for (int n = 0; n < layout.view_count; ++n) {
        const int kind = layout.views[n].kind;
        if (kind < 1) continue;
        QnViewPresets& p = presets[n];
        ReadPosition(scan, Key("SDPI_%03d_%d_", n, kind), kind, p.home);
        scan.Int(Key("SDPN_%03d_1:", n).c_str(), p.count);
        if (p.count < 0) p.count = 0;
        if (p.count > QN_LAYOUT_MAX_PRESETS) {
            QNLogPrint("%s(%d) view %d has %d presets, keeping %d\n", __func__, __LINE__, n, p.count,
                       int(QN_LAYOUT_MAX_PRESETS));
            p.count = QN_LAYOUT_MAX_PRESETS;
        }
        for (int pp = 0; pp < p.count; ++pp) {
            ReadPosition(scan, Key("SDPP_%03d_%d_%02d_", n, kind, pp), kind, p.positions[pp]);
            scan.Int(Key("SDPST_%03d_%02d_1:", n, pp).c_str(), p.dwell_seconds[pp]);
            scan.Int(Key("SDPMS_%03d_%02d_1:", n, pp).c_str(), p.speed[pp]);
        }
    }
    return true;
}

bool QnReadPresetFile(const std::string& path, const QnViewLayout& layout, QnViewPresets* presets)
{
    std::string text;
    return ReadWholeFile(path, text) && QnParsePresets(text, layout, presets);
}

std::string QnFormatPresets(const QnViewLayout& layout, const QnViewPresets* presets)
{
    std::string out = std::string("Model ID: ") + layout.model + "\n";
    for (int n = 0; n < layout.view_count; ++n) {
        const int kind = layout.views[n].kind;
        if (kind < 1) continue;
        const QnViewPresets& p = presets[n];
        WritePosition(out, Key("SDPI_%03d_%d_", n, kind), kind, p.home, true);
        out += Key("\tSDPN_%03d_1: %3d\n", n, p.count);
        for (int pp = 0; pp < p.count && pp < QN_LAYOUT_MAX_PRESETS; ++pp) {
            WritePosition(out, Key("SDPP_%03d_%d_%02d_", n, kind, pp), kind, p.positions[pp], false);
            out += Key("\tSDPST_%03d_%02d_1: %d;", n, pp, p.dwell_seconds[pp]);
            out += Key("\tSDPMS_%03d_%02d_1: %d;\n", n, pp, p.speed[pp]);
        }
        out += "\n";
    }
    return out;
}

std::string QnLayoutPath(const std::string& programFolder, int mountTilt, int model)
{
    static const char* const kWall[] = {"1L.txt", "1L3P.txt", "4P1L.txt"};
    static const char* const kCeiling[] = {"4P1O.txt", "1O4P.txt", "1O3P.txt"};
    if (model < 0 || model > 2) return programFolder;
    if (mountTilt == 0) return programFolder + "/DPTZtemplate/wall/" + kWall[model];
    if (mountTilt == 90) return programFolder + "/DPTZtemplate/top/" + kCeiling[model];
    if (mountTilt == -90) return programFolder + "/DPTZtemplate/floor/" + kCeiling[model];
    return programFolder;
}
