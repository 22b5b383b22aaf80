#include "gl_batches.h"

namespace {

int BatchMode(uint32_t kind)
{
    switch (kind) {
    case QN_GL_POINTS: return 0;
    case QN_GL_LINES: case QN_GL_LINE_LOOP: case QN_GL_LINE_STRIP: return 1;
    default: return 4;
    }
}

// The group's vertex indexes in the order they enter the batch.
void ExpandedOrder(uint32_t kind, size_t n, std::vector<size_t>& order)
{
    order.clear();
    switch (kind) {
    case QN_GL_LINE_LOOP:
    case QN_GL_LINE_STRIP:
        for (size_t i = 0; i + 1 < n; ++i) {
            order.push_back(i);
            order.push_back(i + 1);
        }
        if (kind == QN_GL_LINE_LOOP) {
            order.push_back(n - 1);
            order.push_back(0);
        }
        break;
    case QN_GL_TRIANGLE_STRIP:
        for (size_t j = 2; j < n; ++j) {
            bool even = j % 2 == 0;
            order.push_back(even ? j - 2 : j - 1);
            order.push_back(even ? j - 1 : j - 2);
            order.push_back(j);
        }
        break;
    case QN_GL_TRIANGLE_FAN:
        for (size_t j = 2; j < n; ++j) {
            order.push_back(0);
            order.push_back(j - 1);
            order.push_back(j);
        }
        break;
    default:
        for (size_t i = 0; i < n; ++i) order.push_back(i);
        break;
    }
}

} // namespace

size_t qnGLExpandedCount(uint32_t kind, size_t n)
{
    switch (kind) {
    case QN_GL_POINTS: case QN_GL_LINES: case QN_GL_TRIANGLES: return n;
    case QN_GL_LINE_LOOP: return n >= 1 ? 2 * n : 0;
    case QN_GL_LINE_STRIP: return n >= 2 ? 2 * n - 2 : 0;
    case QN_GL_TRIANGLE_STRIP: case QN_GL_TRIANGLE_FAN: return n >= 3 ? 3 * n - 6 : 0;
    default: return 0; // no primitive of that kind exists
    }
}

std::vector<qnGLBatch> qnGLBuildBatches(const qnGLModel& model)
{
    std::vector<qnGLBatch> batches;
    if (model.groupCount <= 0 || model.groups == nullptr) return batches;
    const int layers = qnGLLayerCount(model);
    auto batchFor = [&](int mode) -> qnGLBatch& {
        for (auto& b : batches)
            if (b.mode == mode) return b;
        batches.emplace_back();
        batches.back().mode = mode;
        batches.back().layerCount = layers;
        return batches.back();
    };

    // Sizing first, so every copy below lands inside its batch.
    for (int g = 0; g < model.groupCount; ++g) {
        const qnGLPrimGroup& group = model.groups[g];
        uint32_t kind = group.kind & 0xf;
        size_t added = qnGLExpandedCount(kind, qnGLVertexCount(group.packedCount));
        if (added == 0 || group.positions == nullptr) continue;
        batchFor(BatchMode(kind)).total += added;
    }
    for (auto& b : batches) {
        b.positions.assign(b.total * 3, 0.0f);
        for (int l = 0; l < layers; ++l) b.texCoords[l].assign(b.total * 2, 0.0f);
    }

    std::vector<size_t> order;
    for (int g = 0; g < model.groupCount; ++g) {
        const qnGLPrimGroup& group = model.groups[g];
        uint32_t kind = group.kind & 0xf;
        size_t n = qnGLVertexCount(group.packedCount);
        if (qnGLExpandedCount(kind, n) == 0 || group.positions == nullptr) continue;
        qnGLBatch& batch = batchFor(BatchMode(kind));
        ExpandedOrder(kind, n, order);
        for (size_t index : order) {
            size_t at = batch.filled++;
            for (int c = 0; c < 3; ++c) batch.positions[at * 3 + c] = group.positions[index * 3 + c];
            for (int l = 0; l < layers; ++l) {
                if (group.texCoords[l] == nullptr) continue; // a layer without coordinates samples (0, 0)
                batch.texCoords[l][at * 2] = group.texCoords[l][index * 2];
                batch.texCoords[l][at * 2 + 1] = group.texCoords[l][index * 2 + 1];
            }
        }
    }
    return batches;
}
