// The hashes request signing needs, through OpenSSL's EVP interface. Every
// function returns nothing (an empty optional) when the library fails.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qn_cloud {

using Sha256Digest = std::array<uint8_t, 32>;
using Md5Digest = std::array<uint8_t, 16>;

std::optional<Sha256Digest> Sha256(std::string_view data);
std::optional<Sha256Digest> HmacSha256(std::string_view key, std::string_view data);
std::optional<Md5Digest> Md5(std::string_view data);

// Lowercase hex, two digits per byte.
std::string ToHex(const uint8_t* bytes, std::size_t length);
template <std::size_t N>
std::string ToHex(const std::array<uint8_t, N>& digest)
{
    return ToHex(digest.data(), digest.size());
}

// Standard Base64 with padding and no line breaks.
std::string Base64(const uint8_t* bytes, std::size_t length);

} // namespace qn_cloud
