// Damaged files of the host (its preferences, its shortcut table) are set aside, never replaced:
// the person can look at what was there, and the host can write a fresh file under the old name.
#pragma once

#include <chrono>
#include <filesystem>
#include <system_error>

namespace vhost {

struct SetAside {
    std::filesystem::path path;  // where the file went; empty when it stayed
    std::error_code error;       // why it stayed where it was
};

// Renames `file` (a file, a folder or a link, as it is) to "NAME.damaged-YYYYMMDD-HHMMSS" beside
// it, the date and time being `now` in UTC; when that name is taken, "-2", "-3", ... are added.
// Whatever already has the new name (a file, a folder, a link, even a dangling one) is never
// replaced, also when another process takes the name at the same moment.
SetAside SetFileAside(const std::filesystem::path& file,
                      std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace vhost
