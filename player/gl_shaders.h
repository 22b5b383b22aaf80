// The shader program's sources: a vertex stage with the lens-correction
// polynomial and a fragment stage that turns up to two YUV layers into RGB.
#ifndef OSTRELS_PLAYER_GL_SHADERS_H
#define OSTRELS_PLAYER_GL_SHADERS_H

extern const char* const kQnGLVertexShader;
extern const char* const kQnGLFragmentShader;

#endif
