// Thread record with a cooperative stop. The owner starts the thread with run
// 1 and exited 0; the thread loops while run is 1. A stop clears run, waits a
// bounded time for the thread to end and then joins it: a thread is never
// killed, so one that does not react delays its owner instead of corrupting
// the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

struct QNThread {
    std::atomic<int32_t> run{0};
    std::atomic<int32_t> exited{1};
    std::thread handle;
    uint32_t id = 0;
};

using QNThreadProc = void (*)(void* parameter);

// run 0, exited 1, no thread, id 0. A record that still owns a thread must be
// stopped first.
void QNThreadInit(QNThread* record);
// Sets run 1 and exited 0 and starts `proc(parameter)`; exited becomes 1 when it
// returns. 0 for a null record or function, or when the record still owns a
// thread or creation fails.
int QNThreadStart(QNThread* record, QNThreadProc proc, void* parameter);
// Clears run, waits up to `ms` in 10 ms steps for exited, logs when the thread
// took longer, then joins it. On a thread that already ended it only joins.
// Called from the record's own thread it only clears run (and logs).
void QNThreadStop(QNThread* record, int ms);
