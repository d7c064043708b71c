#include "studio/upload_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/utf8_path.h"
#include "text/utf8.h"

namespace vhost::studio {

namespace {

constexpr std::size_t kLongestName = 255;

// C0 and C1 controls and DEL: nothing a file name shows.
bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

bool HoldsControl(std::string_view name) {
    while (!name.empty()) {
        const Utf8Character character = DecodeUtf8(name);
        if (IsControl(character.code)) return true;
        name.remove_prefix(character.length);
    }
    return false;
}

// A new folder only its owner can enter, with a name nobody can guess; none when it cannot be
// made.
std::optional<std::filesystem::path> MakePrivateFolder(const std::filesystem::path& parent,
                                                       std::string& problem) {
    std::string pattern = Utf8FromPath(parent / "vela-studio-drops-XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        problem = "cannot make a folder in " + Utf8FromPath(parent) + ": " + ErrnoText(errno);
        return std::nullopt;
    }
    return PathFromUtf8(name.data());
}

}  // namespace

std::optional<std::string> FileNameProblem(std::string_view name) {
    if (name.empty()) return "the name is empty";
    if (name.size() > kLongestName) return "the name is longer than 255 bytes";
    if (!IsValidUtf8(name)) return "the name is not UTF-8 text";
    if (name == "." || name == "..") return R"("." and ".." name folders, not files)";
    if (name.find_first_of("/\\") != std::string_view::npos) {
        return R"(the name holds a "/" or "\")";
    }
    if (HoldsControl(name)) return "the name holds a control character";
    return std::nullopt;
}

UploadFolder::UploadFolder(std::filesystem::path parent) : parent_(std::move(parent)) {}

UploadFolder::~UploadFolder() {
    if (root_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::optional<std::filesystem::path> UploadFolder::Root(std::string& problem) {
    if (root_.empty()) {
        std::error_code error;
        const std::filesystem::path parent =
            parent_.empty() ? std::filesystem::temp_directory_path(error) : parent_;
        if (error) {
            problem = "there is no temporary folder: " + error.message();
            return std::nullopt;
        }
        std::optional<std::filesystem::path> made = MakePrivateFolder(parent, problem);
        if (!made) return std::nullopt;
        const std::filesystem::path incoming = *made / "incoming";
        if (::mkdir(incoming.c_str(), S_IRWXU) != 0) {
            problem = "cannot make the folder " + Utf8FromPath(incoming) + ": " + ErrnoText(errno);
            std::error_code ignored;
            std::filesystem::remove_all(*made, ignored);
            return std::nullopt;
        }
        root_ = std::move(*made);
    }
    return root_;
}

std::optional<std::filesystem::path> UploadFolder::NewIncoming(std::string& problem) {
    const std::lock_guard lock(mutex_);
    std::optional<std::filesystem::path> root = Root(problem);
    if (!root) return std::nullopt;
    return *root / "incoming" / std::to_string(++incoming_);
}

std::optional<std::int32_t> UploadFolder::NewDrop(std::string& problem) {
    const std::lock_guard lock(mutex_);
    const std::optional<std::filesystem::path> root = Root(problem);
    if (!root) return std::nullopt;
    const std::filesystem::path folder = *root / std::to_string(drops_ + 1);
    if (::mkdir(folder.c_str(), S_IRWXU) != 0) {
        problem = "cannot make the folder " + Utf8FromPath(folder) + ": " + ErrnoText(errno);
        return std::nullopt;
    }
    return ++drops_;
}

std::filesystem::path UploadFolder::DropFolder(std::int32_t drop) const {
    const std::lock_guard lock(mutex_);
    return root_ / std::to_string(drop);
}

std::filesystem::path UploadFolder::FileOf(std::int32_t drop, std::string_view name) const {
    return DropFolder(drop) / PathFromUtf8(name);
}

std::string UploadFolder::Keep(std::int32_t drop, std::string_view name,
                               std::string_view bytes) const {
    const std::filesystem::path file = FileOf(drop, name);
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        return errno == EEXIST ? "this drop has a file of that name already" : ErrnoText(errno);
    }
    const int writeError = WriteAll(fd, bytes);
    const int closeError = ::close(fd) != 0 ? errno : 0;
    if (writeError == 0 && closeError == 0) return {};
    ::unlink(file.c_str());
    return ErrnoText(writeError != 0 ? writeError : closeError);
}

std::string UploadFolder::KeepIncoming(std::int32_t drop, std::string_view name,
                                       const std::filesystem::path& incoming) const {
    const std::filesystem::path file = FileOf(drop, name);
    // A hard link never replaces a file that is there; the incoming name is then let go.
    if (::chmod(incoming.c_str(), S_IRUSR | S_IWUSR) != 0 ||
        ::link(incoming.c_str(), file.c_str()) != 0) {
        const int error = errno;
        ::unlink(incoming.c_str());
        return error == EEXIST ? "this drop has a file of that name already" : ErrnoText(error);
    }
    ::unlink(incoming.c_str());
    return {};
}

std::string UploadFolder::WithoutFolder(std::int32_t drop, std::string text) const {
    const std::string folder = Utf8FromPath(DropFolder(drop)) + "/";
    for (std::size_t at = text.find(folder); at != std::string::npos; at = text.find(folder, at)) {
        text.erase(at, folder.size());
    }
    return text;
}

}  // namespace vhost::studio
