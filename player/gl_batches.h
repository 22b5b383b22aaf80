// A model's primitive groups gathered into one draw batch per OpenGL mode:
// points, lines (line loops and strips opened into pairs) and triangles
// (strips and fans opened into separate triangles).
#ifndef OSTRELS_PLAYER_GL_BATCHES_H
#define OSTRELS_PLAYER_GL_BATCHES_H

#include <cstddef>
#include <vector>

#include "qnGLScene.h"

struct qnGLBatch {
    int mode = 0;              // 0 points, 1 lines, 4 triangles
    size_t total = 0;          // vertices the batch was sized for
    size_t filled = 0;         // vertices written
    std::vector<float> positions;                  // 3 per vertex
    int layerCount = 0;
    std::vector<float> texCoords[kGLMaxLayers];    // 2 per vertex
};

// Batches in the order their mode first appears. Groups that cannot form a
// whole primitive of their kind, and groups of unknown kinds, add nothing.
std::vector<qnGLBatch> qnGLBuildBatches(const qnGLModel& model);

// Vertices a group adds to its batch once opened up (0 when it adds none).
size_t qnGLExpandedCount(uint32_t kind, size_t vertices);

#endif
