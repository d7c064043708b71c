// Reading a file whole, the same way on every system.
#pragma once

#include <filesystem>
#include <string>

namespace vhost {

struct FileReading {
    int error = 0;        // 0, or the errno of what failed (ENOMEM: the file cannot be held)
    bool opened = false;  // whether the file could be opened (a folder counts as opened)
};

// Reads all of `file` into `text`; `text` is unspecified when it fails. A folder fails with
// EISDIR on every system.
FileReading ReadWholeFile(const std::filesystem::path& file, std::string& text);

}  // namespace vhost
