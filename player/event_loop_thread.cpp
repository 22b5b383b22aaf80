#include "event_loop_thread.h"

#include "Depend/qn_log.h"

#include <QThread>

namespace talk_audio {

void StopEventLoopThread(QThread* thread, int ms)
{
    if (thread == nullptr) return;
    if (thread == QThread::currentThread()) {
        QNLogPrint("%s(%d) a thread cannot stop itself\n", "StopEventLoopThread", __LINE__);
        thread->quit();
        return;
    }
    thread->quit();
    if (!thread->wait(static_cast<unsigned long>(ms))) {
        QNLogPrint("%s(%d) thread did not stop in %d ms\n", "StopEventLoopThread", __LINE__, ms);
        thread->wait();
    }
}

} // namespace talk_audio
