#include "platform/errors.h"

#include <cerrno>
#include <cstring>

namespace platform {

int LastError() { return errno; }

std::string ErrorText(int error)
{
    char buffer[256];
    // The GNU variant returns the text, which may or may not be `buffer`.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text != nullptr ? std::string(text) : std::string();
}

} // namespace platform
