// A recursive lock: the thread that holds it may take it again.
#pragma once

#include <mutex>

class QNLock {
public:
    QNLock() = default;
    QNLock(const QNLock&) = delete;
    QNLock& operator=(const QNLock&) = delete;

    // The lock goes with the object; kept for callers that release it early.
    void Delete() {}
    int Lock()
    {
        mutex_.lock();
        return 0;
    }
    int Unlock()
    {
        mutex_.unlock();
        return 0;
    }

private:
    std::recursive_mutex mutex_;
};
