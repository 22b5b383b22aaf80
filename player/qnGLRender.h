// Draws the owner's models with the window's shader program: batches,
// matrices and the three texture sets (current frame, frame picture, outside
// picture). Runs on the rendering thread with the window's context current.
#ifndef OSTRELS_PLAYER_QNGLRENDER_H
#define OSTRELS_PLAYER_QNGLRENDER_H

#include <QMatrix4x4>
#include <QOpenGLFunctions>

#include "qnGLScene.h"
#include "vm_screen.h"

class QOpenGLShaderProgram;

class qnGLRender : protected QOpenGLFunctions {
public:
    enum TextureSet { kCurrentFrame = 0, kFramePicture = 1, kOutsidePicture = 2, kTextureSets = 3 };

    explicit qnGLRender(QOpenGLShaderProgram* program);
    ~qnGLRender();
    qnGLRender(const qnGLRender&) = delete;
    qnGLRender& operator=(const qnGLRender&) = delete;

    void setViewProjection(int width, int height, const qnGLSceneInfo& scene);
    void drawModel(const qnGLModel& model, bool threeTexturesPerLayer);
    // Re-creates the set's textures from the picture: planes of format 273 or
    // 274 as luminance (U and V at half size), packed 24-bit pictures as one
    // colour texture, which layers showing the set then draw as it is. Other
    // pictures leave the set as it was.
    void uploadPicture(TextureSet set, const _vm_screen& picture);
    // The set a layer's source code selects; -1 for none ("LOCL", "ORIN").
    static int setForSource(uint32_t code);

private:
    void uploadTexture(GLuint& name, GLenum internalFormat, GLenum format, int width, int height, int rowLength,
                       const uint8_t* pixels);

    GLuint textures_[kTextureSets][3] = {};
    bool packed_[kTextureSets] = {};
    QOpenGLShaderProgram* program_;
    int mvpLocation_ = -1;
    int positionLocation_ = -1;
    int layerLocations_[kGLMaxLayers] = {-1, -1};
    int textureValidLocation_ = -1;
    int packedLocation_ = -1;
    QMatrix4x4 view_, projection_, model_, product_;
};

#endif
