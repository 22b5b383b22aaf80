// Operations on a locked engine that several exports share.
#ifndef QN_DEWARP_ENGINE_INTERNAL_H
#define QN_DEWARP_ENGINE_INTERNAL_H

#include "engine.h"

namespace qn_dewarp {

// Deletes view n (valid) with its companion and renumbers the later views.
void delete_view(QN_PRO_ENGINE& engine, int n);

// Whether the lens sees at least a half sphere (panoramas need that).
bool engine_has_wide_lens(const QN_PRO_ENGINE& engine);

// The projection table an engine renders with.
const int32_t* engine_projection(const QN_PRO_ENGINE& engine);

}  // namespace qn_dewarp

#endif
