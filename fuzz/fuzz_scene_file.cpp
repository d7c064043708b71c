// The scene-file reader on any bytes: it answers a scene or a message that names the source, and a
// scene it accepts is one the writer can write and the reader read back to the same text. A scene
// the direct reader takes, the checking reader takes too, as the same scene.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "scene_file/direct_reader.h"
#include "scene_file/scene_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto direct = vhost::scene_file::ReadSceneDirectly(text)) {
        const vhost::SceneLoadResult checked =
            vhost::scene_file::ReadSceneChecked(text, "input.json");
        vfuzz::Require(checked.Ok(),
                       "the checking reader takes what the direct reader takes: " + checked.error);
        vfuzz::Require(
            vhost::SerializeScene(*direct).text == vhost::SerializeScene(*checked.document).text,
            "both readers read the same scene");
    }
    const vhost::SceneLoadResult loaded = vhost::ParseScene(text, "input.json");
    if (!loaded.Ok()) {
        vfuzz::Require(vfuzz::StartsWith(loaded.error, "input.json"),
                       "the message names the source: " + loaded.error);
        return 0;
    }
    vfuzz::Require(loaded.error.empty(), "a scene comes without a message");
    const vhost::SceneTextResult written = vhost::SerializeScene(*loaded.document);
    vfuzz::Require(written.Ok(), "an accepted scene can be written: " + written.error);
    const vhost::SceneLoadResult again = vhost::ParseScene(written.text, "written.json");
    vfuzz::Require(again.Ok(), "a written scene reads back: " + again.error);
    const vhost::SceneTextResult rewritten = vhost::SerializeScene(*again.document);
    vfuzz::Require(rewritten.Ok() && rewritten.text == written.text,
                   "a scene read back writes the same text");
    return 0;
}
