// The steps of the matching engine that LaunchProcess and the two worker
// threads run, in the order of a run. Each returns 1 on success.
#ifndef OSTRELS_PTZLINK_ENGINE_STEPS_H
#define OSTRELS_PTZLINK_ENGINE_STEPS_H

struct qnpl_context;

namespace qnpl {

struct EngineSteps {
    // Plans the positions of a run (before the threads start).
    int (*prepare)(qnpl_context&);
    // Projection thread: takes over the waiting picture.
    int (*set_up_sub_image)(qnpl_context&);
    // Union thread: one piece of colour balancing, or of matching.
    int (*balance_colours)(qnpl_context&);
    int (*match_images)(qnpl_context&);
    // Union thread, once every cell is matched.
    int (*create_result)(qnpl_context&);
    int (*render_high_dynamic)(qnpl_context&);  // non-zero when it produced the result
    int (*render_union)(qnpl_context&);
    int (*finish_union)(qnpl_context&);  // edge bands and the union-ready mark
};

const EngineSteps& matching_engine_steps();

}  // namespace qnpl

#endif
