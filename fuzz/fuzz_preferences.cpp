// The preferences file on any bytes, read from a preferences folder as the host reads it at start.
// Either the world container comes from the file, and writing it and reading it back gives the
// same container; or the file is reported and set aside byte for byte, and the world container is
// left as it was. Nothing that was on disk is lost.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "fuzz_folder.h"
#include "model/container.h"
#include "prefs/preferences_file.h"

namespace {

// What the host holds before it reads the file.
vhost::Container StartingWorld() {
    vhost::Container world;
    world.SetInt32(1, 7);
    world.SetString(2, "before");
    return world;
}

// The one file in `folder` whose name is not `except`; empty when there is none or several.
std::filesystem::path OnlyOtherFile(const std::filesystem::path& folder, std::string_view except) {
    std::filesystem::path found;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() == except) continue;
        found = entry.path();
        ++count;
    }
    return count == 1 ? found : std::filesystem::path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path& folder = vfuzz::FuzzFolder::Fresh();
    vfuzz::FuzzFolder::Put(vhost::kPreferencesFileName, bytes);

    vhost::Container world = StartingWorld();
    const vhost::PreferencesLoad load = vhost::LoadPreferences(folder.string(), world);
    if (!load.problem.empty()) {
        vfuzz::Require(load.mayWrite, "a damaged file in a writable folder is set aside");
        vfuzz::Require(world == StartingWorld(), "a damaged file leaves the preferences alone");
        vfuzz::Require(!std::filesystem::exists(folder / vhost::kPreferencesFileName),
                       "a damaged file does not stay in the way");
        const std::filesystem::path aside = OnlyOtherFile(folder, vhost::kPreferencesFileName);
        vfuzz::Require(!aside.empty() && vfuzz::FuzzFolder::Read(aside) == bytes,
                       "the damaged file is set aside unchanged");
        vfuzz::Require(load.problem.find(aside.string()) != std::string::npos,
                       "the report says where the file went: " + load.problem);
        return 0;
    }
    const std::string saved = vhost::SavePreferences(folder.string(), world);
    vfuzz::Require(saved.empty(), "preferences that were read can be written: " + saved);
    vhost::Container again;
    const vhost::PreferencesLoad reload = vhost::LoadPreferences(folder.string(), again);
    vfuzz::Require(reload.problem.empty(), "written preferences read back: " + reload.problem);
    vfuzz::Require(again == world, "written preferences read back the same");
    return 0;
}
