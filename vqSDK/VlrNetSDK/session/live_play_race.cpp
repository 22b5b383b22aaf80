#include "vqSDK/VlrNetSDK/session/live_play_race.h"

#include "vqSDK/VlrNetSDK/session/play_online_check.h"

#include "vqSDK/VlrNetSDK/session/play_state.h"
#include "vqSDK/VlrNetSDK/session/sdk_objects.h"

namespace qn_net::play {
namespace {

void JoinUnlessSelf(std::thread& thread)
{
    if (!thread.joinable()) return;
    if (thread.get_id() == std::this_thread::get_id()) {
        // Stopped from a callback of this very thread: it ends as soon as the
        // callback returns and touches nothing of a newer play.
        thread.detach();
        return;
    }
    thread.join();
}

} // namespace

route_race::route_race(session_ref startSession, uint32_t cameraId, uint64_t generationNumber)
    : session(std::move(startSession)), camera(cameraId), generation(generationNumber)
{
    decided.Create(true, false, "localrealplay");
}

play_session_part& route_race::sdk() const { return play_part(*session); }

bool route_race::current_locked() const { return !cancelled.load() && sdk().play.generation == generation; }

shared_state& route_race::state_locked() const { return sdk().play; }

race_runner::~race_runner() { finish(); }

bool race_runner::running()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return race_ != nullptr || local_.joinable() || public_.joinable() || joined_by_other_locked();
}

bool race_runner::joined_by_other_locked() const
{
    // A route thread that stops play from its own callback is among those
    // being joined; it must not wait for itself.
    for (const std::thread::id& id : joining_) {
        if (id == std::this_thread::get_id()) return false;
    }
    return !joining_.empty();
}

void race_runner::start(const std::shared_ptr<route_race>& race)
{
    finish();
    std::lock_guard<std::mutex> lock(mutex_);
    race_ = race;
    local_ = std::thread([race] {
        const own_session_mark mark(race->session.get());
        local_route(race);
    });
    public_ = std::thread([race] {
        const own_session_mark mark(race->session.get());
        public_route(race);
    });
}

void race_runner::cancel()
{
    std::shared_ptr<route_race> race;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        race = race_;
    }
    if (!race) return;
    {
        std::lock_guard<std::mutex> lock(race->sdk().play_mutex);
        race->cancelled.store(true);
    }
    // Wake whatever the threads wait for; each looks at `cancelled` after
    // every wait.
    race->local_address.event.Set();
    race->video_address.event.Set();
    race->decided.Set();
    race->sdk().ipc.first_data_event().Set();
}

void race_runner::finish()
{
    cancel();
    std::thread local;
    std::thread pub;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        race_.reset();
        local = std::move(local_);
        pub = std::move(public_);
        if (!local.joinable() && !pub.joinable()) {
            // Another caller is joining them: this one returns only once
            // they are gone too.
            joinedAll_.wait(lock, [this] { return !joined_by_other_locked(); });
            return;
        }
        if (local.joinable()) joining_.push_back(local.get_id());
        if (pub.joinable()) joining_.push_back(pub.get_id());
    }
    JoinUnlessSelf(local);
    JoinUnlessSelf(pub);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        joining_.clear();
    }
    joinedAll_.notify_all();
}

} // namespace qn_net::play

namespace qn_net::play {

void finish_race(play_session_part& sdk, std::unique_lock<std::mutex>& calls)
{
    // Another call may start a race while the lock is released.
    while (sdk.runner.running()) {
        calls.unlock();
        sdk.runner.finish();
        calls.lock();
    }
}

void end_play_threads(play_session_part& sdk)
{
    {
        std::unique_lock<std::mutex> calls(sdk.play_calls_mutex);
        finish_race(sdk, calls);
    }
    sdk.online.stop();
}

} // namespace qn_net::play
