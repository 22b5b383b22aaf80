#include "qnGLRender.h"

#include <cstring>
#include <vector>

#include <QOpenGLShaderProgram>

#include "gl_batches.h"
#include "gl_matrices.h"

namespace {

bool CodeIs(uint32_t code, const char* text)
{
    return std::memcmp(&code, text, 4) == 0;
}

} // namespace

qnGLRender::qnGLRender(QOpenGLShaderProgram* program) : program_(program)
{
    initializeOpenGLFunctions();
    mvpLocation_ = program_->uniformLocation("uMVPMatrix");
    positionLocation_ = program_->attributeLocation("MirrorModel");
    layerLocations_[0] = program_->attributeLocation("VideoFrame0");
    layerLocations_[1] = program_->attributeLocation("VideoFrame1");
    textureValidLocation_ = program_->uniformLocation("nTextureValid");
    packedLocation_ = program_->uniformLocation("PackedArray");
}

qnGLRender::~qnGLRender()
{
    for (auto& set : textures_)
        for (GLuint& name : set)
            if (name != 0) glDeleteTextures(1, &name);
}

int qnGLRender::setForSource(uint32_t code)
{
    if (CodeIs(code, "FRAM")) return kFramePicture;
    if (CodeIs(code, "PANO")) return kOutsidePicture;
    if (CodeIs(code, "LOCL") || CodeIs(code, "ORIN")) return -1;
    return kCurrentFrame;
}

void qnGLRender::setViewProjection(int width, int height, const qnGLSceneInfo& scene)
{
    projection_ = qnGLProjectionMatrix(width, height, scene);
    view_ = qnGLViewMatrix(scene);
}

void qnGLRender::uploadTexture(GLuint& name, GLenum internalFormat, GLenum format, int width, int height,
                               int rowLength, const uint8_t* pixels)
{
    if (name != 0) glDeleteTextures(1, &name);
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Rows are read at the picture's stride, so padded rows neither shear the
    // picture nor make OpenGL read past the plane.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat), width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void qnGLRender::uploadPicture(TextureSet set, const _vm_screen& picture)
{
    if (picture.width <= 0 || picture.height <= 0) return;
    GLuint* names = textures_[set];
    if (picture.format == VM_FMT_YUV420 || picture.format == VM_FMT_YVU420) {
        int u = picture.format == VM_FMT_YUV420 ? 1 : 2;
        int v = 3 - u;
        int cw = picture.width / 2, ch = picture.height / 2;
        uploadTexture(names[0], GL_LUMINANCE, GL_LUMINANCE, picture.width, picture.height, picture.planar.stride[0],
                      picture.planar.plane[0]);
        if (cw > 0 && ch > 0) {
            uploadTexture(names[1], GL_LUMINANCE, GL_LUMINANCE, cw, ch, picture.planar.stride[u],
                          picture.planar.plane[u]);
            uploadTexture(names[2], GL_LUMINANCE, GL_LUMINANCE, cw, ch, picture.planar.stride[v],
                          picture.planar.plane[v]);
        }
        packed_[set] = false;
    } else if (picture.format == VM_FMT_BGR24 || picture.format == VM_FMT_BGR24_B) {
        // Rows of a packed picture are whole pixels only when the stride is a
        // multiple of 3; pack them when it is not.
        const uint8_t* pixels = picture.packed.pixels;
        int rowLength = picture.packed.stride / 3;
        std::vector<uint8_t> packedRows;
        if (picture.packed.stride % 3 != 0) {
            size_t row = size_t(picture.width) * 3;
            packedRows.resize(row * picture.height);
            for (int y = 0; y < picture.height; ++y)
                std::memcpy(packedRows.data() + row * y, pixels + size_t(picture.packed.stride) * y, row);
            pixels = packedRows.data();
            rowLength = picture.width;
        }
        // The bytes are B, G, R; the texture holds R, G, B as the shader reads them.
        uploadTexture(names[0], GL_RGB, GL_BGR, picture.width, picture.height, rowLength, pixels);
        packed_[set] = true;
    }
}

void qnGLRender::drawModel(const qnGLModel& model, bool threeTexturesPerLayer)
{
    model_ = qnGLModelMatrix(model.transform);
    const int layers = qnGLLayerCount(model);
    GLuint textureList[3 * kGLMaxLayers] = {};
    GLint packedLayers[kGLMaxLayers] = {};
    for (int i = 0; i < layers; ++i) {
        int set = setForSource(model.source[i]);
        if (set < 0) continue;
        packedLayers[i] = packed_[set] ? 1 : 0;
        if (threeTexturesPerLayer) {
            for (int k = 0; k < 3; ++k) textureList[3 * i + k] = textures_[set][k];
        } else {
            textureList[i] = textures_[set][0];
        }
    }
    program_->setUniformValue(textureValidLocation_, layers);
    program_->setUniformValueArray(packedLocation_, packedLayers, kGLMaxLayers);

    std::vector<qnGLBatch> batches = qnGLBuildBatches(model);
    for (const qnGLBatch& batch : batches) {
        product_ = projection_ * (view_ * model_);
        program_->setUniformValue(mvpLocation_, product_);
        program_->enableAttributeArray(positionLocation_);
        program_->setAttributeArray(positionLocation_, batch.positions.data(), 3);
        for (int i = 0; i < layers; ++i) {
            if (threeTexturesPerLayer) {
                for (int k = 0; k < 3; ++k) {
                    glActiveTexture(GL_TEXTURE0 + 3 * i + k);
                    glBindTexture(GL_TEXTURE_2D, textureList[3 * i + k]);
                }
            } else {
                glActiveTexture(GL_TEXTURE0 + i);
                glBindTexture(GL_TEXTURE_2D, textureList[i]);
            }
            if (batch.total > 0 && layerLocations_[i] >= 0) {
                program_->enableAttributeArray(layerLocations_[i]);
                program_->setAttributeArray(layerLocations_[i], batch.texCoords[i].data(), 2);
            }
        }
        glDrawArrays(batch.mode, 0, GLsizei(batch.total));
        for (int i = 0; i < layers; ++i)
            if (layerLocations_[i] >= 0) program_->disableAttributeArray(layerLocations_[i]);
        program_->disableAttributeArray(positionLocation_);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}
