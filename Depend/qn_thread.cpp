#include "Depend/qn_thread.h"

#include "Depend/qn_log.h"
#include "platform/clock.h"

#include <functional>
#include <future>
#include <memory>

void QNThreadInit(QNThread* record)
{
    if (record == nullptr) return;
    record->run = 0;
    record->exited = 1;
    record->id = 0;
}

int QNThreadStart(QNThread* record, QNThreadProc proc, void* parameter)
{
    if (record == nullptr || proc == nullptr || record->handle.joinable()) return 0;
    record->run = 1;
    record->exited = 0;
    // The thread starts its work only once the record holds it, so that the
    // work may look at its own record.
    auto recorded = std::make_shared<std::promise<void>>();
    try {
        record->handle = std::thread([record, proc, parameter, started = recorded->get_future()]() mutable {
            started.wait();
            proc(parameter);
            record->exited = 1;
        });
    } catch (const std::system_error&) {
        record->run = 0;
        record->exited = 1;
        return 0;
    }
    record->id = static_cast<uint32_t>(std::hash<std::thread::id>{}(record->handle.get_id()));
    recorded->set_value();
    return 1;
}

void QNThreadStop(QNThread* record, int ms)
{
    if (record == nullptr) return;
    record->run = 0;
    if (record->handle.joinable() && record->handle.get_id() == std::this_thread::get_id()) {
        // A thread cannot wait for its own end; it has been asked to stop.
        QNLogPrint("%s(%d) a thread cannot stop itself\n", "QNThreadStop", __LINE__);
        return;
    }
    if (record->exited == 0) {
        for (int waited = 0; waited < ms && record->exited == 0; waited += 10) platform::SleepMs(10);
        if (record->exited == 0) QNLogPrint("%s(%d) thread did not stop in %d ms\n", "QNThreadStop", __LINE__, ms);
    }
    if (record->handle.joinable()) record->handle.join();
    record->exited = 1;
    record->run = 0;
}
