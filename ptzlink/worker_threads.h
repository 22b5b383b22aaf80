// The projection and union worker threads of a run.
#ifndef OSTRELS_PTZLINK_WORKER_THREADS_H
#define OSTRELS_PTZLINK_WORKER_THREADS_H

struct qnpl_context;

namespace qnpl {

void ProjectThreadProc(qnpl_context* ctx);
void UnionThreadProc(qnpl_context* ctx);

}  // namespace qnpl

#endif
