#include "streams/key_text.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cstring>

namespace streams {
namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
constexpr std::size_t kLabelPart = 24;
constexpr std::size_t kHexPart = 16;

bool Md5(const void* data, std::size_t length, unsigned char digest[16])
{
    unsigned int written = 0;
    return EVP_Digest(data, length, digest, &written, EVP_md5(), nullptr) == 1 && written == 16;
}

} // namespace

int qnDeriveKeyText(const char* text, const char* label, char* output, std::size_t outputSize)
{
    if (text == nullptr || label == nullptr || output == nullptr || outputSize <= kKeyTextLength) return 1;
    const std::size_t textLength = strnlen(text, kKeyTextInputLimit);
    if (textLength >= kKeyTextInputLimit) return 2;
    const std::size_t labelLength = strnlen(label, kKeyTextInputLimit);
    if (labelLength >= kKeyTextInputLimit) return 3;

    unsigned char first[16];
    if (!Md5(text, textLength, first)) return 4;

    // The second digest covers the label's head and the first half of the
    // first digest in lowercase hexadecimal.
    char mixed[kLabelPart + kHexPart];
    const std::size_t labelPart = labelLength < kLabelPart ? labelLength : kLabelPart;
    std::memcpy(mixed, label, labelPart);
    static const char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < kHexPart / 2; ++i) {
        mixed[labelPart + 2 * i] = kHex[first[i] >> 4];
        mixed[labelPart + 2 * i + 1] = kHex[first[i] & 0x0F];
    }
    unsigned char second[16];
    const bool ok = Md5(mixed, labelPart + kHexPart, second);
    // The digests and their inputs come from a video password.
    OPENSSL_cleanse(mixed, sizeof mixed);
    if (!ok) {
        OPENSSL_cleanse(first, sizeof first);
        return 4;
    }

    for (std::size_t i = 0; i < kKeyTextLength / 2; ++i) {
        output[2 * i] = kAlphabet[first[i] & 0x1F];
        output[2 * i + 1] = kAlphabet[second[i] & 0x1F];
    }
    output[kKeyTextLength] = '\0';
    OPENSSL_cleanse(first, sizeof first);
    OPENSSL_cleanse(second, sizeof second);
    return 0;
}

} // namespace streams
