#include "Depend/qn_text.h"

#include "platform/text.h"

#include <algorithm>
#include <cstring>

int QNAnsiToWide(const char* text, wchar_t* buffer, int count)
{
    if (text == nullptr || buffer == nullptr || count <= 0) return 0;
    std::fill_n(buffer, count, L'\0');
    std::wstring wide = platform::Utf8ToWide(text);
    if (!platform::CopyIfFits(buffer, static_cast<std::size_t>(count), wide)) return 0;
    return static_cast<int>(wide.size()) + 1;
}

int QNWideToAnsi(const wchar_t* text, char* buffer, int size)
{
    if (text == nullptr || buffer == nullptr || size <= 0) return 0;
    std::memset(buffer, 0, static_cast<std::size_t>(size));
    std::string narrow = platform::WideToUtf8(text);
    if (!platform::CopyIfFits(buffer, static_cast<std::size_t>(size), narrow)) return 0;
    return static_cast<int>(narrow.size()) + 1;
}

char QNHexDigit(int value)
{
    if (value >= 0 && value <= 9) return static_cast<char>('0' + value);
    if (value >= 10 && value <= 15) return static_cast<char>('A' + value - 10);
    return '?';
}

std::vector<std::string> QNSplitString(std::string_view text, char delimiter)
{
    std::vector<std::string> pieces;
    if (text.empty()) return pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(delimiter, start);
        pieces.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return pieces;
}
