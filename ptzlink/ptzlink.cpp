// QN_PTZLINK: the engine's life cycle, callbacks and worker threads.
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>

#include "engine_context.h"
#include "engine_instance.h"
#include "engine_steps.h"
#include "pyramid_plan.h"
#include "qn_ptzlink.h"
#include "worker_threads.h"

namespace qnpl {
namespace {

constexpr int32_t kNotCreated = -1;
constexpr int32_t kCreatedHandle = 0;
std::mutex g_instance_lock;
std::atomic<qnpl_context*> g_instance{nullptr};

EventSink& error_sink()
{
    static EventSink sink;
    return sink;
}

bool start_worker(Worker& worker, void (*proc)(qnpl_context*), qnpl_context* ctx)
{
    worker.alive.store(true, std::memory_order_release);
    try {
        worker.thread = std::thread(proc, ctx);
    } catch (const std::system_error&) {
        worker.alive.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

void join_worker(Worker& worker)
{
    if (worker.thread.joinable()) worker.thread.join();
}

// Asks both workers to stop and waits for them. Called from a worker's
// callback it only asks: the host's next stop or Destory collects them.
void stop_workers(qnpl_context& ctx)
{
    ctx.flags.set(flag::kStopRequested);
    if (on_worker_thread()) return;
    join_worker(ctx.project_worker);
    join_worker(ctx.union_worker);
}

}  // namespace

qnpl_context* engine_instance() { return g_instance.load(std::memory_order_acquire); }

bool send_error(uint64_t code, const char* text) { return error_sink().send(code, text); }

}  // namespace qnpl

using qnpl::engine_instance;
namespace flag = qnpl::flag;

namespace {

qnpl_context* created_context(int32_t handle)
{
    if (handle == qnpl::kNotCreated) return nullptr;
    qnpl_context* ctx = engine_instance();
    return ctx && ctx->flags.test(flag::kCreated) ? ctx : nullptr;
}

}  // namespace

QN_PTZLINK::QN_PTZLINK() : m_handle(qnpl::kNotCreated) {}

QN_PTZLINK::~QN_PTZLINK()
{
    // A host that goes away during a run must not leave threads calling it.
    if (m_handle != qnpl::kNotCreated) Destory();
    m_handle = qnpl::kNotCreated;
}

int QN_PTZLINK::SetErrorCallBack(QNPL_CB_FUNC function, uint64_t user)
{
    qnpl::error_sink().set(function, user);
    return 1;
}

int QN_PTZLINK::SetEventCallBack(QNPL_CB_FUNC function, uint64_t user)
{
    qnpl_context* ctx = created_context(m_handle);
    if (!ctx) return 0;
    ctx->events.set(function, user);
    return 1;
}

int QN_PTZLINK::Create()
{
    std::lock_guard<std::mutex> guard(qnpl::g_instance_lock);
    if (qnpl::g_instance.load()) return 0;
    qnpl_context* ctx = new (std::nothrow) qnpl_context{};
    if (!ctx) return 0;
    ctx->pixel_per_degree = qnpl::kDefaultPixelPerDegree;
    ctx->trust_rate = qnpl::kDefaultTrustRate;
    ctx->res_range_enlarge = 0.0f;
    ctx->correct_range.fill(qnpl::kDefaultCorrectRange);
    ctx->progress.put(qnpl::progress::kPixelMoveRegis, 1);
    ctx->flags.set(flag::kCreated);
    ctx->steps = &qnpl::matching_engine_steps();
    ctx->projection.Create();
    m_handle = qnpl::kCreatedHandle;
    qnpl::g_instance.store(ctx, std::memory_order_release);
    return 1;
}

int QN_PTZLINK::Destory()
{
    qnpl_context* ctx = created_context(m_handle);
    if (!ctx) return 0;
    // Freeing the context under a worker that is still in its callback would
    // pull the memory from under it.
    if (qnpl::on_worker_thread()) return 0;
    if (ctx->running()) ShutDownProcess();
    qnpl::stop_workers(*ctx);
    ctx->projection.Destory();
    m_handle = qnpl::kNotCreated;
    {
        std::lock_guard<std::mutex> guard(qnpl::g_instance_lock);
        qnpl::g_instance.store(nullptr, std::memory_order_release);
    }
    delete ctx;
    return 1;
}

int QN_PTZLINK::AddCorrectPara(const uint8_t* record, int length, uint64_t pano_type)
{
    qnpl_context* ctx = created_context(m_handle);
    if (!ctx) return QN_VPI_ERR_CONTEXT;
    if (!record) return QN_VPI_ERR_LENGTH;
    return ctx->projection.AddCorrectPara(record, length, pano_type);
}

int QN_PTZLINK::GetInfo(const char* key, char** text, uint64_t* /*value*/)
{
    qnpl_context* ctx = created_context(m_handle);
    if (!ctx || !key) return 0;
    if (std::strcmp(key, "ready_for_input") == 0) {
        const bool ready = ctx->running() && ctx->flags.test(flag::kReadyForInput);
        ctx->info_text[0] = ready ? 'y' : 'n';
        ctx->info_text[1] = '\0';
    }
    if (text) *text = ctx->info_text;
    return 1;
}

int QN_PTZLINK::LaunchProcess()
{
    qnpl_context* ctx = created_context(m_handle);
    if (!ctx || ctx->running()) return 0;
    if (ctx->project_worker.alive.load() || ctx->union_worker.alive.load()) return 0;
    // Workers of an earlier run that ended by themselves are collected here.
    if (qnpl::on_worker_thread()) return 0;
    qnpl::join_worker(ctx->project_worker);
    qnpl::join_worker(ctx->union_worker);
    // A run needs a picture size and at least one pyramid level to match on.
    if (ctx->def_width == 0 || ctx->def_height == 0) return 0;
    if (qnpl::plan_pyramid(ctx->pixel_per_degree, nullptr) == 0) return 0;
    if (ctx->steps->prepare(*ctx) != 1) return 0;

    ctx->lens_map = nullptr;  // the run's first picture builds it again
    ctx->pyramid.fill(0);
    const int levels = qnpl::plan_pyramid(ctx->pixel_per_degree, &ctx->pyramid);
    ctx->flags.put(flag::kPyramidLevels, levels);
    ctx->flags.put(flag::kPyramidFirstLevel, qnpl::first_pyramid_level(levels));
    ctx->flags.clear(flag::kStopRequested);
    ctx->flags.clear(flag::kProjectionFinished);
    ctx->flags.clear(flag::kPictureWaiting);
    ctx->flags.clear(flag::kUnionFinished);

    if (!qnpl::start_worker(ctx->project_worker, qnpl::ProjectThreadProc, ctx)) return 0;
    if (!qnpl::start_worker(ctx->union_worker, qnpl::UnionThreadProc, ctx)) {
        qnpl::stop_workers(*ctx);
        return 0;
    }
    ctx->flags.set(flag::kRunning);
    ctx->flags.set(flag::kReadyForInput);
    return 1;
}

int QN_PTZLINK::ShutDownProcess()
{
    qnpl_context* ctx = created_context(m_handle);
    if (!ctx || !ctx->running()) return 0;
    ctx->flags.set(flag::kStopRequested);
    ctx->flags.clear(flag::kRunning);
    qnpl::stop_workers(*ctx);
    return 1;
}
