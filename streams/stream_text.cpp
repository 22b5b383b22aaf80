#include "streams/stream_text.h"

namespace streams {

int CountChar(const char* text, char c)
{
    int count = 0;
    for (; text != nullptr && *text != '\0'; ++text) {
        if (*text == c) ++count;
    }
    return count;
}

void LowerAscii(char* text)
{
    for (; text != nullptr && *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

int StreamThreadHook()
{
    return 0;
}

} // namespace streams
