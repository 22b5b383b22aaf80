#include "vqSDK/VlrNetSDK/sdk_session.h"

namespace qn_net {
namespace {

struct current_session {
    std::mutex mutex;
    session_ref session = std::make_shared<sdk_session>();
};

current_session& Current()
{
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
    // its parts join their threads, outside the lock.
}

} // namespace qn_net
