#include "vqSDK/VlrNetSDK/sdk_session.h"

#include <chrono>
#include <condition_variable>
#include <thread>

#include "Depend/qn_log.h"

namespace qn_net {
namespace {

// Longer than the longest wait a call makes (the login time-out), so that a
// call under way when the session ends normally finishes within it.
constexpr auto kEndWait = std::chrono::seconds(10);

thread_local const sdk_session* t_ownSession = nullptr;
thread_local int t_joinedThread = 0;

// How the last reference of an ending session reaches the thread that ends it.
struct end_handoff {
    std::mutex mutex;
    std::condition_variable released;
    bool awaited = false;
    sdk_session* last = nullptr;
};

struct session_deleter {
    std::shared_ptr<end_handoff> handoff;

    void operator()(sdk_session* ended) const
    {
        {
            std::lock_guard<std::mutex> lock(handoff->mutex);
            if (handoff->awaited) {
                handoff->last = ended;
                handoff->released.notify_all();
                return;
            }
        }
        delete ended;
    }
};

session_ref MakeSession()
{
    return session_ref(new sdk_session, session_deleter{std::make_shared<end_handoff>()});
}

struct current_session {
    std::mutex mutex;
    session_ref session = MakeSession();
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

session_ref renew_session()
{
    session_ref fresh = MakeSession();
    current_session& current = Current();
    std::lock_guard<std::mutex> lock(current.mutex);
    current.session.swap(fresh);
    return fresh;
}

void end_session(session_ref ended)
{
    if (!ended) return;
    const bool ownedHere = ended.get() == t_ownSession;
    std::shared_ptr<end_handoff> handoff = std::get_deleter<session_deleter>(ended)->handoff;
    if (ownedHere) {
        // This thread lets go of it only once the callback it raised returns.
        QNLogPrint("%s(%d) the session ends when this thread lets it go\n", "end_session", __LINE__);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(handoff->mutex);
        handoff->awaited = true;
    }
    ended.reset();
    sdk_session* last = nullptr;
    {
        std::unique_lock<std::mutex> lock(handoff->mutex);
        if (handoff->released.wait_for(lock, kEndWait, [&] { return handoff->last != nullptr; })) {
            last = handoff->last;
            handoff->last = nullptr;
        } else {
            handoff->awaited = false;
        }
    }
    if (last == nullptr) {
        QNLogPrint("%s(%d) the session is still held after %lld s; its last holder ends it\n", "end_session", __LINE__,
                   static_cast<long long>(kEndWait.count()));
        return;
    }
    if (t_joinedThread > 0) {
        // Destroying it here would make this thread wait for itself.
        std::thread([last] { delete last; }).detach();
        return;
    }
    delete last;
}

own_session_mark::own_session_mark(const sdk_session* held) : previous_(t_ownSession) { t_ownSession = held; }

own_session_mark::~own_session_mark() { t_ownSession = previous_; }

joined_thread_mark::joined_thread_mark() { ++t_joinedThread; }

joined_thread_mark::~joined_thread_mark() { --t_joinedThread; }

} // namespace qn_net
