#include "vqSDK/VlrNetSDK/session/sdk_session.h"

#include <mutex>

#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net {
namespace {

struct current_session {
    std::mutex mutex;
    session_ref session = std::make_shared<sdk_session>();
};

current_session& Current()
{
    // The connections outlive every session: the online check's thread uses
    // the management connection until the session is destroyed.
    objects();
    static current_session current;
    return current;
}

} // namespace

session_ref session()
{
    current_session& current = Current();
    std::lock_guard<std::mutex> lock(current.mutex);
    return current.session;
}

void renew_session()
{
    session_ref fresh = std::make_shared<sdk_session>();
    current_session& current = Current();
    {
        std::lock_guard<std::mutex> lock(current.mutex);
        current.session.swap(fresh);
    }
    // The ended session goes here unless a call or thread still holds it:
    // its online check joins its thread, outside the lock.
}

} // namespace qn_net
