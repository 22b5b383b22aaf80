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

route_race::route_race(uint32_t cameraId, uint64_t generationNumber) : camera(cameraId), generation(generationNumber)
{
    decided.Create(true, false, "localrealplay");
}

bool route_race::current_locked() const
{
    return !cancelled.load() && state_locked().generation == generation;
}

race_runner::~race_runner() { finish(); }

bool race_runner::running()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return race_ != nullptr || local_.joinable() || public_.joinable();
}

void race_runner::start(const std::shared_ptr<route_race>& race)
{
    finish();
    std::lock_guard<std::mutex> lock(mutex_);
    race_ = race;
    local_ = std::thread([race] { local_route(race); });
    public_ = std::thread([race] { public_route(race); });
}

void race_runner::finish()
{
    std::shared_ptr<route_race> race;
    std::thread local;
    std::thread pub;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        race = std::move(race_);
        local = std::move(local_);
        pub = std::move(public_);
    }
    if (race) {
        {
            std::lock_guard<std::mutex> lock(play_mutex());
            race->cancelled.store(true);
        }
        // Wake whatever the threads wait for; each looks at `cancelled`
        // after every wait.
        race->local_address.event.Set();
        race->video_address.event.Set();
        race->decided.Set();
        objects().ipc.first_data_event().Set();
    }
    JoinUnlessSelf(local);
    JoinUnlessSelf(pub);
}

race_runner& runner()
{
    // The connections outlive the runner: its threads use them until joined.
    objects();
    static race_runner single;
    return single;
}

} // namespace qn_net::play

namespace qn_net::play {

void finish_race(std::unique_lock<std::mutex>& calls)
{
    // Another call may start a race while the lock is released.
    while (runner().running()) {
        calls.unlock();
        runner().finish();
        calls.lock();
    }
}

void end_play_threads()
{
    {
        std::unique_lock<std::mutex> calls(play_calls_mutex());
        finish_race(calls);
    }
    online().stop();
}

} // namespace qn_net::play
