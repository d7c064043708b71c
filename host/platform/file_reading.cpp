#include "platform/file_reading.h"

#include <array>
#include <cerrno>
#include <new>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vhost {

namespace {

#if defined(_WIN32)
int OpenForReading(const std::filesystem::path& file) {
    return ::_wopen(file.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
long long ReadSome(int fd, char* buffer, std::size_t size) {
    return ::_read(fd, buffer, static_cast<unsigned>(size));
}
void CloseFile(int fd) { ::_close(fd); }
#else
int OpenForReading(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
}
long long ReadSome(int fd, char* buffer, std::size_t size) { return ::read(fd, buffer, size); }
void CloseFile(int fd) { ::close(fd); }
#endif

// Reads `fd` to its end, retrying interrupted reads.
int ReadToEnd(int fd, std::string& text) {
    std::array<char, std::size_t{1} << 16U> buffer{};
    while (true) {
        const long long got = ReadSome(fd, buffer.data(), buffer.size());
        if (got == 0) return 0;
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        text.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

}  // namespace

FileReading ReadWholeFile(const std::filesystem::path& file, std::string& text) {
    text.clear();
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) return {EISDIR, true};
    const int fd = OpenForReading(file);
    if (fd < 0) return {errno, false};
    int result = 0;
    try {
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        if (!error && size > 0) text.reserve(static_cast<std::size_t>(size));
        result = ReadToEnd(fd, text);
    } catch (const std::bad_alloc&) {
        result = ENOMEM;
    } catch (const std::length_error&) {
        result = ENOMEM;
    }
    CloseFile(fd);
    return {result, true};
}

}  // namespace vhost
