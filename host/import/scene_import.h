// Importing the 3D files of other applications (glTF, FBX, OBJ, Collada, 3DS, PLY, STL and every
// other format the assimp library reads) as documents of the host. docs/importing.md tells how a
// file's nodes become objects.
//
// No function here throws. A file that cannot be imported comes back as a message that begins
// with the file (or the source name given) and says what the library or the host found.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "import/imported_scene.h"
#include "progress/progress.h"

namespace vhost {

// How the scene read in the child comes to the host.
enum class ImportRoute {
    // The child converts the file and hands the document back (import/handed_scene.h), which the
    // host takes at memory speed: the file is read once. As fast as ReadAgain on the smallest
    // files, faster from a few hundred objects or a megabyte of geometry on (docs/performance.md).
    HandBack,
    // The child only says whether the file imports, and the host reads it again: how imports
    // worked before, kept to compare the two.
    ReadAgain,
};

// False in builds without the library (the Windows cross build): every import then fails with a
// message that says so.
bool ImporterAvailable();

// Imports the file at `path`; the library picks the format by its contents and extension and
// reads the files it refers to (a glTF's buffers, an OBJ's materials) beside it. The file is read
// in a child process (trial_run.h): a file on which the library crashes, spins or runs out of
// memory is refused with a message saying so, and the host goes on. `route` says how the scene
// comes from the child; every route gives the same document and report. Where no child can be
// made, the file is read in this process.
//
// `progress`, when given, is told the stages (reading, converting, taking the scene from the
// child); cancelling it kills the child at once and the import answers `cancelled`.
ImportedScene ImportScene(const std::filesystem::path& path,
                          ImportRoute route = ImportRoute::HandBack, Progress* progress = nullptr);

// Imports `bytes` as a file of the format `formatHint` names by its usual extension ("glb",
// "obj", ...; empty: found from the contents). The files it refers to cannot be read, but for
// textures in `textureFolder`. Read in this process only, without the trial in a child: for the
// fuzz target, which is to see every fault.
ImportedScene ImportSceneFromMemory(
    std::string_view bytes, std::string_view formatHint, std::string_view sourceName,
    const std::optional<std::filesystem::path>& textureFolder = std::nullopt);

}  // namespace vhost
