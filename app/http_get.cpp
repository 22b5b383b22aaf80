#include "app/http_get.h"

#include <curl/curl.h>

#include "Depend/qn_log.h"
#include "vqSDK/VlrNetSDK/cloud/curl_global.h"

namespace {

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

int StopWhenAsked(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto* stop = static_cast<const std::atomic<bool>*>(user);
    return stop != nullptr && stop->load() ? 1 : 0;
}

} // namespace

int HttpGet(const std::string& url, std::string* body, const std::atomic<bool>* stop, const HttpGetLimits& limits)
{
    if (body == nullptr) return 0;
    body->clear();
    InitialiseCurlOnce();
    CURL* easy = curl_easy_init();
    if (easy == nullptr) return 0;
    std::string received;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, AppendBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, StopWhenAsked);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, stop);
    const CURLcode code = curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    if (code != CURLE_OK) {
        QNLogPrint("%s(%d) GET %s failed: %s\n", __FUNCTION__, __LINE__, url.c_str(), curl_easy_strerror(code));
        return 0;
    }
    if (status < 200 || status > 299) {
        QNLogPrint("%s(%d) GET %s answered %ld\n", __FUNCTION__, __LINE__, url.c_str(), status);
        return 0;
    }
    *body = std::move(received);
    return 1;
}
