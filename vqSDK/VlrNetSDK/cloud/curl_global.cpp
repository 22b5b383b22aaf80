#include "vqSDK/VlrNetSDK/cloud/curl_global.h"

#include <mutex>

#include <curl/curl.h>

void InitialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}
