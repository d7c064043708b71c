// The scene-file reader on any bytes: it answers a scene or a message that names the source, and a
// scene it accepts is one the writer can write and the reader read back to the same text. A scene
// the direct reader takes, the checking reader takes too, as the same scene.
//
// An input is a scene's text, and after its first zero byte (which no JSON text holds) the bytes
// of its mesh file, so that version 2 scenes with their meshes are reached too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "scene_file/direct_reader.h"
#include "scene_file/scene_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view text = input.substr(0, split);
    const std::string_view meshes =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    const auto meshFile = vhost::scene_file::MeshFileInMemory(meshes, "input.json.mesh");
    if (const auto direct = vhost::scene_file::ReadSceneDirectly(text, meshFile)) {
        const vhost::SceneLoadResult checked =
            vhost::scene_file::ReadSceneChecked(text, "input.json", meshFile);
        vfuzz::Require(checked.Ok(),
                       "the checking reader takes what the direct reader takes: " + checked.error);
        const vhost::SceneTextResult fromDirect = vhost::SerializeScene(*direct);
        const vhost::SceneTextResult fromChecked = vhost::SerializeScene(*checked.document);
        vfuzz::Require(
            fromDirect.text == fromChecked.text && fromDirect.meshFile == fromChecked.meshFile,
            "both readers read the same scene");
    }
    const vhost::SceneLoadResult loaded =
        vhost::ParseScene(text, "input.json", meshes, "input.json.mesh");
    if (!loaded.Ok()) {
        vfuzz::Require(vfuzz::StartsWith(loaded.error, "input.json"),
                       "the message names the source: " + loaded.error);
        return 0;
    }
    vfuzz::Require(loaded.error.empty(), "a scene comes without a message");
    const vhost::SceneTextResult written = vhost::SerializeScene(*loaded.document);
    vfuzz::Require(written.Ok(), "an accepted scene can be written: " + written.error);
    const vhost::SceneLoadResult again =
        vhost::ParseScene(written.text, "written.json", written.meshFile, "written.json.mesh");
    vfuzz::Require(again.Ok(), "a written scene reads back: " + again.error);
    const vhost::SceneTextResult rewritten = vhost::SerializeScene(*again.document);
    vfuzz::Require(
        rewritten.Ok() && rewritten.text == written.text && rewritten.meshFile == written.meshFile,
        "a scene read back writes the same text and mesh file");
    return 0;
}
