#include "vqSDK/VlrNetSDK/session/sdk_session.h"

#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net {
namespace {

std::unique_ptr<sdk_session>& Current()
{
    // The connections outlive every session: the online check's thread uses
    // the management connection until the session is destroyed.
    objects();
    static std::unique_ptr<sdk_session> current = std::make_unique<sdk_session>();
    return current;
}

} // namespace

sdk_session& session() { return *Current(); }

void renew_session()
{
    std::unique_ptr<sdk_session>& current = Current();
    current.reset();
    current = std::make_unique<sdk_session>();
}

} // namespace qn_net
