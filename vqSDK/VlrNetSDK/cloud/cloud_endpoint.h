// The object store that QN_NET_Clond_Storage_Download talks to when its
// caller names none. There is no built-in host: until one is set, that call
// fails without a request.
#pragma once

#include <string>

namespace qn_cloud {

struct DefaultEndpoint {
    std::string host; // as corvul_cs_server::SetEndpoint takes it
    std::string region = "cn-north-1";
    std::string service = "s3";
};

void SetDefaultEndpoint(DefaultEndpoint endpoint);
DefaultEndpoint GetDefaultEndpoint();

} // namespace qn_cloud
