#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include <sys/stat.h>

namespace vhost {

namespace {

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// A path in quotes for a message, with quotes, backslashes and control characters escaped.
std::string Quoted(const std::filesystem::path& path) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : path.string()) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20U) {
            out += "\\u00";
            out += kHex[c >> 4U];
            out += kHex[c & 0xFU];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    return file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
}

// Replaces `target` by `replacement` in one step. The one call that differs by platform: Windows
// would use MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
int ReplaceFile(const std::filesystem::path& replacement, const std::filesystem::path& target) {
    return ::rename(replacement.c_str(), target.c_str()) == 0 ? 0 : errno;
}

// Makes a rename in `folder` durable. Failure only weakens durability, so it is not reported.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A new file beside `target` that nobody else opens: its descriptor, or -1 with errno set.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& created) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "." + target.filename().string() + "." +
                                 std::to_string(::getpid()) + "-" +
                                 std::to_string(counter.fetch_add(1)) + ".tmp";
        created = FolderOf(target) / name;
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

int WriteAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

std::string WriteFileAtomically(const std::filesystem::path& path, const AtomicFileFiller& fill) {
    std::filesystem::path target = path;
    std::error_code ignored;
    if (std::filesystem::is_symlink(path, ignored)) {
        std::filesystem::path resolved = std::filesystem::canonical(path, ignored);
        if (!ignored) target = resolved;
    }

    std::filesystem::path temporary;
    int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        const int error = errno;
        return "cannot create a file in the folder " + Quoted(FolderOf(target)) + ": " +
               ErrnoText(error);
    }
    // A replaced file keeps its permissions.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
    }

    auto abandon = [&](std::string error) {
        if (fd >= 0) ::close(fd);
        ::unlink(temporary.c_str());
        return error;
    };
    if (std::string error = fill(fd, temporary); !error.empty()) {
        return abandon(std::move(error));
    }
    if (::fsync(fd) != 0) return abandon("flushing to disk failed: " + ErrnoText(errno));
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return abandon("closing the written file failed: " + ErrnoText(errno));
    if (const int error = ReplaceFile(temporary, target); error != 0) {
        return abandon("cannot replace the file: " + ErrnoText(error));
    }
    SyncFolder(FolderOf(target));
    return {};
}

std::string WriteFileAtomically(const std::filesystem::path& path, std::string_view text) {
    return WriteFileAtomically(
        path, [text](int fd, const std::filesystem::path& temporary) -> std::string {
            if (const int error = WriteAll(fd, text); error != 0) {
                return "writing " + Quoted(temporary) + " failed: " + ErrnoText(error);
            }
            return {};
        });
}

}  // namespace vhost
