#include "vqSDK/VlrNetSDK/md5_text.h"

#include <openssl/evp.h>

#include <cstdio>
#include <memory>

#include "Depend/qn_log.h"

namespace qn_net {
namespace {

struct DigestContext {
    DigestContext() : context(EVP_MD_CTX_new()) { ok = context != nullptr && EVP_DigestInit_ex(context, EVP_md5(), nullptr) == 1; }
    ~DigestContext() { EVP_MD_CTX_free(context); }
    DigestContext(const DigestContext&) = delete;
    DigestContext& operator=(const DigestContext&) = delete;

    void Add(const void* data, std::size_t length)
    {
        if (ok && length != 0) ok = EVP_DigestUpdate(context, data, length) == 1;
    }

    std::string Hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!ok || EVP_DigestFinal_ex(context, digest, &length) != 1) return {};
        static const char kHex[] = "0123456789abcdef";
        std::string text;
        for (unsigned int i = 0; i < length; ++i) {
            text += kHex[digest[i] >> 4];
            text += kHex[digest[i] & 0x0F];
        }
        return text;
    }

    EVP_MD_CTX* context;
    bool ok = false;
};

} // namespace

std::string md5_pair(std::string_view first, std::string_view second)
{
    DigestContext digest;
    digest.Add(first.data(), first.size());
    digest.Add(second.data(), second.size());
    return digest.Hex();
}

bool md5_file(const std::string& path, std::string* out)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        QNConsoleTrace("%s can't be opened\n", path.c_str());
        return false;
    }
    DigestContext digest;
    char piece[1024];
    std::size_t read = 0;
    while ((read = std::fread(piece, 1, sizeof piece, file.get())) > 0) digest.Add(piece, read);
    if (std::ferror(file.get())) return false;
    std::string hex = digest.Hex();
    if (hex.empty()) return false;
    out->append(hex);
    return true;
}

std::string salted_password(std::string_view password, std::string_view salt)
{
    return md5_pair(md5_pair(password, {}), salt);
}

} // namespace qn_net
