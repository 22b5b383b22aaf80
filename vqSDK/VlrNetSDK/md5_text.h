// MD5 digests as 32 lowercase hexadecimal characters, and the salted password
// of the sign-in.
#pragma once

#include <string>
#include <string_view>

namespace qn_net {

// The digest of `first` followed by `second`, of any length.
std::string md5_pair(std::string_view first, std::string_view second);
// Appends the digest of a file's bytes to `out`; false when it cannot be read.
bool md5_file(const std::string& path, std::string* out);
// md5(md5(password) + salt).
std::string salted_password(std::string_view password, std::string_view salt);

// A text field of fixed width, up to its first zero byte or its end.
inline std::string_view field_text(const void* field, std::size_t width)
{
    const char* text = static_cast<const char*>(field);
    std::size_t length = 0;
    while (length < width && text[length] != '\0') ++length;
    return {text, length};
}

} // namespace qn_net
