// Texts of S3 requests: object paths in URLs, endpoints, and the XML of a
// multi-object delete.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qn_cloud {

// Percent-encodes every byte but the unreserved characters (A-Z a-z 0-9 - . _
// ~) and "/", with upper-case hex: the S3 form of a path, the same in the URL
// and in the canonical URI.
std::string EncodeS3Path(std::string_view path);

// True when a "/"-separated path holds a "." or ".." segment. HTTP clients
// and servers remove such segments, so a name holding them would reach an
// object outside its own path.
bool HasDotSegment(std::string_view path);

// An endpoint host text split for the URL and for signing: "https://h:p",
// "http://h:p" or a bare "h[:p]" (https then). `authority` is what the Host
// header carries and what is signed.
struct Endpoint {
    std::string scheme;
    std::string authority;
};
// Empty when there is no host, or when the text holds a path, user
// information, white space or control characters.
std::optional<Endpoint> SplitEndpoint(std::string_view hostText);

// & < > " ' as XML entities.
std::string EscapeXml(std::string_view text);

// "<Delete><Object><Key>k</Key></Object>...</Delete>" with escaped keys.
std::string MultiDeletePayload(const std::vector<std::string>& keys);

// True when an S3 reply body reports a failure for some key (<Error>).
bool ReplyReportsError(std::string_view body);

} // namespace qn_cloud
