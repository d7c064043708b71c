#include "fuzz_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "fuzz_check.h"

namespace vfuzz {

namespace {

// In memory where the system offers it, so that file operations cost little per input.
std::filesystem::path MakeFolder() {
    std::error_code error;
    std::filesystem::path base = "/dev/shm";
    if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path();
    std::string pattern = (base / "vela-fuzz-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    Require(::mkdtemp(name.data()) != nullptr, "cannot make a temporary folder");
    return name.data();
}

struct Folder {
    std::filesystem::path path = MakeFolder();
    Folder() = default;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::filesystem::path& ThePath() {
    static const Folder folder;
    return folder.path;
}

}  // namespace

const std::filesystem::path& FuzzFolder::Fresh() {
    const std::filesystem::path& path = ThePath();
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        std::filesystem::remove_all(entry.path());
    }
    return path;
}

std::filesystem::path FuzzFolder::Put(std::string_view name, std::string_view bytes) {
    std::filesystem::path file = ThePath() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Require(out.good(), "cannot write the input to the temporary folder");
    return file;
}

std::string FuzzFolder::Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace vfuzz
