#include "gl_matrices.h"

#include <cmath>

QMatrix4x4 qnGLProjectionMatrix(int width, int height, const qnGLSceneInfo& scene)
{
    float h = std::tan(scene.fieldOfView * 0.5f * 0.01745329f) * scene.nearPlane;
    float v = width > 0 ? float(height) / float(width) * h : h;
    QMatrix4x4 projection;
    projection.frustum(-h, h, -v, v, scene.nearPlane, scene.farPlane);
    return projection;
}

QMatrix4x4 qnGLViewMatrix(const qnGLSceneInfo& scene)
{
    QMatrix4x4 view;
    view.rotate(scene.rotateX, 1, 0, 0);
    view.rotate(scene.rotateZ, 0, 0, 1);
    view.rotate(scene.rotateY, 0, 1, 0);
    view.translate(scene.translateX, scene.translateY, scene.translateZ);
    return view;
}

QMatrix4x4 qnGLModelMatrix(const qnGLTransform& t)
{
    enum { kRotX, kRotY, kRotZ, kTransX, kTransY, kTransZ, kScaleX, kScaleY, kScaleZ, kOperations };
    auto place = [&](int op) { return int((t.order >> (4 * op)) & 0xf); };
    // Within one place the operations go in this order.
    static const int kApplyOrder[] = {kRotX, kRotY, kRotZ, kScaleX, kScaleY, kScaleZ, kTransX, kTransY, kTransZ};
    QMatrix4x4 model;
    for (int p = 9; p >= 1; --p) {
        for (int op : kApplyOrder) {
            if (place(op) != p) continue;
            switch (op) {
            case kRotX: model.rotate(t.rotateX, 1, 0, 0); break;
            case kRotY: model.rotate(t.rotateY, 0, 1, 0); break;
            case kRotZ: model.rotate(t.rotateZ, 0, 0, 1); break;
            case kScaleX: model.scale(t.scaleX, 1, 1); break;
            case kScaleY: model.scale(1, t.scaleY, 1); break;
            case kScaleZ: model.scale(1, 1, t.scaleZ); break;
            case kTransX: model.translate(t.translateX, 0, 0); break;
            case kTransY: model.translate(0, t.translateY, 0); break;
            case kTransZ: model.translate(0, 0, t.translateZ); break;
            }
        }
    }
    return model;
}
