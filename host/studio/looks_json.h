// How things look, for the page: a mesh part's texture points, colours and texture, and a camera's
// or light's look. They are served with a mesh or on demand (GET /api/look/ID), never in the
// whole state's object table, which stays the same size whatever the objects look like.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/geometry.h"
#include "model/scene.h"

namespace vhost::studio {

// Numbers for the textures the page was told of, each kept alive while it has a number: a page
// asks for GET /api/texture/N after it had the mesh that names N.
class TextureNumbers {
public:
    std::int64_t NumberOf(const std::shared_ptr<const Texture>& texture);
    const Texture* Find(std::int64_t number) const;

private:
    std::vector<std::shared_ptr<const Texture>> textures_;  // number N at N - 1
    std::unordered_map<const Texture*, std::int64_t> numbers_;
};

// Adds `part`'s "uvs" (u v each), "colors" (r g b a each) and "texture" (its address, or null)
// to `out`, the part's JSON.
void AddPartLooks(nlohmann::json& out, const MeshPart& part, TextureNumbers& textures);

// The content type of `format` as HTTP names it.
const char* ImageContentType(ImageFormat format);

// {"camera": {"fov", "aspect", "near", "far"}} for a camera, {"light": {"kind", "color",
// "intensity", "cone"}} for a light, {} for an object without a look.
nlohmann::json LookJson(const Object& object);

}  // namespace vhost::studio
