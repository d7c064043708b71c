#include "model/object_types.h"

#include "vela_host/host_registry.h"

namespace vhost {

namespace {

constexpr std::int32_t kPlain = 0;
constexpr std::int32_t kGenerator = HOST_OBJECT_INFO_GENERATOR;
// A generator that builds its result from its children: what is below it belongs to it.
constexpr std::int32_t kInputGenerator = HOST_OBJECT_INFO_GENERATOR | HOST_OBJECT_INFO_INPUT;

}  // namespace

ObjectTypes::ObjectTypes()
    : types_{
          {5140, "Null", "null", kPlain},
          {5100, "Polygon", "polygon", kPlain},
          {5103, "Camera", "camera", kPlain},
          {5102, "Light", "light", kPlain},
          // Primitives generate their own geometry and ignore their children.
          {5159, "Cube", "cube", kGenerator},
          {5160, "Sphere", "sphere", kGenerator},
          {5162, "Cone", "cone", kGenerator},
          {5163, "Torus", "torus", kGenerator},
          {5168, "Plane", "plane", kGenerator},
          {5170, "Cylinder", "cylinder", kGenerator},
          {1019268, "Text", "text", kGenerator},
          // The instance shows another object, found through a link, not through its children.
          {5126, "Instance", "instance", kGenerator},
          {5142, "Symmetry", "symmetry", kInputGenerator},
          {1007455, "Subdivision Surface", "subdivision", kInputGenerator},
          {1010865, "Boole", "boole", kInputGenerator},
          {5116, "Extrude", "extrude", kInputGenerator},
          {5117, "Lathe", "lathe", kInputGenerator},
          {5118, "Sweep", "sweep", kInputGenerator},
          {5107, "Loft", "loft", kInputGenerator},
          {1018544, "Cloner", "cloner", kInputGenerator},
          {1011010, "Connect", "connector", kInputGenerator},
      } {}

const ObjectType* ObjectTypes::Find(std::int32_t type) const {
    for (const ObjectType& candidate : types_) {
        if (candidate.type == type) return &candidate;
    }
    return nullptr;
}

const ObjectType* ObjectTypes::FindByToken(std::string_view token) const {
    for (const ObjectType& candidate : types_) {
        if (candidate.token == token) return &candidate;
    }
    return nullptr;
}

}  // namespace vhost
