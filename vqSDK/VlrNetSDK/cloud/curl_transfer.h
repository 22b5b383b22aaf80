// The object-store transfers on libcurl's easy interface. Each takes a fresh
// transfer handle, the URL, the request's header lines and the time-out, and
// returns the client's result code:
//    0            the operation's success status
//   -(c + 2)      libcurl failed with code c (-30 for a time-out)
//   -status       another HTTP status up to 600
//   -2            a status above 600, or no HTTP status at all
//   -1            a local file could not be opened, written or renamed
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qn_cloud {

// One easy handle with its header list; libcurl's global set-up runs once
// per process, before the first handle.
class CurlTransfer {
public:
    // Empty when libcurl cannot make a handle.
    static std::unique_ptr<CurlTransfer> Create(std::string url, const std::vector<std::string>& headers,
                                                int timeoutSeconds);
    ~CurlTransfer();
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    void* Handle() const { return handle_; }
    void* HeaderList() const { return headerList_; }
    const std::string& Url() const { return url_; }

private:
    CurlTransfer() = default;
    void* handle_ = nullptr;
    void* headerList_ = nullptr;
    std::string url_;
};

// PUT of a local file; success 200.
int aws_upload_server_file(CurlTransfer& transfer, const std::string& localPath);
// GET into a local file; success 200. The body goes to a temporary file
// beside the target, which replaces the target only on success, so a failed
// download leaves an older copy as it was and no partial file behind.
int aws_download_server_file(CurlTransfer& transfer, const std::string& localPath);
// DELETE of one object; success 204.
int aws_delete_server_file(CurlTransfer& transfer);
// POST of a multi-object delete; success 200 or 204 with no <Error> in the
// reply.
int aws_delete_single_server_file(CurlTransfer& transfer, const std::string& payload);
// GET of the object's tagging into `body`; success 200.
int aws_get_object_tagging_server_file(CurlTransfer& transfer, std::string& body);
// PUT of `length` bytes from memory; success 200.
int aws_upload_server(CurlTransfer& transfer, const uint8_t* buffer, std::size_t length);
// GET into memory of at most `capacity` bytes; success 200. A longer body
// fails with -25 (libcurl's write error). `received` counts the bytes stored.
int aws_download_server(CurlTransfer& transfer, uint8_t* buffer, std::size_t capacity, std::size_t& received);

} // namespace qn_cloud
