#include "support/module_folder.h"

#include <fstream>
#include <stdexcept>

namespace velatest {

fs::path BuiltModuleFile() { return fs::path(VELA_MODULE_FILE); }

fs::path BuiltResourceFolder() { return BuiltModuleFile().parent_path() / "res"; }

std::string BuiltModuleFolder() { return BuiltModuleFile().parent_path().string(); }

fs::path CopyModuleTo(const fs::path& folder, std::string_view name) {
    fs::create_directories(folder);
    const fs::path target = folder / name;
    fs::copy_file(BuiltModuleFile(), target, fs::copy_options::overwrite_existing);
    return target;
}

void CopyResourceTo(const fs::path& folder) {
    fs::create_directories(folder);
    fs::copy(BuiltResourceFolder(), folder,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

void WriteTextFile(const fs::path& file, std::string_view text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string StringTableWithTitle(std::string_view title) {
    return "STRINGTABLE\n{\n\tIDS_VELAPREFS_TITLE \"" + std::string(title) + "\";\n}\n";
}

}  // namespace velatest
