// Importing the 3D files of other applications (glTF, FBX, OBJ, Collada, 3DS, PLY, STL and every
// other format the assimp library reads) as documents of the host. docs/importing.md tells how a
// file's nodes become objects.
//
// No function here throws. A file that cannot be imported comes back as a message that begins
// with the file (or the source name given) and says what the library or the host found.
#pragma once

#include <filesystem>
#include <string_view>

#include "scene_file/scene_file.h"

namespace vhost {

// False in builds without the library (the Windows cross build): every import then fails with a
// message that says so.
bool ImporterAvailable();

// Imports the file at `path`; the library picks the format by its contents and extension and
// reads the files it refers to (a glTF's buffers, an OBJ's materials) beside it. The file is read
// in a child process first (trial_run.h): a file on which the library crashes, spins or runs out
// of memory is refused with a message saying so, and the host goes on.
SceneLoadResult ImportScene(const std::filesystem::path& path);

// Imports `bytes` as a file of the format `formatHint` names by its usual extension ("glb",
// "obj", ...; empty: found from the contents). The files it refers to cannot be read. Read in
// this process only, without the trial in a child: for the fuzz target, which is to see every
// fault.
SceneLoadResult ImportSceneFromMemory(std::string_view bytes, std::string_view formatHint,
                                      std::string_view sourceName);

}  // namespace vhost
