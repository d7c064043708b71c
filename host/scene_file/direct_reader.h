// Reading scene files in the form the host writes them, straight from the text into a document.
//
// The checking reader (scene_reader.cpp) reads any JSON, in any member order, and explains every
// fault with its file, line and column; that generality costs most of the time of a load. This
// reader knows the one layout the writer produces: members in the writer's order, objects in tree
// order after their parents, no JSON beyond what the format needs. It never explains anything:
// on the first thing it is not sure of, it gives up, and the caller reads the text again with the
// checking reader, which accepts or refuses it with its usual message.
//
// Contract: whatever this reader accepts, the checking reader accepts too and builds the same
// document (the same objects, ids, order, states and containers, the same name and takes). It may
// give up on text the checking reader accepts (members in another order, a child listed before its
// parent, numbers or texts it does not take apart itself); it must never accept text the checking
// reader refuses.
#pragma once

#include <cstddef>
#include <filesystem>
#include <istream>
#include <memory>
#include <string_view>

#include "model/scene.h"
#include "scene_file/scene_file.h"
#include "scene_file/scene_geometry.h"

namespace vhost::scene_file {

// The scene in `text`, or null when this reader is not sure of it (see above). A version 2 scene
// with meshes takes them from `meshFile`; a mesh file that cannot be read or used is one more
// thing this reader is not sure of.
std::unique_ptr<Document> ReadSceneDirectly(std::string_view text,
                                            const MeshFileSource& meshFile = {},
                                            Progress* progress = nullptr);

// The same, reading `stream` through a window of `window` bytes, so that the whole text is never
// held; an object must fit in half the window. Also null when the stream fails.
//
// `progress`, when given, is told the bytes of the text read before each object; a cancel makes
// the answer null too (the caller asks `progress` which it was).
std::unique_ptr<Document> ReadSceneDirectly(std::istream& stream, std::size_t window,
                                            const MeshFileSource& meshFile = {},
                                            Progress* progress = nullptr);

// The checking reader alone (scene_reader.cpp), which ParseScene falls back on. Without a name,
// the mesh file is named after the source (`sourceName` and ".mesh").
SceneLoadResult ReadSceneChecked(std::string_view text, std::string_view sourceName,
                                 const MeshFileSource& meshFile = {});

// A mesh file held in memory (`bytes` must outlive the source), and the one beside a scene file.
MeshFileSource MeshFileInMemory(std::string_view bytes, std::string_view name);
MeshFileSource MeshFileOnDisk(const std::filesystem::path& scene);

}  // namespace vhost::scene_file
