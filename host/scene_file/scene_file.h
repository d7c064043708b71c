// Scene files: a document with its data container, takes and object tree, as readable JSON.
//
// The format is described for users in docs/scene-format.md. In short: a JSON object with the
// format name and version, the document's name, data container and takes, and the objects as one
// flat array in tree order, each naming its parent by id. The hierarchy is therefore never nested
// in the JSON, and reading and writing take the same time and stack for a chain of a million
// objects as for a million siblings. A document with transforms or meshes is written as version
// 2: transforms on the objects, the meshes listed by their parts, and the parts in a binary mesh
// file beside the scene (`NAME.json.mesh`, scene_file/mesh_companion.h); any other document is
// written as version 1, as before there was geometry.
//
// No function here throws. Failures come back as a message that names the file (or the source
// name given), the place (line:column for JSON syntax, else the line of the member and the path
// within the document, e.g. `objects[12].data.entries[3].int32`) and what was expected.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "model/scene.h"
#include "progress/progress.h"

namespace vhost {

inline constexpr std::string_view kSceneFormatName = "vela-host-scene";
inline constexpr std::int64_t kSceneFormatVersion = 1;

// How deep containers may nest inside a document's or an object's data container (the data
// container itself is level 0). Deeper containers are refused by both saving and loading.
inline constexpr int kSceneMaxContainerNesting = 64;
// JSON nested deeper than this is refused before it is built; scene files written by the host
// stay well below it (each container level costs three JSON levels).
inline constexpr int kSceneMaxJsonDepth = 256;

struct SceneLoadResult {
    std::unique_ptr<Document> document;  // set on success
    std::string error;                   // set on failure
    bool cancelled = false;              // the reading was called off (`error` says so)
    bool Ok() const { return document != nullptr; }

    static SceneLoadResult CancelledOf(const std::string& sourceName) {
        return {nullptr, sourceName + ": the reading was cancelled", true};
    }
};

struct SceneSaveResult {
    std::string error;       // empty on success
    bool cancelled = false;  // the saving was called off: the files are as they were
    bool Ok() const { return error.empty(); }
};

struct SceneTextResult {
    std::string text;      // the whole file, on success
    std::string meshFile;  // the mesh file's bytes; empty when the scene has none
    std::string error;     // empty on success
    bool Ok() const { return error.empty(); }
};

// Reads a scene file and, for a version 2 scene with meshes, its mesh file (MeshFilePath, the
// same path with ".mesh" added). Error messages begin with `path` as given, or with the mesh file's
// path for what is wrong with that.
//
// Links to ids that name no object of the scene are kept as they are and resolve to no object,
// like a link to a deleted object; no object made later in this process takes such an id.
// Object ids are taken from the file (see Document::CreateObject).
//
// `progress`, when given, is told the bytes of the scene file read; a cancel answers `cancelled`
// and no document.
SceneLoadResult LoadScene(const std::filesystem::path& path, Progress* progress = nullptr);

// Reads a scene from `text`; error messages begin with `sourceName`. A version 2 scene with
// meshes is refused: its mesh file is not at hand.
SceneLoadResult ParseScene(std::string_view text, std::string_view sourceName);

// The same with the mesh file's bytes at hand; messages about them begin with `meshFileName`.
SceneLoadResult ParseScene(std::string_view text, std::string_view sourceName,
                           std::string_view meshFile, std::string_view meshFileName);

// Writes `document` to `path` atomically: the scene is written to a temporary file in the same
// folder, flushed to disk, and then renamed over `path`. When anything fails, `path` keeps its
// previous contents (or stays absent) and no temporary file is left behind. A document with
// meshes also writes its mesh file in the same way; both are flushed before the mesh file is
// renamed, and the scene after it, so a failure leaves both old files as they were. A scene that
// could not be read back is refused before anything is written: text that is not valid UTF-8,
// containers nested deeper than kSceneMaxContainerNesting, custom data with a type id below
// 1000000.
//
// `progress`, when given, is told the objects written; a cancel before the files are renamed
// answers `cancelled`, and the old files stay whole.
SceneSaveResult SaveScene(const Document& document, const std::filesystem::path& path,
                          Progress* progress = nullptr);

// The text (and mesh file) SaveScene writes, with the same checks.
SceneTextResult SerializeScene(const Document& document);

}  // namespace vhost
