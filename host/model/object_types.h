// The object plug-ins the host brings: type numbers, names and info flags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vhost {

// Built-in types that the host's own tools, benchmarks and tests build scenes of; the interface
// names the types modules know by number (HOST_OBJECT_*).
inline constexpr std::int32_t kObjectCube = 5159;
inline constexpr std::int32_t kObjectSphere = 5160;
inline constexpr std::int32_t kObjectPlane = 5168;
inline constexpr std::int32_t kObjectCylinder = 5170;
inline constexpr std::int32_t kObjectSymmetry = 5142;
inline constexpr std::int32_t kObjectSubdivision = 1007455;
inline constexpr std::int32_t kObjectExtrude = 5116;
inline constexpr std::int32_t kObjectCloner = 1018544;

struct ObjectType {
    std::int32_t type;
    std::string name;   // as the object manager names it, e.g. "Subdivision Surface"
    std::string token;  // as scripts and scene files name it, e.g. "subdivision"
    std::int32_t info;  // HOST_OBJECT_INFO_* flags
};

class ObjectTypes {
public:
    ObjectTypes();  // the host's built-in types
    const ObjectType* Find(std::int32_t type) const;
    const ObjectType* FindByToken(std::string_view token) const;
    const std::vector<ObjectType>& All() const { return types_; }

private:
    std::vector<ObjectType> types_;
};

}  // namespace vhost
