#include "gl_shaders.h"

// GLSL 1.20 (compatibility profile): luminance textures and client-side
// vertex arrays need it, and Mesa's software rasteriser offers it everywhere.
const char* const kQnGLVertexShader = R"(#version 120
attribute vec4 MirrorModel;
attribute vec2 VideoFrame0;
attribute vec2 VideoFrame1;
uniform mat4 uMVPMatrix;
uniform int uParaArr[6];
uniform float upaVirRi[20];
uniform float uParaArr_rec[4];
uniform int BeVirProject[2];
varying vec2 tc0;
varying vec2 tc1;
varying vec2 tc_ori0;
varying vec2 tc_ori1;

vec2 corrected(vec2 st)
{
    float x = (st.x - 0.5) * float(uParaArr[0]) * uParaArr_rec[0];
    float y = (st.y - 0.5) * float(uParaArr[1]) * uParaArr_rec[0];
    float terms[10];
    terms[0] = 1.0; terms[1] = x; terms[2] = x * x; terms[3] = y; terms[4] = y * y;
    terms[5] = x * y; terms[6] = x * x * y; terms[7] = x * y * y; terms[8] = x * x * x; terms[9] = y * y * y;
    float rdx = 0.0;
    float rdy = 0.0;
    for (int i = 0; i < 10; ++i) {
        rdx += upaVirRi[2 * i] * terms[i];
        rdy += upaVirRi[2 * i + 1] * terms[i];
    }
    rdx *= uParaArr_rec[3];
    rdy *= uParaArr_rec[3];
    return vec2(rdx * uParaArr_rec[1] + 0.5, rdy * uParaArr_rec[2] + 0.5);
}

void main()
{
    gl_Position = uMVPMatrix * MirrorModel;
    tc_ori0 = VideoFrame0;
    tc_ori1 = VideoFrame1;
    tc0 = BeVirProject[0] == 0 ? VideoFrame0 : corrected(VideoFrame0);
    tc1 = BeVirProject[1] == 0 ? VideoFrame1 : corrected(VideoFrame1);
}
)";

// A layer is chosen by its given coordinate; its planes are sampled at the
// corrected one (the same unless the layer's correction is on). A layer whose
// picture was packed holds its colour in its first texture (PackedArray),
// which the YUV formula would misread. Fragments outside every layer are
// discarded: one that wrote no colour would leave whatever the buffer held.
const char* const kQnGLFragmentShader = R"(#version 120
uniform float fTransparency;
uniform float flTransThread;
uniform int nTextureValid;
uniform int OutlineArray[2];
uniform int PackedArray[2];
uniform sampler2D SamplerArray[6];
varying vec2 tc0;
varying vec2 tc1;
varying vec2 tc_ori0;
varying vec2 tc_ori1;

bool inside(vec2 st)
{
    return st.x >= 0.0 && st.x <= 1.0 && st.y >= 0.0 && st.y <= 1.0;
}

bool onEdge(vec2 st)
{
    return st.x <= 0.01 || st.x >= 0.99 || st.y <= 0.01 || st.y >= 0.99;
}

vec4 withAlpha(vec3 rgb, float y)
{
    float alpha = 1.0;
    if (y < flTransThread)
        alpha = fTransparency == 1.0 ? y : fTransparency;
    return vec4(rgb, alpha);
}

vec4 yuvColour(float y, float u, float v)
{
    u -= 0.5;
    v -= 0.5;
    return withAlpha(vec3(y + 1.13983 * v, y - 0.39465 * u - 0.5806 * v, y + 2.03211 * u), y);
}

// The luma the YUV formula inverts, so that both kinds of layer fade alike.
vec4 rgbColour(vec3 rgb)
{
    return withAlpha(rgb, dot(rgb, vec3(0.299, 0.587, 0.114)));
}

void main()
{
    if (nTextureValid >= 2 && inside(tc_ori1)) {
        if (OutlineArray[1] == 1 && onEdge(tc_ori1)) {
            gl_FragColor = vec4(0.0, 0.54, 0.54, 1.0);
        } else if (PackedArray[1] == 1) {
            gl_FragColor = rgbColour(texture2D(SamplerArray[3], tc1).rgb);
        } else {
            gl_FragColor = yuvColour(texture2D(SamplerArray[3], tc1).r, texture2D(SamplerArray[4], tc1).r,
                                     texture2D(SamplerArray[5], tc1).r);
        }
    } else if (nTextureValid >= 1 && inside(tc_ori0)) {
        if (OutlineArray[0] == 1 && onEdge(tc_ori0)) {
            gl_FragColor = vec4(0.0, 0.54, 0.54, 1.0);
        } else if (PackedArray[0] == 1) {
            gl_FragColor = rgbColour(texture2D(SamplerArray[0], tc0).rgb);
        } else {
            gl_FragColor = yuvColour(texture2D(SamplerArray[0], tc0).r, texture2D(SamplerArray[1], tc0).r,
                                     texture2D(SamplerArray[2], tc0).r);
        }
    } else {
        discard;
    }
}
)";
