// Paths from and to the host's text, which is UTF-8 everywhere.
//
// A std::filesystem::path made from a std::string reads it in the system's narrow encoding: on
// Linux that is the bytes as they are, on Windows the ANSI code page, where a name like "Szène"
// would come out wrong. Every conversion between the host's strings and paths goes through these
// two functions, which are UTF-8 on every system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vhost {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace vhost
