#include "Depend/qn_thread.h"

#include "Depend/qn_log.h"
#include "platform/clock.h"

#include <functional>

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
    try {
        record->handle = std::thread([record, proc, parameter] {
            proc(parameter);
            record->exited = 1;
        });
    } catch (const std::system_error&) {
        record->run = 0;
        record->exited = 1;
        return 0;
    }
    record->id = static_cast<uint32_t>(std::hash<std::thread::id>{}(record->handle.get_id()));
    return 1;
}

void QNThreadStop(QNThread* record, int ms)
{
    if (record == nullptr) return;
    record->run = 0;
    if (record->exited == 0) {
        for (int waited = 0; waited < ms && record->exited == 0; waited += 10) platform::SleepMs(10);
        if (record->exited == 0) QNLogPrint("%s(%d) thread did not stop in %d ms\n", "QNThreadStop", __LINE__, ms);
    }
    if (record->handle.joinable() && record->handle.get_id() != std::this_thread::get_id()) record->handle.join();
    record->exited = 1;
    record->run = 0;
}
