// The process-wide engine context behind every QN_PTZLINK object.
#ifndef OSTRELS_PTZLINK_ENGINE_INSTANCE_H
#define OSTRELS_PTZLINK_ENGINE_INSTANCE_H

#include "engine_context.h"

namespace qnpl {

// The context, or null before Create and after Destory.
qnpl_context* engine_instance();

// Sends a text through the process-wide error callback; false when none is
// registered.
bool send_error(uint64_t code, const char* text);

}  // namespace qnpl

#endif
