// A test-only camera side of stream protection: from a video password and a
// key type it makes the stream's security flag and encrypts frames and
// records in place at the blocks a camera encrypts, so that tests have
// protected fixtures. Written apart from the program's decryption (its own
// key texts and its own DES); link OpenSSL::Crypto for MD5.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/reference_des.h"

namespace testing_support {

class StreamEncryptor {
public:
    // keyType 1 default, 2 custom, 3 temp.
    StreamEncryptor(const std::string& password, int keyType) : keyType_(static_cast<uint32_t>(keyType))
    {
        static const char* const kLabels[] = {"amber_lodge", "cider_knot", "fern_gap"};
        if (keyType < 1 || keyType > 3) throw std::invalid_argument("key type 1-3");
        first_ = KeyText(password, kLabels[keyType - 1]);
        const std::string second = KeyText(first_, "oak_drift");
        const std::string third = KeyText(second, "lanternly");
        const std::string run = second + third;
        for (int i = 0; i < 8; ++i)
            ciphers_.emplace_back(reinterpret_cast<const uint8_t*>(run.data() + 4 * i), /*cameraChoice2=*/true);
        MakeFlag();
    }

    // The 20-character key text of `text` under `label`.
    static std::string KeyText(const std::string& text, const std::string& label)
    {
        static const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
        const std::string d1 = Md5(text);
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char c : d1) {
            hex += kHex[c >> 4];
            hex += kHex[c & 15];
        }
        const std::string d2 = Md5(label.substr(0, 24) + hex.substr(0, 16));
        std::string out;
        for (int i = 0; i < 10; ++i) {
            out += kAlphabet[static_cast<unsigned char>(d1[i]) % 32];
            out += kAlphabet[static_cast<unsigned char>(d2[i]) % 32];
        }
        return out;
    }

    // The security flag for frames whose kinds are `frameKinds` (bits 1, 2,
    // 4, 8, ...).
    uint32_t Low(uint32_t frameKinds) const { return low_ | (frameKinds & 0xFF) << 3; }
    uint32_t High() const { return high_; }
    const std::string& FirstKeyText() const { return first_; }

    // `info`: bits 0-15 interval, 16-25 clear-header length.
    void EncryptFrame(uint8_t* data, std::size_t length, uint32_t info, int kind) const
    {
        static const int kOffsets[8] = {3, 5, 7, 11, 13, 17, 19, 23};
        const long long size = static_cast<long long>(length);
        const long long clear = info >> 16 & 0x3FF;
        const long long start = (clear + 15) / 16 * 16;
        if (start >= size) return;
        const long long span = size - start;
        const long long step = (info & 0xFFFF) + 512;
        for (long long f = 0; kind == 8 && f + 64 < span; f += step) ciphers_[0].Encrypt(data + start + f);
        for (long long f = 0; kind != 8 && f < span; f += step)
            for (int i = 0; i < 8; ++i)
                if (start + f + 16 * kOffsets[i] < span - 16) ciphers_[i].Encrypt(data + start + f + 16 * kOffsets[i]);
    }

    // `info`: bits 0-15 interval, 16-25 clear-tail length.
    void EncryptRecord(uint8_t* data, std::size_t length, uint32_t info) const
    {
        static const int kOffsets[8] = {3, 5, 7, 11, 13, 17, 19, 23};
        const long long span = static_cast<long long>(length) - (info >> 16 & 0x3FF);
        const long long step = (info & 0xFFFF) + 512;
        for (long long g = 0; g < span - 258; g += step)
            for (int i = 0; i < 8; ++i)
                if (g + 16 * kOffsets[i] + 256 < span - 274) ciphers_[i].Encrypt(data + g + 16 * kOffsets[i] + 256);
    }

private:
    static std::string Md5(const std::string& data)
    {
        unsigned char digest[16];
        unsigned int size = 0;
        if (EVP_Digest(data.data(), data.size(), digest, &size, EVP_md5(), nullptr) != 1 || size != 16)
            throw std::runtime_error("MD5 failed");
        return std::string(reinterpret_cast<char*>(digest), 16);
    }

    // The check bits a camera puts into the flag: values of key-text
    // characters and an exclusive-or of others.
    void MakeFlag()
    {
        auto v = [this](int i) -> uint32_t {
            const char c = first_[i];
            if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
            return static_cast<uint32_t>(c - 'A' + 10) & 31;
        };
        low_ = keyType_ | v(2) << 11 | v(3) << 16 | v(5) << 21 | v(7) << 26 | (v(11) & 1u) << 31;
        uint32_t mix = 0;
        for (int i : {0, 1, 4, 6, 8, 9, 10, 12, 14, 15, 16, 18}) mix ^= static_cast<unsigned char>(first_[i]);
        high_ = v(11) >> 1 | v(13) << 4 | v(17) << 9 | v(19) << 14 | mix << 19;
    }

    uint32_t keyType_;
    std::string first_;
    std::vector<ReferenceDes> ciphers_;
    uint32_t low_ = 0;
    uint32_t high_ = 0;
};

} // namespace testing_support
