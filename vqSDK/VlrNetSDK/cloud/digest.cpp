#include "vqSDK/VlrNetSDK/cloud/digest.h"

#include <memory>

#include <openssl/core_names.h>
#include <openssl/evp.h>

namespace qn_cloud {
namespace {

template <std::size_t N>
std::optional<std::array<uint8_t, N>> MessageDigest(const EVP_MD* type, std::string_view data)
{
    std::array<uint8_t, N> digest{};
    unsigned int length = 0;
    if (type == nullptr || EVP_Digest(data.data(), data.size(), digest.data(), &length, type, nullptr) != 1 ||
        length != N)
        return std::nullopt;
    return digest;
}

struct MacDeleter {
    void operator()(EVP_MAC* mac) const { EVP_MAC_free(mac); }
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};

} // namespace

std::optional<Sha256Digest> Sha256(std::string_view data)
{
    return MessageDigest<32>(EVP_sha256(), data);
}

std::optional<Md5Digest> Md5(std::string_view data)
{
    return MessageDigest<16>(EVP_md5(), data);
}

std::optional<Sha256Digest> HmacSha256(std::string_view key, std::string_view data)
{
    std::unique_ptr<EVP_MAC, MacDeleter> mac(EVP_MAC_fetch(nullptr, "HMAC", nullptr));
    if (!mac) return std::nullopt;
    std::unique_ptr<EVP_MAC_CTX, MacDeleter> context(EVP_MAC_CTX_new(mac.get()));
    if (!context) return std::nullopt;
    char digestName[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0),
        OSSL_PARAM_construct_end(),
    };
    // An empty key is legal for HMAC; hand OpenSSL a valid pointer for it.
    static const unsigned char kNoKey = 0;
    const auto* keyBytes = key.empty() ? &kNoKey : reinterpret_cast<const unsigned char*>(key.data());
    Sha256Digest digest{};
    std::size_t length = 0;
    if (EVP_MAC_init(context.get(), keyBytes, key.size(), params) != 1 ||
        EVP_MAC_update(context.get(), reinterpret_cast<const unsigned char*>(data.data()), data.size()) != 1 ||
        EVP_MAC_final(context.get(), digest.data(), &length, digest.size()) != 1 || length != digest.size())
        return std::nullopt;
    return digest;
}

std::string ToHex(const uint8_t* bytes, std::size_t length)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string Base64(const uint8_t* bytes, std::size_t length)
{
    std::string text(4 * ((length + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes, static_cast<int>(length));
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

} // namespace qn_cloud
