#include "platform/event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace platform {

namespace {

// One thread blocked in EventSet::WaitAny; every event of its set pokes it.
struct Waiter {
    std::mutex mutex;
    std::condition_variable wake;
    bool poked = false;
};

using SteadyClock = std::chrono::steady_clock;

std::optional<SteadyClock::time_point> DeadlineAfter(int64_t timeoutMs)
{
    if (timeoutMs < 0) return std::nullopt;
    return SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace

struct Event::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool manualReset = false;
    bool signalled = false;
    std::string name;
    std::vector<Waiter*> waiters;

    // Caller holds `mutex`.
    bool TakeSignal()
    {
        if (!signalled) return false;
        if (!manualReset) signalled = false;
        return true;
    }
};

Event::Event(bool manualReset, bool initiallySet, std::string name)
{
    Create(manualReset, initiallySet, std::move(name));
}

Event::~Event() { Close(); }

std::shared_ptr<Event::State> Event::Load() const
{
    std::lock_guard lock(stateMutex_);
    return state_;
}

bool Event::Create(bool manualReset, bool initiallySet, std::string name)
{
    auto state = std::make_shared<State>();
    state->manualReset = manualReset;
    state->signalled = initiallySet;
    state->name = std::move(name);
    std::lock_guard lock(stateMutex_);
    state_ = std::move(state);
    return true;
}

void Event::Close()
{
    std::shared_ptr<State> closing;
    std::lock_guard lock(stateMutex_);
    closing.swap(state_); // released after the lock, by whoever holds it last
}

bool Event::Set()
{
    auto state = Load();
    if (!state) return false;
    std::lock_guard lock(state->mutex);
    state->signalled = true;
    state->changed.notify_all();
    for (Waiter* waiter : state->waiters) {
        std::lock_guard poke(waiter->mutex);
        waiter->poked = true;
        waiter->wake.notify_one();
    }
    return true;
}

bool Event::Reset()
{
    auto state = Load();
    if (!state) return false;
    std::lock_guard lock(state->mutex);
    state->signalled = false;
    return true;
}

bool Event::IsSet() const
{
    auto state = Load();
    if (!state) return false;
    std::lock_guard lock(state->mutex);
    return state->signalled;
}

int Event::Wait(int64_t timeoutMs)
{
    auto state = Load();
    if (!state) return kFailed;
    std::unique_lock lock(state->mutex);
    auto deadline = DeadlineAfter(timeoutMs);
    while (!state->TakeSignal()) {
        if (!deadline) {
            state->changed.wait(lock);
        } else if (state->changed.wait_until(lock, *deadline) == std::cv_status::timeout) {
            return state->TakeSignal() ? kSignalled : kTimedOut;
        }
    }
    return kSignalled;
}

std::string Event::Name() const
{
    auto state = Load();
    return state ? state->name : std::string();
}

bool EventSet::Add(Event& event)
{
    if (events_.size() >= kMaxEvents) return false;
    events_.push_back(&event);
    return true;
}

int EventSet::WaitAny(int64_t timeoutMs)
{
    if (events_.empty()) return Event::kFailed;
    std::vector<std::shared_ptr<Event::State>> states;
    states.reserve(events_.size());
    for (Event* event : events_) {
        auto state = event->Load();
        if (!state) return Event::kFailed;
        states.push_back(std::move(state));
    }

    Waiter waiter;
    for (auto& state : states) {
        std::lock_guard lock(state->mutex);
        state->waiters.push_back(&waiter);
    }
    auto unregister = [&] {
        for (auto& state : states) {
            std::lock_guard lock(state->mutex);
            auto& list = state->waiters;
            list.erase(std::remove(list.begin(), list.end(), &waiter), list.end());
        }
    };
    auto firstSignalled = [&]() -> int {
        for (std::size_t i = 0; i < states.size(); ++i) {
            std::lock_guard lock(states[i]->mutex);
            if (states[i]->TakeSignal()) return static_cast<int>(i);
        }
        return -1;
    };

    auto deadline = DeadlineAfter(timeoutMs);
    int result = Event::kTimedOut;
    for (;;) {
        int index = firstSignalled();
        if (index >= 0) {
            result = index;
            break;
        }
        std::unique_lock lock(waiter.mutex);
        if (!waiter.poked) {
            if (!deadline) {
                waiter.wake.wait(lock, [&] { return waiter.poked; });
            } else if (!waiter.wake.wait_until(lock, *deadline, [&] { return waiter.poked; })) {
                lock.unlock();
                index = firstSignalled();
                result = index >= 0 ? index : Event::kTimedOut;
                break;
            }
        }
        waiter.poked = false;
    }
    unregister();
    return result;
}

} // namespace platform
