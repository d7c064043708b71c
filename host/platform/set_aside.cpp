#include "platform/set_aside.h"

#include <cerrno>
#include <ctime>
#include <string>

#include "platform/utf8_path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#endif

namespace vhost {

namespace {

// "YYYYMMDD-HHMMSS" in UTC: read at a glance, and names made later sort after earlier ones.
std::string TimeStamp(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
#if defined(_WIN32)
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    return stamp;
}

// Renames `from` to `to` unless something has the name `to`; the check and the rename are one
// step of the system.
#if defined(_WIN32)

std::error_code RenameWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) {
    if (::MoveFileExW(from.c_str(), to.c_str(), 0) != 0) return {};
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
        return std::make_error_code(std::errc::file_exists);
    }
    return {static_cast<int>(error), std::system_category()};
}

#else

std::error_code RenameWithoutReplacing(const std::filesystem::path& from,
                                       const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) return {error, std::generic_category()};
    // A file system that cannot rename without replacing: a name nothing has is taken as free.
    std::error_code ignored;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, ignored))) {
        return std::make_error_code(std::errc::file_exists);
    }
    std::error_code renamed;
    std::filesystem::rename(from, to, renamed);
    return renamed;
}

#endif

}  // namespace

SetAside SetFileAside(const std::filesystem::path& file,
                      std::chrono::system_clock::time_point now) {
    const std::string base = Utf8FromPath(file.filename()) + ".damaged-" + TimeStamp(now);
    for (int n = 1;; ++n) {
        const std::filesystem::path candidate =
            file.parent_path() / PathFromUtf8(n == 1 ? base : base + "-" + std::to_string(n));
        const std::error_code error = RenameWithoutReplacing(file, candidate);
        if (!error) return {candidate, {}};
        if (error != std::errc::file_exists) return {{}, error};
    }
}

}  // namespace vhost
