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
#include "studio/studio_documents.h"

namespace vhost {
class Document;
class Host;
class Object;
}  // namespace vhost

namespace vhost::studio {

// Gives every mesh a number for GET /api/mesh/N; objects that share geometry share the number.
// Numbers stay valid while the studio runs.
class MeshNumbers {
public:
    std::int64_t NumberOf(const std::shared_ptr<const Mesh>& mesh);
    const Mesh* Find(std::int64_t number) const;

private:
    std::vector<std::shared_ptr<const Mesh>> meshes_;  // number N at N - 1
    std::unordered_map<const Mesh*, std::int64_t> numbers_;
    // The mesh asked for last: objects that share one mostly come one after another.
    const Mesh* last_ = nullptr;
    std::int64_t lastNumber_ = 0;
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
    nlohmann::json documents;  // the open documents (studio_documents.h)
    nlohmann::json takes;      // the active document's takes
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
    DocumentRecords& documents;
    MeshNumbers& meshes;
    const nlohmann::json& window;  // the open modal window, or null
};

// `reuse`, an earlier snapshot no longer needed, lends its memory: at 10^6 objects a snapshot is
// about 180 MB, whose pages would otherwise be faulted in anew for every change.
Snapshot TakeSnapshot(const StateSources& sources, Snapshot reuse = {});
// The whole state's members but the objects, as a JSON object's text: the header of the binary
// whole state (state_binary.h) that GET /api/state answers.
std::string StateMembersText(const StateSources& sources, const Snapshot& state,
                             std::uint64_t version);
// What changed from `before` to `now`; `newConsoleLines` are the lines added since `before`.
Changes ChangesBetween(const Snapshot& before, const Snapshot& now,
                       const std::vector<nlohmann::json>& newConsoleLines);
// The console lines from `first` on.
std::vector<nlohmann::json> ConsoleLinesFrom(Host& host, std::size_t first);
// The objects' states column by column, as the binary whole state carries them: each text state a
// column of UTF-8 bytes with each object's start, each mode a byte per object (the Mode's value),
// every flag a bit of one byte per object, bit k for the k-th flag, and each transform a kind
// per object with the numbers it needs (TransformKind). Names and orders are those of the table
// of states, so a new state gets its column without a line here.
struct StateColumns {
    // How a transform is sent: nothing for the identity, its offset (3 numbers) when that is all
    // it has, else its x, y and z axes and its offset (12 numbers).
    enum TransformKind : std::uint8_t { kIdentity = 0, kTranslation = 1, kAffine = 2 };
    struct Matrices {
        std::string_view name;
        std::vector<std::uint8_t> kinds;
        std::vector<double> values;
        std::vector<std::size_t> starts;  // where each object's numbers begin, when read back
    };
    struct Text {
        std::string_view name;
        std::string bytes;
        std::vector<std::uint32_t> starts;  // one per object, and the end after the last
    };
    struct Bytes {
        std::string_view name;
        std::vector<std::uint8_t> values;
    };
    std::vector<Text> texts;
    std::vector<Bytes> modes;
    std::vector<std::string_view> flagNames;
    std::vector<std::uint8_t> flags;
    std::vector<Matrices> matrices;

    StateColumns();
    void Add(const ObjectStates& states);
    // Object `index`'s states read back from the columns, as Add took them.
    ObjectStates StatesAt(std::size_t index) const;
};

// A mesh as GET /api/mesh/N answers it; its textures are numbered in `textures`.
nlohmann::json MeshJson(const Mesh& mesh, TextureNumbers& textures);

}  // namespace vhost::studio
