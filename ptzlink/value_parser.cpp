#include "value_parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace qnpl {
namespace {

constexpr size_t kMaxTextLength = 127;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Accumulates digits of `base`, each worth its decimal value; false on an
// empty text, a digit not below `digit_limit` or a 64-bit overflow.
bool read_integer(const std::string& digits, uint64_t base, int digit_limit, uint64_t* value)
{
    if (digits.empty()) return false;
    uint64_t v = 0;
    for (char c : digits) {
        if (!is_digit(c) || c - '0' >= digit_limit) return false;
        const uint64_t d = uint64_t(c - '0');
        if (v > (UINT64_MAX - d) / base) return false;
        v = v * base + d;
    }
    *value = v;
    return true;
}

bool parse_integer_text(const std::string& s, uint64_t* value)
{
    if (s.empty()) return false;
    if (s[0] != '0') return read_integer(s, 10, 10, value);
    if (s.size() >= 3 && s[1] == 'x') return read_integer(s.substr(2), 16, 10, value);
    return read_integer(s, 8, 8, value);
}

bool parse_float_text(std::string s, double* value)
{
    if (!s.empty() && s.back() == 'f') s.pop_back();
    double v = 0.0, scale = 0.1;
    bool after_point = false, any_digit = false;
    for (char c : s) {
        if (c == '.') {
            if (after_point) return false;
            after_point = true;
        } else if (is_digit(c)) {
            any_digit = true;
            if (after_point) {
                v += (c - '0') * scale;
                scale *= 0.1;
            } else {
                v = v * 10.0 + (c - '0');
            }
        } else {
            return false;
        }
    }
    if (!any_digit) return false;
    *value = v;
    return true;
}

uint64_t largest_magnitude(int width, bool is_signed)
{
    switch (width) {
    case 8: return is_signed ? 127 : 255;
    case 16: return is_signed ? 32767 : 65535;
    case 32: return is_signed ? 2147483647u : 4294967295u;
    default: return is_signed ? uint64_t(INT64_MAX) - 1 : UINT64_MAX;
    }
}

void store_integer(void* out, int width, uint64_t bits)
{
    switch (width) {
    case 8: { const uint8_t v = static_cast<uint8_t>(bits); std::memcpy(out, &v, 1); break; }
    case 16: { const uint16_t v = static_cast<uint16_t>(bits); std::memcpy(out, &v, 2); break; }
    case 32: { const uint32_t v = static_cast<uint32_t>(bits); std::memcpy(out, &v, 4); break; }
    default: std::memcpy(out, &bits, 8); break;
    }
}

}  // namespace

int qnpl_parse_value(void* out, const char* text, int mode, int sign, int width)
{
    if (!out || !text) return 0;
    if (mode != kParseFloat && mode != kParseInteger) return 0;
    if (sign != kParseSigned && sign != kParseUnsigned) return 0;
    if (width != 8 && width != 16 && width != 32 && width != 64) return 0;
    const size_t length = std::strlen(text);
    if (length > kMaxTextLength) return 0;  // a cut text could pass for another number

    std::string s(text, length);
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!is_digit(c) && c != '-' && c != 'x' && c != 'f' && c != '.') return 0;
    }
    bool negative = false;
    if (!s.empty() && s[0] == '-') {
        if (sign == kParseUnsigned) return 0;
        negative = true;
        s.erase(0, 1);
    }
    const size_t points = std::count(s.begin(), s.end(), '.');
    if (points > 1) return 0;

    if (points == 1 || mode == kParseFloat) {
        if (mode != kParseFloat || width < 32) return 0;
        double v;
        if (!parse_float_text(s, &v)) return 0;
        if (negative) v = -v;
        if (width == 32) {
            const float f = static_cast<float>(v);
            std::memcpy(out, &f, sizeof f);
        } else {
            std::memcpy(out, &v, sizeof v);
        }
        return 1;
    }

    uint64_t magnitude;
    if (!parse_integer_text(s, &magnitude)) return 0;
    if (magnitude > largest_magnitude(width, sign == kParseSigned)) return 0;
    store_integer(out, width, negative ? uint64_t(0) - magnitude : magnitude);
    return 1;
}

}  // namespace qnpl
