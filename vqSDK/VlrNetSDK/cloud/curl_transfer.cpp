#include "vqSDK/VlrNetSDK/cloud/curl_transfer.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <curl/curl.h>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/cloud/curl_global.h"
#include "vqSDK/VlrNetSDK/cloud/s3_text.h"
#include "vqSDK/VlrNetSDK/sdk_report.h"

namespace qn_cloud {
namespace {

CURL* Easy(const CurlTransfer& transfer)
{
    return static_cast<CURL*>(transfer.Handle());
}

void TraceCurlFailure(CURLcode code)
{
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        QNConsoleTrace("The URL you passed to libcurl used a protocol that this libcurl does not support.\n");
        break;
    case CURLE_COULDNT_RESOLVE_PROXY:
        QNConsoleTrace("Couldn't resolve proxy. The given proxy host could not be resolved.\n");
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        QNConsoleTrace("Couldn't resolve host. The given remote host was not resolved.\n");
        break;
    case CURLE_COULDNT_CONNECT: QNConsoleTrace("Failed to connect() to host or proxy.\n"); break;
    case CURLE_WRITE_ERROR:
        QNConsoleTrace("An error occurred when writing received data to a local file, or an error was returned "
                       "to libcurl from a write callback.\n");
        break;
    case CURLE_UPLOAD_FAILED:
        QNConsoleTrace("Failed starting the upload. For FTP, the server typically denied the STOR command.\n");
        break;
    case CURLE_READ_ERROR:
        QNConsoleTrace("There was a problem reading a local file or an error returned by the read callback.\n");
        break;
    case CURLE_OUT_OF_MEMORY: QNConsoleTrace("A memory allocation request failed.\n"); break;
    case CURLE_OPERATION_TIMEDOUT: QNConsoleTrace("Operation timeout.\n"); break;
    default: QNConsoleTrace("return code:%d\n", static_cast<int>(code)); break;
    }
}

struct Outcome {
    CURLcode code = CURLE_OK;
    long status = 0;
};

Outcome Perform(CurlTransfer& transfer)
{
    Outcome outcome;
    outcome.code = curl_easy_perform(Easy(transfer));
    curl_easy_getinfo(Easy(transfer), CURLINFO_RESPONSE_CODE, &outcome.status);
    return outcome;
}

// Maps a transfer to the result code. `traceCurlCode` adds the generic line
// that most operations print after the libcurl text.
int ResultOf(const Outcome& outcome, bool statusAccepted, bool traceCurlCode)
{
    if (outcome.code != CURLE_OK) {
        TraceCurlFailure(outcome.code);
        if (traceCurlCode) QNConsoleTrace("Curl execute failed, Code %d!\n", static_cast<int>(outcome.code));
        return -(static_cast<int>(outcome.code) + 2);
    }
    if (statusAccepted) return 0;
    // No status at all means no HTTP reply: never a success.
    if (outcome.status <= 0 || outcome.status > 600) return -2;
    return -static_cast<int>(outcome.status);
}

bool StatusIs(const Outcome& outcome, long wanted)
{
    return outcome.code == CURLE_OK && outcome.status == wanted;
}

size_t DiscardBody(char*, size_t size, size_t count, void*)
{
    return size * count;
}

size_t AppendToString(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file)
{
    return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

size_t ReadFromFile(char* into, size_t size, size_t count, void* file)
{
    return std::fread(into, size, count, static_cast<std::FILE*>(file)) * size;
}

struct MemoryWindow {
    uint8_t* bytes;
    size_t capacity;
    size_t position;
};

size_t ReadFromMemory(char* into, size_t size, size_t count, void* window)
{
    auto* memory = static_cast<MemoryWindow*>(window);
    const size_t take = std::min(size * count, memory->capacity - memory->position);
    std::memcpy(into, memory->bytes + memory->position, take);
    memory->position += take;
    return take;
}

// A body longer than the buffer makes libcurl fail with its write error.
size_t WriteToMemory(char* data, size_t size, size_t count, void* window)
{
    auto* memory = static_cast<MemoryWindow*>(window);
    const size_t length = size * count;
    if (length > memory->capacity - memory->position) return 0;
    std::memcpy(memory->bytes + memory->position, data, length);
    memory->position += length;
    return length;
}

void CaptureBodyInto(CurlTransfer& transfer, std::string& body)
{
    curl_easy_setopt(Easy(transfer), CURLOPT_WRITEFUNCTION, AppendToString);
    curl_easy_setopt(Easy(transfer), CURLOPT_WRITEDATA, &body);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// A name beside the target that no other download of this process uses.
std::string TemporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> sequence{0};
    return path + ".part" + std::to_string(sequence.fetch_add(1));
}

} // namespace

std::unique_ptr<CurlTransfer> CurlTransfer::Create(std::string url, const std::vector<std::string>& headers,
                                                   int timeoutSeconds)
{
    InitialiseCurlOnce();
    std::unique_ptr<CurlTransfer> transfer(new CurlTransfer);
    transfer->handle_ = curl_easy_init();
    if (transfer->handle_ == nullptr) return nullptr;
    for (const std::string& line : headers) {
        curl_slist* extended = curl_slist_append(static_cast<curl_slist*>(transfer->headerList_), line.c_str());
        if (extended == nullptr) return nullptr;
        transfer->headerList_ = extended;
    }
    transfer->url_ = std::move(url);
    CURL* easy = Easy(*transfer);
    curl_easy_setopt(easy, CURLOPT_URL, transfer->url_.c_str());
    curl_easy_setopt(easy, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headerList_);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Requests carry a temporary session token: peer and host checks stay
    // on, and nothing is printed by libcurl itself.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DiscardBody);
    return transfer;
}

CurlTransfer::~CurlTransfer()
{
    curl_slist_free_all(static_cast<curl_slist*>(headerList_));
    if (handle_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(handle_));
}

int aws_upload_server_file(CurlTransfer& transfer, const std::string& localPath)
{
    FilePtr file(std::fopen(localPath.c_str(), "rb"));
    if (!file) return -1;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return -1;
    CURL* easy = Easy(transfer);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, ReadFromFile);
    curl_easy_setopt(easy, CURLOPT_READDATA, file.get());
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    const Outcome outcome = Perform(transfer);
    return ResultOf(outcome, StatusIs(outcome, 200), false);
}

int aws_download_server_file(CurlTransfer& transfer, const std::string& localPath)
{
    const std::string partial = TemporaryNameFor(localPath);
    FilePtr file(std::fopen(partial.c_str(), "wb"));
    if (!file) return -1;
    CURL* easy = Easy(transfer);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, file.get());
    const Outcome outcome = Perform(transfer);
    const bool written = std::fclose(file.release()) == 0;
    int result = ResultOf(outcome, StatusIs(outcome, 200), false);
    if (result == 0 && !written) result = -1;
    if (result == 0 && std::rename(partial.c_str(), localPath.c_str()) != 0) result = -1;
    if (result != 0 && std::remove(partial.c_str()) != 0) result = -1;
    return result;
}

int aws_delete_server_file(CurlTransfer& transfer)
{
    QNConsoleTrace("Delete file start!\n");
    curl_easy_setopt(Easy(transfer), CURLOPT_CUSTOMREQUEST, "DELETE");
    const Outcome outcome = Perform(transfer);
    if (StatusIs(outcome, 204)) {
        QNConsoleTrace("Delete file success!\n");
    } else if (outcome.code == CURLE_OK) {
        QNConsoleTrace("Delete file failed, httpCode %ld!\n", outcome.status);
    }
    return ResultOf(outcome, StatusIs(outcome, 204), true);
}

int aws_delete_single_server_file(CurlTransfer& transfer, const std::string& payload)
{
    QNConsoleTrace("Delete file start!\n");
    QNConsoleTrace("Pyload:%s,size:%d\n", qn_net::TraceText(payload).c_str(), static_cast<int>(payload.size()));
    std::string reply;
    CURL* easy = Easy(transfer);
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, payload.c_str());
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(payload.size()));
    CaptureBodyInto(transfer, reply);
    const Outcome outcome = Perform(transfer);
    const bool statusAccepted = StatusIs(outcome, 200) || StatusIs(outcome, 204);
    if (statusAccepted) {
        QNConsoleTrace("Upload file success!\n");
        // The store answers 200 also when single keys could not be deleted.
        if (ReplyReportsError(reply)) return -2;
    } else if (outcome.code == CURLE_OK) {
        QNConsoleTrace("Upload file failed, httpCode %ld!\n", outcome.status);
    }
    return ResultOf(outcome, statusAccepted, true);
}

int aws_get_object_tagging_server_file(CurlTransfer& transfer, std::string& body)
{
    QNConsoleTrace("Get object tagging file start!\n");
    body.clear();
    curl_easy_setopt(Easy(transfer), CURLOPT_CUSTOMREQUEST, "GET");
    CaptureBodyInto(transfer, body);
    const Outcome outcome = Perform(transfer);
    if (StatusIs(outcome, 200)) {
        QNConsoleTrace("Get object tagging file success!\n");
    } else if (outcome.code == CURLE_OK) {
        QNConsoleTrace("Get object tagging file failed, httpCode %ld!\n", outcome.status);
    }
    return ResultOf(outcome, StatusIs(outcome, 200), true);
}

int aws_upload_server(CurlTransfer& transfer, const uint8_t* buffer, std::size_t length)
{
    if (buffer == nullptr) {
        QNConsoleTrace("The headers parameter of buf is NULL!\n");
        return -1;
    }
    MemoryWindow window{const_cast<uint8_t*>(buffer), length, 0};
    CURL* easy = Easy(transfer);
    curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, ReadFromMemory);
    curl_easy_setopt(easy, CURLOPT_READDATA, &window);
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(length));
    const Outcome outcome = Perform(transfer);
    if (StatusIs(outcome, 200)) {
        QNConsoleTrace("Upload file success!\n");
    } else if (outcome.code == CURLE_OK) {
        QNConsoleTrace("Upload file failed, httpCode %ld!\n", outcome.status);
    }
    return ResultOf(outcome, StatusIs(outcome, 200), true);
}

int aws_download_server(CurlTransfer& transfer, uint8_t* buffer, std::size_t capacity, std::size_t& received)
{
    received = 0;
    if (buffer == nullptr) {
        QNConsoleTrace("The headers parameter of buf is NULL!\n");
        return -1;
    }
    MemoryWindow window{buffer, capacity, 0};
    CURL* easy = Easy(transfer);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteToMemory);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &window);
    const Outcome outcome = Perform(transfer);
    received = window.position;
    if (StatusIs(outcome, 200)) {
        QNConsoleTrace("Download file success!\n");
    } else if (outcome.code == CURLE_OK) {
        QNConsoleTrace("Download file failed, httpCode %ld!\n", outcome.status);
    }
    return ResultOf(outcome, StatusIs(outcome, 200), true);
}

} // namespace qn_cloud
