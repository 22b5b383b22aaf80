// The plain family: one context per record, no lock (callers keep a record to
// one thread).
#include <new>

#include "plain_context.h"
#include "qn_ddshow.h"

using ostrels::ddshow::PlainContext;

namespace {

PlainContext* contextOf(QN_DDR_PARAM* p) { return p ? static_cast<PlainContext*>(p->hContext) : nullptr; }

template <typename Call>
int32_t withContext(QN_DDR_PARAM* p, Call call)
{
    PlainContext* context = contextOf(p);
    if (!context) return QN_DDR_BAD_ARGUMENT;
    try {
        return call(*context, *p);
    } catch (const std::bad_alloc&) {
        return QN_DDR_NO_MEMORY;
    }
}

} // namespace

extern "C" QN_DDSHOW_API int32_t qn_ddrInit(QN_DDR_PARAM* p)
{
    if (!p) return QN_DDR_BAD_ARGUMENT;
    p->hContext = nullptr;
    auto* context = new (std::nothrow) PlainContext();
    if (!context) return QN_DDR_NO_MEMORY;
    int32_t result = QN_DDR_REFUSED;
    try {
        result = context->init(*p);
    } catch (const std::bad_alloc&) {
        result = QN_DDR_NO_MEMORY;
    }
    if (result != QN_DDR_OK) {
        delete context;
        return result;
    }
    p->hContext = context;
    return QN_DDR_OK;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrUnInit(QN_DDR_PARAM* p)
{
    PlainContext* context = contextOf(p);
    if (!context) return QN_DDR_BAD_ARGUMENT;
    delete context;
    p->hContext = nullptr;
    p->hDC = nullptr;
    return QN_DDR_OK;
}

extern "C" QN_DDSHOW_API int32_t qn_ddrSetModel(QN_DDR_PARAM* p)
{
    return withContext(p, [](PlainContext& c, QN_DDR_PARAM& r) { return c.setModel(r); });
}

extern "C" QN_DDSHOW_API int32_t qn_ddrDrawImage(QN_DDR_PARAM* p)
{
    return withContext(p, [](PlainContext& c, QN_DDR_PARAM& r) { return c.drawImage(r); });
}

extern "C" QN_DDSHOW_API int32_t qn_ddrCopyImage(QN_DDR_PARAM* p)
{
    return withContext(p, [](PlainContext& c, QN_DDR_PARAM& r) { return c.copyImage(r); });
}

extern "C" QN_DDSHOW_API int32_t qn_ddrShowImage(QN_DDR_PARAM* p)
{
    return withContext(p, [](PlainContext& c, QN_DDR_PARAM& r) { return c.showImage(r); });
}

extern "C" QN_DDSHOW_API int32_t qn_ddrLockSurface(QN_DDR_PARAM* p)
{
    return withContext(p, [](PlainContext& c, QN_DDR_PARAM& r) { return c.lockSurface(r); });
}

extern "C" QN_DDSHOW_API int32_t qn_ddrUnLockSurface(QN_DDR_PARAM* p)
{
    return withContext(p, [](PlainContext& c, QN_DDR_PARAM& r) { return c.unlockSurface(r); });
}
