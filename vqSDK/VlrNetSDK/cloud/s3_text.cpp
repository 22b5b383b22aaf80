#include "vqSDK/VlrNetSDK/cloud/s3_text.h"

namespace qn_cloud {
namespace {

bool Unreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

bool AuthorityCharacter(char c)
{
    // Host names, IPv4 and bracketed IPv6 addresses, and a port.
    return Unreserved(c) || c == ':' || c == '[' || c == ']';
}

} // namespace

std::string EncodeS3Path(std::string_view path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        if (Unreserved(c) || c == '/') {
            encoded.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

bool HasDotSegment(std::string_view path)
{
    for (;;) {
        const std::size_t slash = path.find('/');
        const std::string_view segment = path.substr(0, slash);
        if (segment == "." || segment == "..") return true;
        if (slash == std::string_view::npos) return false;
        path.remove_prefix(slash + 1);
    }
}

std::optional<Endpoint> SplitEndpoint(std::string_view hostText)
{
    Endpoint endpoint{"https", {}};
    const std::size_t schemeEnd = hostText.find("://");
    if (schemeEnd != std::string_view::npos) {
        const std::string_view scheme = hostText.substr(0, schemeEnd);
        if (scheme != "https" && scheme != "http") return std::nullopt;
        endpoint.scheme = scheme;
        hostText.remove_prefix(schemeEnd + 3);
    }
    // A trailing "/" names no path.
    if (!hostText.empty() && hostText.back() == '/') hostText.remove_suffix(1);
    if (hostText.empty()) return std::nullopt;
    for (const char c : hostText) {
        if (!AuthorityCharacter(c)) return std::nullopt;
    }
    endpoint.authority = hostText;
    return endpoint;
}

std::string EscapeXml(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&apos;"; break;
        default: escaped.push_back(c);
        }
    }
    return escaped;
}

std::string MultiDeletePayload(const std::vector<std::string>& keys)
{
    std::string payload = "<Delete>";
    for (const std::string& key : keys) payload += "<Object><Key>" + EscapeXml(key) + "</Key></Object>";
    payload += "</Delete>";
    return payload;
}

bool ReplyReportsError(std::string_view body)
{
    return body.find("<Error>") != std::string_view::npos;
}

} // namespace qn_cloud
