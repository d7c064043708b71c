// Files replaced in one step: a reader finds the old contents or the new ones, never a mix, and a
// write that fails half-way leaves the old file as it was.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vhost {

// Fills the temporary file open as `fd` (at `temporary`); answers what went wrong, empty when all
// was written. It must not close `fd`.
using AtomicFileFiller = std::function<std::string(int fd, const std::filesystem::path& temporary)>;

// Writes `path` atomically: `fill` writes a new file in the same folder (".NAME.PID-N.tmp"; such
// files left by saves whose process died are removed first), which is flushed to disk,
// given the permissions of the file it replaces and renamed over `path`; then the folder is
// synced. Writing through a symbolic link replaces the file the link names, not the link. When
// anything fails, `path` keeps its previous contents (or stays absent), the temporary file is
// removed, and the answer says what failed (for example `cannot create a file in the folder
// "/x": Permission denied`); the answer is empty on success.
std::string WriteFileAtomically(const std::filesystem::path& path, const AtomicFileFiller& fill);

// The same with the whole text at hand.
std::string WriteFileAtomically(const std::filesystem::path& path, std::string_view text);

// Writes all of `text` to `fd`, retrying interrupted and partial writes; 0 or the first errno.
int WriteAll(int fd, std::string_view text);

}  // namespace vhost
