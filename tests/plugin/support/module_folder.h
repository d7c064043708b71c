// Module files laid out elsewhere than the build puts them: a temporary folder that holds a copy
// of the built module file, with or without its resource folder, and resource folders with parts
// changed or missing. The host loads such a copy as a module of its own.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "support/temp_folder.h"

namespace velatest {

namespace fs = std::filesystem;

// The module file as the build lays it out, and its resource folder beside it.
fs::path BuiltModuleFile();
fs::path BuiltResourceFolder();
// The folder of the built module file, as the module names it (no separator at the end).
std::string BuiltModuleFolder();

using vhost::testing_support::TempFolder;

// Copies the built module file into `folder` (made if missing) under `name`; answers its path.
fs::path CopyModuleTo(const fs::path& folder, std::string_view name = "vela2023.xdl64");
// Copies the built resource folder to `folder`, which becomes a resource folder.
void CopyResourceTo(const fs::path& folder);
// Writes `text` to `file`, replacing what was there.
void WriteTextFile(const fs::path& file, std::string_view text);
// A string table of the resource with one text: `title` as text 20000 (the page's title).
std::string StringTableWithTitle(std::string_view title);

}  // namespace velatest
