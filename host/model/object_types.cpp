#include "model/object_types.h"

#include "vela_host/host_objects.h"
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
          {HOST_OBJECT_NULL, "Null", "null", kPlain},
          {HOST_OBJECT_POLYGON, "Polygon", "polygon", kPlain},
          {HOST_OBJECT_CAMERA, "Camera", "camera", kPlain},
          {HOST_OBJECT_LIGHT, "Light", "light", kPlain},
          // Primitives generate their own geometry and ignore their children.
          {kObjectCube, "Cube", "cube", kGenerator},
          {kObjectSphere, "Sphere", "sphere", kGenerator},
          {5162, "Cone", "cone", kGenerator},
          {5163, "Torus", "torus", kGenerator},
          {kObjectPlane, "Plane", "plane", kGenerator},
          {kObjectCylinder, "Cylinder", "cylinder", kGenerator},
          {1019268, "Text", "text", kGenerator},
          // The instance shows another object, found through a link, not through its children.
          {HOST_OBJECT_INSTANCE, "Instance", "instance", kGenerator},
          {kObjectSymmetry, "Symmetry", "symmetry", kInputGenerator},
          {kObjectSubdivision, "Subdivision Surface", "subdivision", kInputGenerator},
          {1010865, "Boole", "boole", kInputGenerator},
          {kObjectExtrude, "Extrude", "extrude", kInputGenerator},
          {5117, "Lathe", "lathe", kInputGenerator},
          {5118, "Sweep", "sweep", kInputGenerator},
          {5107, "Loft", "loft", kInputGenerator},
          {kObjectCloner, "Cloner", "cloner", kInputGenerator},
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
