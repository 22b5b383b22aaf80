// Value texts as a host or a configuration could send them: every mode, sign
// and width must either refuse or write exactly its width.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "value_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const int selector = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const int mode = (selector & 1) ? qnpl::kParseFloat : qnpl::kParseInteger;
    const int sign = (selector & 2) ? qnpl::kParseSigned : qnpl::kParseUnsigned;
    static const int kWidths[] = {8, 16, 32, 64};
    const int width = kWidths[(selector >> 2) & 3];
    unsigned char out[16];
    std::memset(out, 0xa5, sizeof out);
    qnpl::qnpl_parse_value(out, text.c_str(), mode, sign, width);
    for (size_t i = size_t(width / 8); i < sizeof out; ++i)
        if (out[i] != 0xa5) __builtin_trap();
    return 0;
}
