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

// A file written and flushed beside its target, not yet in its place: files that must change
// together are all prepared first, so that any failure before the first Replace leaves every
// target as it was. Destroying it unreplaced removes the temporary file.
class PreparedFile {
public:
    PreparedFile() = default;
    PreparedFile(PreparedFile&& other) noexcept;
    PreparedFile& operator=(PreparedFile&& other) noexcept;
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;
    ~PreparedFile();

    // Renames the temporary file over the target and syncs the folder; the answer is empty on
    // success, else what failed (the temporary file is then removed).
    std::string Replace();

private:
    friend std::string PrepareFileAtomically(const std::filesystem::path& path,
                                             const AtomicFileFiller& fill, PreparedFile& prepared);
    std::filesystem::path temporary_;
    std::filesystem::path target_;
};

// The first half of WriteFileAtomically: everything up to the rename, with the same answers.
std::string PrepareFileAtomically(const std::filesystem::path& path, const AtomicFileFiller& fill,
                                  PreparedFile& prepared);
std::string PrepareFileAtomically(const std::filesystem::path& path, std::string_view text,
                                  PreparedFile& prepared);

// Writes all of `text` to `fd`, retrying interrupted and partial writes; 0 or the first errno.
int WriteAll(int fd, std::string_view text);

}  // namespace vhost
