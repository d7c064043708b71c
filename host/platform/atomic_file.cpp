#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/error_text.h"
#include "platform/utf8_path.h"
#include "text/quoting.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

#include <sys/stat.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <sys/stat.h>
#endif

namespace vhost {

namespace {

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    return file.parent_path().empty() ? std::filesystem::path(".") : file.parent_path();
}

// The few file operations that differ by system. Files are C runtime descriptors on both, so a
// filler writes the same way everywhere.
#if defined(_WIN32)

int OpenExclusive(const std::filesystem::path& file) {
    return ::_wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}
int ProcessId() { return ::_getpid(); }
bool ProcessIsRunning(int pid) {
    HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return ::GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = ::GetExitCodeProcess(process, &code) == 0 || code == STILL_ACTIVE;
    ::CloseHandle(process);
    return running;
}
// Windows keeps no permission bits that a new file would lack; its attributes stay with the
// name and the replacement brings its own.
void KeepPermissions(int /*fd*/, const std::filesystem::path& /*target*/) {}
int FlushToDisk(int fd) { return ::_commit(fd) == 0 ? 0 : errno; }
int CloseFile(int fd) { return ::_close(fd) == 0 ? 0 : errno; }
void RemoveFile(const std::filesystem::path& file) { ::_wunlink(file.c_str()); }
long long WriteSome(int fd, const char* data, std::size_t size) {
    const auto chunk = static_cast<unsigned>(size < INT_MAX ? size : INT_MAX);
    return ::_write(fd, data, chunk);
}

// Replaces `target` by `replacement` in one step; the write-through flag returns only when the
// new name is on disk. Answers an empty text, or what the system said.
std::string ReplaceFile(const std::filesystem::path& replacement,
                        const std::filesystem::path& target) {
    if (::MoveFileExW(replacement.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return {};
    }
    return std::system_category().message(static_cast<int>(::GetLastError()));
}

// MoveFileEx with write-through has made the rename durable already.
void SyncFolder(const std::filesystem::path& /*folder*/) {}

#else

int OpenExclusive(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
int ProcessId() { return static_cast<int>(::getpid()); }
// A process that exists but is not ours to signal is running too.
bool ProcessIsRunning(int pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }
// A replaced file keeps its permissions.
void KeepPermissions(int fd, const std::filesystem::path& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 07777);
    }
}
int FlushToDisk(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }
int CloseFile(int fd) { return ::close(fd) == 0 ? 0 : errno; }
void RemoveFile(const std::filesystem::path& file) { ::unlink(file.c_str()); }
long long WriteSome(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }

// Replaces `target` by `replacement` in one step. Answers an empty text, or what the system said.
std::string ReplaceFile(const std::filesystem::path& replacement,
                        const std::filesystem::path& target) {
    if (::rename(replacement.c_str(), target.c_str()) == 0) return {};
    return ErrnoText(errno);
}

// Makes a rename in `folder` durable. Failure only weakens durability, so it is not reported.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

#endif

// The name of a temporary file for `target` as CreateTemporary makes it: ".NAME.PID-N.tmp".
std::string TemporaryName(const std::filesystem::path& target, int pid, unsigned number) {
    return "." + Utf8FromPath(target.filename()) + "." + std::to_string(pid) + "-" +
           std::to_string(number) + ".tmp";
}

// The process id in a temporary file's name made for `target`; nullopt for any other name.
std::optional<int> WriterOfTemporary(const std::string& name, const std::string& target) {
    const std::string prefix = "." + target + ".";
    const std::string suffix = ".tmp";
    if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return std::nullopt;
    }
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const std::size_t dash = middle.find('-');
    const auto digits = [](std::string_view text) {
        return !text.empty() && text.size() <= 9 &&
               text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (dash == std::string::npos || !digits(std::string_view(middle).substr(0, dash)) ||
        !digits(std::string_view(middle).substr(dash + 1))) {
        return std::nullopt;
    }
    return std::stoi(middle.substr(0, dash));
}

// Removes what saves of `target` left behind when their process died before finishing: temporary
// files whose writer no longer runs. Those of running processes (saves in progress) stay, and so
// does everything else in the folder. Failures are ignored: the files only take space.
void RemoveAbandonedTemporaries(const std::filesystem::path& target) {
    const std::string targetName = Utf8FromPath(target.filename());
    std::error_code error;
    std::filesystem::directory_iterator entries(FolderOf(target), error);
    std::vector<std::filesystem::path> abandoned;
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::optional<int> writer =
            WriterOfTemporary(Utf8FromPath(entries->path().filename()), targetName);
        if (writer && *writer != ProcessId() && !ProcessIsRunning(*writer)) {
            abandoned.push_back(entries->path());
        }
    }
    for (const std::filesystem::path& file : abandoned) {
        std::filesystem::remove(file, error);
    }
}

// A new file beside `target` that nobody else opens: its descriptor, or -1 with errno set.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& created) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = FolderOf(target) /
                  PathFromUtf8(TemporaryName(target, ProcessId(), counter.fetch_add(1)));
        const int fd = OpenExclusive(created);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

int WriteAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const long long written = WriteSome(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

std::string PrepareFileAtomically(const std::filesystem::path& path, const AtomicFileFiller& fill,
                                  PreparedFile& prepared) {
    std::filesystem::path target = path;
    std::error_code ignored;
    if (std::filesystem::is_symlink(path, ignored)) {
        std::filesystem::path resolved = std::filesystem::canonical(path, ignored);
        if (!ignored) target = resolved;
    }

    RemoveAbandonedTemporaries(target);
    std::filesystem::path temporary;
    int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        const int error = errno;
        return "cannot create a file in the folder " + Quoted(Utf8FromPath(FolderOf(target))) +
               ": " + ErrnoText(error);
    }
    KeepPermissions(fd, target);

    auto abandon = [&](std::string error) {
        if (fd >= 0) CloseFile(fd);
        RemoveFile(temporary);
        return error;
    };
    if (std::string error = fill(fd, temporary); !error.empty()) {
        return abandon(std::move(error));
    }
    if (const int error = FlushToDisk(fd); error != 0) {
        return abandon("flushing to disk failed: " + ErrnoText(error));
    }
    const int closed = CloseFile(fd);
    fd = -1;
    if (closed != 0) return abandon("closing the written file failed: " + ErrnoText(closed));
    prepared = PreparedFile();
    prepared.temporary_ = std::move(temporary);
    prepared.target_ = std::move(target);
    return {};
}

PreparedFile::PreparedFile(PreparedFile&& other) noexcept
    : temporary_(std::move(other.temporary_)), target_(std::move(other.target_)) {
    other.temporary_.clear();
}

PreparedFile& PreparedFile::operator=(PreparedFile&& other) noexcept {
    if (this != &other) {
        if (!temporary_.empty()) RemoveFile(temporary_);
        temporary_ = std::move(other.temporary_);
        target_ = std::move(other.target_);
        other.temporary_.clear();
    }
    return *this;
}

PreparedFile::~PreparedFile() {
    if (!temporary_.empty()) RemoveFile(temporary_);
}

std::string PreparedFile::Replace() {
    if (temporary_.empty()) return "there is no prepared file to put in place";
    if (std::string error = ReplaceFile(temporary_, target_); !error.empty()) {
        RemoveFile(temporary_);
        temporary_.clear();
        return "cannot replace the file: " + error;
    }
    temporary_.clear();
    SyncFolder(FolderOf(target_));
    return {};
}

std::string WriteFileAtomically(const std::filesystem::path& path, const AtomicFileFiller& fill) {
    PreparedFile prepared;
    if (std::string error = PrepareFileAtomically(path, fill, prepared); !error.empty()) {
        return error;
    }
    return prepared.Replace();
}

namespace {

AtomicFileFiller TextFiller(std::string_view text) {
    return [text](int fd, const std::filesystem::path& temporary) -> std::string {
        if (const int error = WriteAll(fd, text); error != 0) {
            return "writing " + Quoted(Utf8FromPath(temporary)) + " failed: " + ErrnoText(error);
        }
        return {};
    };
}

}  // namespace

std::string WriteFileAtomically(const std::filesystem::path& path, std::string_view text) {
    return WriteFileAtomically(path, TextFiller(text));
}

std::string PrepareFileAtomically(const std::filesystem::path& path, std::string_view text,
                                  PreparedFile& prepared) {
    return PrepareFileAtomically(path, TextFiller(text), prepared);
}

}  // namespace vhost
