#include "platform/text.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(std::string& out, char32_t c)
{
    if (!IsScalar(c)) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when malformed.
std::size_t SequenceLength(std::string_view text, std::size_t i, char32_t* decoded)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        *decoded = b0;
        return 1;
    }
    std::size_t len;
    char32_t c, min;
    if ((b0 & 0xE0) == 0xC0) { len = 2; c = b0 & 0x1F; min = 0x80; }
    else if ((b0 & 0xF0) == 0xE0) { len = 3; c = b0 & 0x0F; min = 0x800; }
    else if ((b0 & 0xF8) == 0xF0) { len = 4; c = b0 & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > text.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || !IsScalar(c)) return 0;
    *decoded = c;
    return len;
}

} // namespace

std::wstring Utf8ToWide(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c;
        std::size_t len = SequenceLength(text, i, &c);
        if (len == 0) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(c));
            i += len;
        }
    }
    return out;
}

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) AppendUtf8(out, static_cast<char32_t>(w));
    return out;
}

std::string WideToUtf16Le(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&](char16_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t w : text) {
        char32_t c = static_cast<char32_t>(w);
        if (!IsScalar(c)) c = kReplacement;
        if (c < 0x10000) {
            put(static_cast<char16_t>(c));
        } else {
            c -= 0x10000;
            put(static_cast<char16_t>(0xD800 + (c >> 10)));
            put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        }
    }
    return out;
}

std::wstring Utf16LeToWide(std::string_view bytes)
{
    std::wstring out;
    const std::size_t units = bytes.size() / 2;
    out.reserve(units);
    auto unit = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    for (std::size_t k = 0; k < units; ++k) {
        char16_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            char16_t low = unit(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
                ++k;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>((u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u));
    }
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    char32_t ignored;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = SequenceLength(text, i, &ignored);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::size_t Utf8PrefixLength(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) return text.size();
    std::size_t n = maxBytes;
    // Step back over continuation bytes to the start of the cut sequence.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

bool CopyBounded(char* dst, std::size_t capacity, std::string_view src)
{
    if (dst == nullptr || capacity == 0) return false;
    std::size_t n = Utf8PrefixLength(src, capacity - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
    return n == src.size();
}

bool CopyBounded(wchar_t* dst, std::size_t capacity, std::wstring_view src)
{
    if (dst == nullptr || capacity == 0) return false;
    std::size_t n = std::min(src.size(), capacity - 1);
    std::copy_n(src.data(), n, dst);
    dst[n] = L'\0';
    return n == src.size();
}

bool CopyIfFits(char* dst, std::size_t capacity, std::string_view src)
{
    if (dst == nullptr || capacity <= src.size()) return false;
    return CopyBounded(dst, capacity, src);
}

bool CopyIfFits(wchar_t* dst, std::size_t capacity, std::wstring_view src)
{
    if (dst == nullptr || capacity <= src.size()) return false;
    return CopyBounded(dst, capacity, src);
}

} // namespace platform
