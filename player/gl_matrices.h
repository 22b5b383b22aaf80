// The scene's camera (view and projection) and a model's transform as
// matrices. Every step multiplies on the right, as QMatrix4x4 does.
#ifndef OSTRELS_PLAYER_GL_MATRICES_H
#define OSTRELS_PLAYER_GL_MATRICES_H

#include <QMatrix4x4>

#include "qnGLScene.h"

// Frustum from the field of view and the window's shape.
QMatrix4x4 qnGLProjectionMatrix(int width, int height, const qnGLSceneInfo& scene);
// Rotations about x, then z, then y, then the translation.
QMatrix4x4 qnGLViewMatrix(const qnGLSceneInfo& scene);
// The operations in the order their places give, the highest place first.
QMatrix4x4 qnGLModelMatrix(const qnGLTransform& transform);

#endif
