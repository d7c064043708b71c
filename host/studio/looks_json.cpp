#include "studio/looks_json.h"

#include <string>

#include "model/object_looks.h"
#include "vela_host/host_objects.h"

namespace vhost::studio {

using json = nlohmann::json;

namespace {

constexpr const char* kLightKinds[] = {"point", "directional", "spot", "ambient", "area"};

}  // namespace

std::int64_t TextureNumbers::NumberOf(const std::shared_ptr<const Texture>& texture) {
    const auto [found, added] =
        numbers_.try_emplace(texture.get(), static_cast<std::int64_t>(textures_.size()) + 1);
    if (added) textures_.push_back(texture);
    return found->second;
}

const Texture* TextureNumbers::Find(std::int64_t number) const {
    if (number < 1 || number > static_cast<std::int64_t>(textures_.size())) return nullptr;
    return textures_[static_cast<std::size_t>(number - 1)].get();
}

void AddPartLooks(json& out, const MeshPart& part, TextureNumbers& textures) {
    json uvs = json::array();
    json colors = json::array();
    for (const TexturePoint& p : part.texturePoints) uvs.insert(uvs.end(), {p.u, p.v});
    for (const Color& c : part.colors) colors.insert(colors.end(), {c.r, c.g, c.b, c.a});
    out["uvs"] = std::move(uvs);
    out["colors"] = std::move(colors);
    out["texture"] =
        part.baseColorTexture
            ? json("/api/texture/" + std::to_string(textures.NumberOf(part.baseColorTexture)))
            : json(nullptr);
}

const char* ImageContentType(ImageFormat format) {
    return format == ImageFormat::Jpeg ? "image/jpeg" : "image/png";
}

json LookJson(const Object& object) {
    if (object.Type() == HOST_OBJECT_CAMERA) {
        if (const std::optional<CameraLens> lens = CameraLensOf(object.Data())) {
            return {{"camera",
                     {{"fov", lens->fieldOfView},
                      {"aspect", lens->aspect},
                      {"near", lens->nearClip},
                      {"far", lens->farClip}}}};
        }
    } else if (object.Type() == HOST_OBJECT_LIGHT) {
        if (const std::optional<LightLook> light = LightLookOf(object.Data())) {
            return {{"light",
                     {{"kind", kLightKinds[static_cast<std::size_t>(light->kind)]},
                      {"color", {light->red, light->green, light->blue}},
                      {"intensity", light->intensity},
                      {"cone", light->coneAngle}}}};
        }
    }
    return json::object();
}

}  // namespace vhost::studio
