// The matching engine's steps as the worker threads see them.
#include "colour_balance.h"
#include "engine_context.h"
#include "engine_steps.h"
#include "engine_steps_internal.h"

namespace qnpl {
namespace {

constexpr EngineSteps kSteps{PrepareProcess, SetUpSubImage,     BalanceColours, MatchImages,
                             CreateResult,   RenderHighDynamic, RenderUnion,    FinishUnion};

}  // namespace

const EngineSteps& matching_engine_steps() { return kSteps; }

}  // namespace qnpl
