#include "render_pool.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "platform/paths.h"

namespace qn_dewarp {

int render_thread_count()
{
    const int cores = std::max(1u, std::thread::hardware_concurrency());
    int threads = std::min(cores, kMaxRenderThreads);
    if (const std::optional<std::string> value = platform::GetEnv(kRenderThreadsVariable)) {
        int wanted = 0;
        const char* end = value->data() + value->size();
        const auto [rest, error] = std::from_chars(value->data(), end, wanted);
        // Anything but a positive number leaves the library's choice.
        if (error == std::errc() && rest == end && wanted >= 1) threads = std::min(threads, wanted);
    }
    return threads;
}

RenderPool::RenderPool(int threads) : threads_(std::max(threads, 1)) {}

RenderPool::~RenderPool()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void RenderPool::start_workers()
{
    workers_.reserve(threads_ - 1);
    for (int i = 1; i < threads_; ++i) workers_.emplace_back([this] { worker_loop(); });
}

void RenderPool::take_tasks(const std::function<void(int)>& task, int count)
{
    for (int i = next_.fetch_add(1, std::memory_order_relaxed); i < count;
         i = next_.fetch_add(1, std::memory_order_relaxed))
        task(i);
}

void RenderPool::run(int count, const std::function<void(int)>& task)
{
    if (threads_ == 1 || count <= 1) {
        for (int i = 0; i < count; ++i) task(i);
        return;
    }
    if (workers_.empty()) start_workers();
    {
        std::lock_guard guard(lock_);
        task_ = &task;
        count_ = count;
        next_.store(0, std::memory_order_relaxed);
        working_ = static_cast<int>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    take_tasks(task, count);
    std::unique_lock guard(lock_);
    finished_.wait(guard, [this] { return working_ == 0; });
    task_ = nullptr;
}

void RenderPool::worker_loop()
{
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* task = nullptr;
        int count = 0;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            task = task_;
            count = count_;
        }
        take_tasks(*task, count);
        std::lock_guard guard(lock_);
        if (--working_ == 0) finished_.notify_one();
    }
}

}  // namespace qn_dewarp
