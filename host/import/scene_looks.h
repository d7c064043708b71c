// What the library's scene says of how things look, as the host keeps it: each material's
// base-colour texture, a camera's lens, a light's colour and intensity (docs/importing.md).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "import/import_report.h"
#include "model/geometry.h"
#include "model/object_looks.h"

struct aiCamera;
struct aiLight;
struct aiScene;

namespace vhost {

// The base-colour texture of each of `scene`'s materials (null: none, or one not taken, which
// `leftOut` then names), by the library's material index. Images embedded in the file are taken
// from it; others are read from `folder`, the imported file's folder, and only from there. Each
// image is read and checked once, however many materials use it.
std::vector<std::shared_ptr<const Texture>> BaseColorTextures(
    const aiScene& scene, const std::optional<std::filesystem::path>& folder,
    ImportReport& leftOut);

CameraLens LensOf(const aiCamera& camera);
// The library gives a light's colour multiplied by its intensity; the host takes the brightest
// channel as the intensity, so the colour's brightest channel is 1.
LightLook LookOf(const aiLight& light);

}  // namespace vhost
