#include "worker_threads.h"

#include <chrono>
#include <thread>

#include "engine_context.h"
#include "engine_steps.h"

namespace qnpl {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

thread_local bool t_is_worker = false;

// Builds the union image once every cell is matched; the finish text does not
// depend on its success.
void build_union_result(qnpl_context& ctx)
{
    const EngineSteps& steps = *ctx.steps;
    if (steps.create_result(ctx) != 1) return;
    const bool high_dynamic = ctx.flags.test(flag::kHighDynamic);
    if (!high_dynamic || steps.render_high_dynamic(ctx) == 0) {
        if (steps.render_union(ctx) != 1) return;
    }
    steps.finish_union(ctx);
}

}  // namespace

bool on_worker_thread() { return t_is_worker; }
void mark_worker_thread() { t_is_worker = true; }

void ProjectThreadProc(qnpl_context* ctx)
{
    mark_worker_thread();
    while (!ctx->flags.test(flag::kStopRequested)) {
        if (ctx->flags.test(flag::kProjectionFinished)) break;
        if (ctx->flags.test(flag::kPictureWaiting) && ctx->steps->set_up_sub_image(*ctx) != 1) break;
        std::this_thread::sleep_for(kPollInterval);
    }
    ctx->project_worker.alive.store(false, std::memory_order_release);
    ctx->send(ctx->flags.test(flag::kProjectionFinished) ? "PROJECT_FINISH" : "STOP_PROJECT");
}

void UnionThreadProc(qnpl_context* ctx)
{
    mark_worker_thread();
    while (!ctx->flags.test(flag::kStopRequested)) {
        if (ctx->flags.test(flag::kUnionFinished)) break;
        if (ctx->progress.test(progress::kUnionMatching))
            ctx->steps->match_images(*ctx);
        else
            ctx->steps->balance_colours(*ctx);
        std::this_thread::sleep_for(kPollInterval);
    }
    if (ctx->flags.test(flag::kUnionFinished)) build_union_result(*ctx);
    ctx->union_worker.alive.store(false, std::memory_order_release);
    ctx->send(ctx->flags.test(flag::kUnionFinished) ? "UNION_FINISH" : "STOP_UNION");
}

}  // namespace qnpl
