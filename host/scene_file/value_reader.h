// Reading the parts of a scene from JSON values: containers, takes, the members of an object and
// the header. A part that does not say what it must is refused with a ReadError that names its
// place by the path from the top of the document (`objects[12].data.entries[3].int32`).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/geometry.h"
#include "model/scene.h"
#include "scene_file/scene_geometry.h"
#include "text/quoting.h"

namespace vhost::scene_file {

using Json = nlohmann::json;

// Where a value lies in the document, as a chain of nodes on the stack of the code reading it;
// turned into text (`objects[12].data.entries[3]`) only for a message.
struct PathNode {
    static constexpr std::size_t kMember = std::numeric_limits<std::size_t>::max();
    const PathNode* parent = nullptr;
    std::string_view member;  // the member's name, when index is kMember
    std::size_t index = kMember;

    PathNode Member(std::string_view name) const { return {this, name, kMember}; }
    PathNode Index(std::size_t i) const { return {this, {}, i}; }

    std::string Text() const;
};

// A scene that does not say what it must, with the path to the place and, once known, the
// offset in the text of the object or top-level member it lies in.
struct ReadError {
    std::string path;
    std::string message;
    std::optional<std::size_t> offset;
};

[[noreturn]] void Fail(const PathNode& at, std::string message);

// A value as a message shows it: short texts whole, longer ones cut after 40 characters.
std::string Describe(const Json& value);

// The member `name` of the JSON object `object`; fails when there is none.
const Json& Require(const Json& object, const PathNode& at, std::string_view name);

template <std::size_t N>
std::string UnexpectedMember(std::string_view name, const std::array<std::string_view, N>& known) {
    std::string list;
    for (std::string_view expected : known) {
        if (!list.empty()) list += ", ";
        list += expected;
    }
    return "unexpected member " + Quoted(name) + "; the members here are " + list;
}

template <std::size_t N>
void CheckMembers(const Json& object, const PathNode& at,
                  const std::array<std::string_view, N>& known) {
    for (auto member = object.begin(); member != object.end(); ++member) {
        const std::string& name = member.key();
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            Fail(at, UnexpectedMember(name, known));
        }
    }
}

const std::string& ReadString(const Json& value, const PathNode& at);

// An integer from 0; `what` says what it counts or indexes.
std::uint64_t ReadIndex(const Json& value, const PathNode& at, std::string_view what);

// Containers: read with their links noted, so ids that name no object can be kept free.
class ContainerReader {
public:
    ObjectId HighestLink() const { return highestLink_; }

    // `nesting` is the level of the container: 0 for a data container. Recursion is bounded by
    // kSceneMaxContainerNesting.
    Container Read(const Json& value, const PathNode& at, int nesting);

private:
    Value ReadValue(const std::string& type, const Json& value, const PathNode& at, int nesting);

    ObjectId highestLink_ = 0;
};

// One element of "objects", checked, before it is placed in the tree.
struct ObjectRecord {
    std::size_t index = 0;   // in "objects"
    std::size_t offset = 0;  // of its first character in the text
    ObjectId id = 0;
    ObjectId parent = 0;
    std::int32_t type = 0;
    std::string name;
    Mode editor = Mode::Default;
    Mode render = Mode::Default;
    bool enabled = true;
    bool selected = false;
    std::int32_t bits = 0;
    Container data{0};
    std::optional<Matrix> transform;    // version 2; absent: identity
    std::optional<std::uint64_t> mesh;  // version 2: the index of its mesh in "meshes"
};

inline constexpr std::string_view kNotAnObject =
    R"(expected an object {"id": ..., "parent": ..., ...}, found )";

inline constexpr std::array<std::string_view, 10> kObjectMembers{
    "id", "parent", "type", "name", "editor", "render", "enabled", "selected", "bits", "data"};
// Version 2 adds two members an object may have; the first ten are required in both versions.
inline constexpr std::array<std::string_view, 12> kObjectMembersWithGeometry{
    "id",      "parent",   "type", "name", "editor",    "render",
    "enabled", "selected", "bits", "data", "transform", "mesh"};
inline constexpr std::size_t kRequiredObjectMembers = kObjectMembers.size();

// The top level: version 1, and version 2 with its geometry before the objects.
inline constexpr std::array<std::string_view, 6> kRootMembers{"format", "version", "name",
                                                              "data",   "takes",   "objects"};
inline constexpr std::array<std::string_view, 8> kRootMembersWithGeometry{
    "format", "version", "name", "data", "takes", "mesh_file", "meshes", "objects"};

// Reads member `field` (an index into kObjectMembersWithGeometry) of the object at `at` into
// `record`.
void ReadObjectField(ObjectRecord& record, std::size_t field, const Json& value, const PathNode& at,
                     ContainerReader& containers);

// Reads the takes into `document`: null for none, else the main take first.
void ReadTakes(const Json& value, const PathNode& at, Document& document);

// Keeps `highestLink`, the highest id a link of the scene names, from being given to an object made
// later when no object of `document` has it: the model moves its id counter past every id given to
// CreateObject, so the highest such id is given once, to an object deleted at once.
void KeepLinkedIdsFree(Document& document, ObjectId highestLink);

// Checks "format" and "version" where the top level `root` has them; answers the version (1 when
// the top level has none yet).
std::int64_t CheckHeader(const Json& root, const PathNode& top);

// Reads "mesh_file" and "meshes" of a version 2 scene into `geometry`; every part index is
// checked against the part count of the mesh file.
void ReadMeshList(const Json& meshFile, const Json& meshes, const PathNode& top,
                  SceneGeometry& geometry);

}  // namespace vhost::scene_file
