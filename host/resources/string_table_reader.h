// String tables (strings_xx-YY/c4d_strings.str and, named after their description,
// strings_xx-YY/description/NAME.str): the texts of one language by id.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "resources/resource_file_reader.h"

namespace vhost::resources {

struct StringTableRead {
    std::string name;
    int nameLine = 0;
    int nameColumn = 0;
    std::map<std::int32_t, std::string> texts;
};

// Reads a string table; `named` for the table of a description, which names it after
// 'STRINGTABLE'. False after a syntax error; errors of meaning leave it true and are recorded.
bool ReadStringTable(FileReader& in, bool named, StringTableRead& table);

}  // namespace vhost::resources
