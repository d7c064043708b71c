// The studio's state as the page receives it (see docs/studio.md), built on the host thread from
// the host's documents, command, console and what modules opened.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/geometry.h"

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

// What the page was last sent, to tell what changed since.
// NOLINTNEXTLINE(bugprone-exception-escape): nlohmann's members may throw only when out of memory
struct Snapshot {
    std::string tree;  // the tree's shape: ids, parents, types, links, transforms, meshes
    // id -> the states a press or a click may change: name, editor, render, enabled, selected,
    // isolated
    std::map<std::uint64_t, nlohmann::json> objects;
    nlohmann::json document;
    nlohmann::json button;
    std::size_t consoleLines = 0;
    nlohmann::json window;
    nlohmann::json opened;
};

// Everything the state builders need, gathered by the studio's session.
struct StateSources {
    Host& host;
    const DocumentRecord& record;
    MeshNumbers& meshes;
    const nlohmann::json& window;  // the open modal window, or null
};

Snapshot TakeSnapshot(const StateSources& sources);
// The whole state, as GET /api/state answers it.
nlohmann::json WholeState(const StateSources& sources, std::uint64_t version);
// The event data for what changed from `before` to `now`; null when nothing did. `tree` is set
// when the tree itself changed: the page must reload the whole state.
nlohmann::json ChangesBetween(const Snapshot& before, const Snapshot& now,
                              const std::vector<nlohmann::json>& newConsoleLines, bool& tree);
// The console lines from `first` on.
std::vector<nlohmann::json> ConsoleLinesFrom(Host& host, std::size_t first);
// A mesh as GET /api/mesh/N answers it.
nlohmann::json MeshJson(const Mesh& mesh);

}  // namespace vhost::studio
