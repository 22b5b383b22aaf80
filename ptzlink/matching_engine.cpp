// The matching engine's steps as the worker threads see them.
//
// Matching and the union result are not built yet: a run plans its
// positions, projects every picture into its sub-image and balances the
// colours, and the union thread then idles until it is stopped.
#include "colour_balance.h"
#include "engine_context.h"
#include "engine_steps.h"
#include "engine_steps_internal.h"

namespace qnpl {
namespace {

int nothing_to_match(qnpl_context&) { return 1; }
int no_result(qnpl_context&) { return 0; }

constexpr EngineSteps kSteps{PrepareProcess, SetUpSubImage, BalanceColours, nothing_to_match,
                             no_result,      no_result,     no_result,          no_result};

}  // namespace

const EngineSteps& matching_engine_steps() { return kSteps; }

}  // namespace qnpl
