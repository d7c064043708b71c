// A private folder for the targets that read files from a folder (the preferences and the shortcut
// table): made once per process, emptied before every input, removed when the process ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vfuzz {

class FuzzFolder {
public:
    // The folder, emptied.
    static const std::filesystem::path& Fresh();
    // Writes `bytes` to `name` inside the folder; the file's path.
    static std::filesystem::path Put(std::string_view name, std::string_view bytes);
    // The whole contents of `file`.
    static std::string Read(const std::filesystem::path& file);
};

}  // namespace vfuzz
