// Events in the manner of the system this client was written for: manual- or
// auto-reset, set and reset from any thread, waited on with a time-out, alone
// or several at once.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class Event {
public:
    static constexpr int kSignalled = 0;
    static constexpr int kTimedOut = 258;
    static constexpr int kFailed = -1;
    static constexpr int64_t kInfinite = -1;

    // Not created: Wait gives kFailed until Create succeeds.
    Event() = default;
    Event(bool manualReset, bool initiallySet, std::string name = {});
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Create(bool manualReset, bool initiallySet, std::string name = {});
    // Waiters that are still blocked keep the event alive until they return.
    void Close();
    bool IsCreated() const { return Load() != nullptr; }

    bool Set();
    bool Reset();
    // kSignalled, kTimedOut, or kFailed when not created. A negative time-out
    // waits for ever. An auto-reset event is reset by the wait it ends.
    int Wait(int64_t timeoutMs);
    bool IsSet() const;

    std::string Name() const;

private:
    friend class EventSet;
    struct State;
    std::shared_ptr<State> Load() const;

    // Close may run while other threads wait on or set the event.
    mutable std::mutex stateMutex_;
    std::shared_ptr<State> state_;
};

// Waits on up to 64 events at once.
class EventSet {
public:
    static constexpr std::size_t kMaxEvents = 64;

    bool Add(Event& event);
    std::size_t Size() const { return events_.size(); }

    // Index of the first signalled event (an auto-reset one is reset), or
    // Event::kTimedOut, or Event::kFailed when the set is empty or holds an
    // event that is not created.
    int WaitAny(int64_t timeoutMs);

private:
    std::vector<Event*> events_;
};

} // namespace platform
