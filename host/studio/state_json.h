// The studio's state as the page receives it (see docs/studio.md), built on the host thread from
// the host's documents, command, console and what modules opened.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/geometry.h"
#include "model/scene.h"
#include "studio/looks_json.h"

namespace vhost {
class Document;
class Host;
class Object;
}  // namespace vhost

namespace vhost::studio {

// The document as the studio knows it: where it came from and whether it changed since then.
struct DocumentRecord {
    std::string path;                  // empty for a document that was never opened or saved
    std::uint64_t changesAtStart = 0;  // the host's scene-change count when opened or saved
    bool editedByHand = false;         // an object's states were set through the studio
    bool Changed(Host& host) const;
};

// Gives every mesh a number for GET /api/mesh/N; objects that share geometry share the number.
// Numbers stay valid while the studio runs.
class MeshNumbers {
public:
    std::int64_t NumberOf(const std::shared_ptr<const Mesh>& mesh);
    const Mesh* Find(std::int64_t number) const;

private:
    std::vector<std::shared_ptr<const Mesh>> meshes_;  // number N at N - 1
    std::unordered_map<const Mesh*, std::int64_t> numbers_;
};

// An object's place in the tree and what draws it; any change of these is a change of the tree.
struct ObjectShape {
    ObjectId id = 0;
    ObjectId parent = 0;  // 0 at the top level
    std::int32_t type = 0;
    std::int64_t mesh = 0;  // the mesh's number; 0 for none
    ObjectId link = 0;      // an instance's reference; 0 for none and for other objects
    bool operator==(const ObjectShape& other) const = default;
};

// An object's transform relative to its parent, compared and ordered bit for bit, so that one
// that is not a number still equals itself.
struct LocalPlacement {
    Matrix matrix;
    bool operator==(const LocalPlacement& other) const;
    std::strong_ordering operator<=>(const LocalPlacement& other) const;
};

// The states of an object a press or a click may change, as the page receives them. Each member
// is a line of the table of states in state_json.cpp (how it is read and written), which the
// compiler holds to this list.
struct ObjectStates {
    std::string name;
    Mode editor = Mode::Default;
    Mode render = Mode::Default;
    bool enabled = true;
    bool selected = false;
    bool isolated = false;  // carries an isolation record
    LocalPlacement transform;
};

// What the page was last sent, to tell what changed since. The objects are in the object
// manager's order, their shapes and states at the same index, so that two snapshots of one tree
// compare object by object.
// NOLINTNEXTLINE(bugprone-exception-escape): nlohmann's members may throw only when out of memory
struct Snapshot {
    const Document* source = nullptr;  // the document the objects belong to
    std::vector<ObjectShape> shapes;
    std::vector<ObjectStates> states;
    nlohmann::json document;
    nlohmann::json button;
    std::size_t consoleLines = 0;
    nlohmann::json window;
    nlohmann::json opened;
    nlohmann::json history;
};

// What changed between two snapshots.
// NOLINTNEXTLINE(bugprone-exception-escape): nlohmann's members may throw only when out of memory
struct Changes {
    bool tree = false;       // the tree itself changed: the page must reload the whole state
    std::string objects;     // the list of changed objects as JSON text; empty when none changed
    nlohmann::json members;  // the other members that changed, as the event names them
    bool Empty() const { return objects.empty() && members.empty(); }
    // The change event's data, with `version`.
    std::string EventText(std::uint64_t version) const;
};

// Everything the state builders need, gathered by the studio's session.
struct StateSources {
    Host& host;
    const DocumentRecord& record;
    MeshNumbers& meshes;
    const nlohmann::json& window;  // the open modal window, or null
};

Snapshot TakeSnapshot(const StateSources& sources);
// The whole state as JSON text, as GET /api/state answers it.
std::string WholeStateText(const StateSources& sources, std::uint64_t version);
// What changed from `before` to `now`; `newConsoleLines` are the lines added since `before`.
Changes ChangesBetween(const Snapshot& before, const Snapshot& now,
                       const std::vector<nlohmann::json>& newConsoleLines);
// The console lines from `first` on.
std::vector<nlohmann::json> ConsoleLinesFrom(Host& host, std::size_t first);
// A mesh as GET /api/mesh/N answers it; its textures are numbered in `textures`.
nlohmann::json MeshJson(const Mesh& mesh, TextureNumbers& textures);

}  // namespace vhost::studio
