// The resource readers (symbol headers, descriptions, string tables) on any bytes. The input is
// cut at NUL bytes into the texts of a resource folder's files, in the order of kPaths; a part past
// the last path starts over at the first with a second description name. The loader answers a
// resource or errors, never both, every error names a file of the folder, and every text a loaded
// resource offers can be looked up.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "resources/resource_loader.h"

namespace {

constexpr std::array<std::string_view, 7> kPaths{
    "c4d_symbols.h",
    "description/Prefsvelaprefs.h",
    "description/Prefsvelaprefs.res",
    "strings_en-US/c4d_strings.str",
    "strings_en-US/description/Prefsvelaprefs.str",
    "strings_de-DE/c4d_strings.str",
    "strings_de-DE/description/Prefsvelaprefs.str",
};

std::vector<vhost::ResourceFile> FilesOf(std::string_view input) {
    std::vector<vhost::ResourceFile> files;
    std::size_t start = 0;
    for (std::size_t part = 0; start <= input.size(); ++part) {
        std::size_t end = input.find('\0', start);
        if (end == std::string_view::npos) end = input.size();
        std::string path(kPaths[part % kPaths.size()]);
        if (part >= kPaths.size()) {
            const std::size_t dot = path.find("Prefsvelaprefs");
            if (dot != std::string::npos) path.replace(dot, 14, "Other" + std::to_string(part));
        }
        files.push_back({path, std::string(input.substr(start, end - start))});
        start = end + 1;
    }
    return files;
}

void CheckResource(const vhost::Resource& resource) {
    for (const auto& [language, table] : resource.strings) {
        for (const auto& [id, text] : table) {
            vfuzz::Require(resource.LoadString(id, language) == text,
                           "a string of the table is found in its language");
        }
    }
    for (const auto& [name, description] : resource.descriptions) {
        vfuzz::Require(resource.FindDescription(name) == &description,
                       "a description is found by its name");
        for (const vhost::DescriptionParameter& parameter : description.parameters) {
            for (const std::size_t group : parameter.groupPath) {
                vfuzz::Require(
                    group < description.parameters.size() &&
                        description.parameters[group].kind == vhost::ParameterKind::Group,
                    "a parameter's groups are groups of its description");
            }
            (void)parameter.Label("DE");
        }
        (void)description.Title("US");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<vhost::ResourceFile> files = FilesOf(input);
    const vhost::ResourceLoad loaded = vhost::LoadResourceFromFiles("res", files);
    vfuzz::Require(loaded.resource.has_value() != !loaded.errors.empty(),
                   "the loader answers a resource or errors, never both and never neither");
    for (const vhost::ResourceError& error : loaded.errors) {
        vfuzz::Require(vfuzz::StartsWith(error.file, "res/"),
                       "an error names a file of the folder");
        vfuzz::Require(!error.message.empty(), "an error says what is wrong");
        vfuzz::Require(error.line >= 0 && error.column >= 0, "an error's place is not negative");
    }
    if (loaded.resource) CheckResource(*loaded.resource);
    return 0;
}
