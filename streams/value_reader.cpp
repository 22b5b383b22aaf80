#include "streams/value_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace streams {
namespace {

constexpr std::size_t kMaxText = 127;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits with no superfluous leading zero: "0" alone, or a first digit 1-9.
bool PlainDigits(std::string_view digits)
{
    if (digits.empty()) return false;
    for (char c : digits) {
        if (!IsDigit(c)) return false;
    }
    return digits.size() == 1 || digits[0] != '0';
}

int StoreInteger(std::string_view text, bool isSigned, int bits, void* out)
{
    bool negative = !text.empty() && text[0] == '-';
    if (negative && !isSigned) return 0;
    std::string_view digits = negative ? text.substr(1) : text;
    if (!PlainDigits(digits)) return 0;
    uint64_t magnitude = 0;
    for (char c : digits) {
        uint64_t digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) return 0;
        magnitude = magnitude * 10 + digit;
    }
    if (isSigned) {
        uint64_t limit = (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
        if (magnitude > limit) return 0;
        int64_t value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
        switch (bits) {
        case 8: *static_cast<int8_t*>(out) = static_cast<int8_t>(value); break;
        case 16: *static_cast<int16_t*>(out) = static_cast<int16_t>(value); break;
        case 32: *static_cast<int32_t*>(out) = static_cast<int32_t>(value); break;
        default: *static_cast<int64_t*>(out) = value; break;
        }
        return 1;
    }
    uint64_t limit = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
    if (magnitude > limit) return 0;
    switch (bits) {
    case 8: *static_cast<uint8_t*>(out) = static_cast<uint8_t>(magnitude); break;
    case 16: *static_cast<uint16_t*>(out) = static_cast<uint16_t>(magnitude); break;
    case 32: *static_cast<uint32_t*>(out) = static_cast<uint32_t>(magnitude); break;
    default: *static_cast<uint64_t*>(out) = magnitude; break;
    }
    return 1;
}

int StoreReal(std::string_view text, int bits, void* out)
{
    if (!text.empty() && text.back() == 'f') text.remove_suffix(1);
    std::string_view body = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    std::size_t dot = body.find('.');
    std::string_view whole = body.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view{} : body.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return 0;
    if (!whole.empty() && !PlainDigits(whole)) return 0;
    for (char c : fraction) {
        if (!IsDigit(c)) return 0;
    }
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return 0;
    if (bits == 32) {
        float narrow = static_cast<float>(value);
        if (!std::isfinite(narrow)) return 0;
        *static_cast<float*>(out) = narrow;
    } else {
        *static_cast<double*>(out) = value;
    }
    return 1;
}

} // namespace

int ReadValue(std::string_view text, ValueKind kind, bool isSigned, int bits, void* out)
{
    if (out == nullptr || text.empty() || text.size() > kMaxText) return 0;
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (!IsDigit(c) && c != '-' && c != '.' && c != 'x' && c != 'f') return 0;
    }
    std::string_view value = lowered;
    if (value.find('-', 1) != std::string_view::npos) return 0;
    if (kind == ValueKind::Real) {
        if (bits != 32 && bits != 64) return 0;
        return StoreReal(value, bits, out);
    }
    if (bits != 8 && bits != 16 && bits != 32 && bits != 64) return 0;
    return StoreInteger(value, isSigned, bits, out);
}

} // namespace streams
