// The worker threads an engine renders a frame's bands of rows on. The
// calling thread works too, so a pool of n threads starts n - 1 workers, on
// first use; the destructor joins them.
#ifndef QN_DEWARP_RENDER_POOL_H
#define QN_DEWARP_RENDER_POOL_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qn_dewarp {

// Environment variable that may lower the number of render threads ("1":
// every frame on the caller's thread alone).
inline constexpr const char* kRenderThreadsVariable = "QN_DEWARP_THREADS";
// More threads than this gain little on a frame's few milliseconds of work.
inline constexpr int kMaxRenderThreads = 8;

// The processor's cores, at most kMaxRenderThreads, lowered by the variable.
int render_thread_count();

class RenderPool {
public:
    explicit RenderPool(int threads);
    ~RenderPool();
    RenderPool(const RenderPool&) = delete;
    RenderPool& operator=(const RenderPool&) = delete;

    int threads() const { return threads_; }

    // Runs task(0) .. task(count - 1), each once, on the workers and the
    // calling thread; returns when all have finished. One caller at a time
    // (the engine's lock sees to that).
    void run(int count, const std::function<void(int)>& task);

private:
    void start_workers();
    void worker_loop();
    void take_tasks(const std::function<void(int)>& task, int count);

    const int threads_;
    std::vector<std::thread> workers_;
    std::mutex lock_;
    std::condition_variable wake_, finished_;
    uint64_t generation_ = 0; // one more for every run
    bool stopping_ = false;
    const std::function<void(int)>* task_ = nullptr;
    int count_ = 0;
    int working_ = 0; // workers still on the current run
    std::atomic<int> next_{0};
};

}  // namespace qn_dewarp

#endif
