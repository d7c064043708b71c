#include "import/scene_looks.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <utility>

#include <assimp/camera.h>
#include <assimp/light.h>
#include <assimp/material.h>
#include <assimp/scene.h>
#include <assimp/texture.h>

#include "import/texture_images.h"

namespace vhost {

namespace {

// The path of the material's base-colour texture: glTF's base colour, else the diffuse texture
// that older formats give.
std::optional<std::string> BaseColorPath(const aiMaterial& material) {
    for (const aiTextureType purpose : {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE}) {
        aiString path;
        if (material.GetTextureCount(purpose) > 0 &&
            material.GetTexture(purpose, 0, &path) == aiReturn_SUCCESS) {
            return std::string(path.C_Str());
        }
    }
    return std::nullopt;
}

// Whether the material moves, turns or scales its base-colour texture (glTF's texture transform).
bool HasTextureTransform(const aiMaterial& material) {
    for (const aiTextureType purpose : {aiTextureType_BASE_COLOR, aiTextureType_DIFFUSE}) {
        aiUVTransform transform;
        if (material.Get(AI_MATKEY_UVTRANSFORM(purpose, 0), transform) == aiReturn_SUCCESS &&
            (transform.mTranslation.x != 0.0F || transform.mTranslation.y != 0.0F ||
             transform.mScaling.x != 1.0F || transform.mScaling.y != 1.0F ||
             transform.mRotation != 0.0F)) {
            return true;
        }
    }
    return false;
}

// Every other texture the material names: a texture may serve several purposes (glTF's base
// colour is also the diffuse texture) and counts once.
std::size_t OtherTextureCount(const aiMaterial& material, const std::optional<std::string>& base) {
    std::set<std::string> textures;
    for (int type = aiTextureType_NONE; type <= AI_TEXTURE_TYPE_MAX; ++type) {
        const auto purpose = static_cast<aiTextureType>(type);
        for (unsigned t = 0; t < material.GetTextureCount(purpose); ++t) {
            aiString path;
            if (material.GetTexture(purpose, t, &path) == aiReturn_SUCCESS) {
                textures.insert(path.C_Str());
            }
        }
    }
    if (base) textures.erase(*base);
    return textures.size();
}

// An image the file holds: compressed (its file's bytes) or raw texels, which are neither PNG
// nor JPEG.
CheckedImage EmbeddedImage(const aiTexture& texture, std::string_view name) {
    if (texture.mHeight != 0 || texture.pcData == nullptr) {
        return {nullptr, LeftOutKind::TexturesNotPngOrJpeg};
    }
    const auto* bytes = reinterpret_cast<const char*>(texture.pcData);
    return CheckImage(std::string(bytes, texture.mWidth), name);
}

CheckedImage ImageOf(const aiScene& scene, const std::string& path,
                     const std::optional<std::filesystem::path>& folder) {
    if (const aiTexture* embedded = scene.GetEmbeddedTexture(path.c_str())) {
        const std::string_view own = embedded->mFilename.C_Str();
        return EmbeddedImage(*embedded, own.empty() ? std::string_view(path) : own);
    }
    if (path.starts_with('*')) return {nullptr, LeftOutKind::TexturesUnreadable};
    return ReadImageFile(folder, path);
}

double Finite(float value, double otherwise) {
    return std::isfinite(value) ? static_cast<double>(value) : otherwise;
}

}  // namespace

std::vector<std::shared_ptr<const Texture>> BaseColorTextures(
    const aiScene& scene, const std::optional<std::filesystem::path>& folder,
    ImportReport& leftOut) {
    std::vector<std::shared_ptr<const Texture>> textures(scene.mNumMaterials);
    if (scene.mMaterials == nullptr) return textures;
    std::map<std::string, CheckedImage> images;  // by the path the materials give
    for (unsigned m = 0; m < scene.mNumMaterials; ++m) {
        const aiMaterial* material = scene.mMaterials[m];
        if (material == nullptr) continue;
        const std::string name = material->GetName().C_Str();
        const std::optional<std::string> path = BaseColorPath(*material);
        leftOut.Add(LeftOutKind::Textures, OtherTextureCount(*material, path), name);
        if (!path) continue;
        if (HasTextureTransform(*material)) leftOut.Add(LeftOutKind::TextureTransforms, 1, name);
        auto found = images.find(*path);
        if (found == images.end())
            found = images.emplace(*path, ImageOf(scene, *path, folder)).first;
        const CheckedImage& image = found->second;
        if (image.refusal) leftOut.Add(*image.refusal, 1, name);
        textures[m] = image.texture;
    }
    return textures;
}

CameraLens LensOf(const aiCamera& camera) {
    return {Finite(camera.mHorizontalFOV, 0.0), Finite(camera.mAspect, 0.0),
            Finite(camera.mClipPlaneNear, 0.0), Finite(camera.mClipPlaneFar, 0.0)};
}

LightLook LookOf(const aiLight& light) {
    LightLook look;
    switch (light.mType) {
        case aiLightSource_DIRECTIONAL:
            look.kind = LightKind::Directional;
            break;
        case aiLightSource_SPOT:
            look.kind = LightKind::Spot;
            break;
        case aiLightSource_AMBIENT:
            look.kind = LightKind::Ambient;
            break;
        case aiLightSource_AREA:
            look.kind = LightKind::Area;
            break;
        default:
            look.kind = LightKind::Point;
            break;
    }
    const aiColor3D& c = light.mColorDiffuse;
    const double r = std::max(Finite(c.r, 0.0), 0.0);
    const double g = std::max(Finite(c.g, 0.0), 0.0);
    const double b = std::max(Finite(c.b, 0.0), 0.0);
    const double brightest = std::max({r, g, b});
    look.intensity = brightest;
    if (brightest > 0.0) {
        look.red = r / brightest;
        look.green = g / brightest;
        look.blue = b / brightest;
    }
    look.coneAngle = Finite(light.mAngleOuterCone, 0.0) * 2.0;
    return look;
}

}  // namespace vhost
