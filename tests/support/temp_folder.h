// The tests' one temporary folder: a fresh, empty folder per object under the system's temporary
// folder, removed with everything in it when the object goes (also when a case took away its
// permissions). Names cross as UTF-8, so a case can give the folder or its files names that are
// not ASCII on every system. Also whole-file reads and writes for checking what was kept on disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/utf8_path.h"

namespace vhost::testing_support {

class TempFolder {
public:
    // `stem` (UTF-8) begins the folder's name; a number unique among the existing folders ends it,
    // so processes running side by side never share a folder.
    explicit TempFolder(std::string_view stem = "vela-test") {
        namespace fs = std::filesystem;
        const fs::path base = fs::temp_directory_path();
        std::mt19937_64 numbers{std::random_device{}()};
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = base / PathFromUtf8(std::string(stem) + "-" +
                                                           std::to_string(numbers() % 1000000000));
            std::error_code error;
            if (fs::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
        }
        throw std::runtime_error("cannot make a temporary folder in " + Utf8FromPath(base));
    }
    ~TempFolder() {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // A name (UTF-8) inside the folder.
    std::filesystem::path operator/(std::string_view name) const {
        return path_ / PathFromUtf8(std::string(name));
    }
    // The names in the folder (UTF-8), sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(Utf8FromPath(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

}  // namespace vhost::testing_support
