// The matching engine's steps as the worker threads see them.
//
// Sub-image projection, colour balancing, matching and the union result are
// not built yet: a run plans nothing beyond the pyramid, takes no picture
// over and matches nothing, so the threads idle until they are stopped.
#include "engine_context.h"
#include "engine_steps.h"

namespace qnpl {
namespace {

int prepare(qnpl_context& ctx) { return ctx.running() ? 0 : 1; }
int no_sub_image(qnpl_context&) { return 0; }
int nothing_to_balance(qnpl_context&) { return 1; }
int nothing_to_match(qnpl_context&) { return 1; }
int no_result(qnpl_context&) { return 0; }

constexpr EngineSteps kSteps{prepare,   no_sub_image, nothing_to_balance, nothing_to_match,
                             no_result, no_result,    no_result,          no_result};

}  // namespace

const EngineSteps& matching_engine_steps() { return kSteps; }

}  // namespace qnpl
