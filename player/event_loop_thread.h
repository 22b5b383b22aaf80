// Stopping a QThread that runs an event loop the way a thread record is
// stopped: ask, wait a bounded time, say so when it takes longer, then wait
// for it. A thread is never terminated, so one that does not react delays its
// owner instead of corrupting the process.
#pragma once

class QThread;

namespace talk_audio {

// Quits the thread's event loop and waits up to `ms`; logs "thread did not
// stop in <ms> ms" when it has not ended by then and waits on without limit.
void StopEventLoopThread(QThread* thread, int ms);

} // namespace talk_audio
