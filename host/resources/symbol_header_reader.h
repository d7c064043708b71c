// Symbol headers (c4d_symbols.h and description/NAME.h): enums whose symbols name the ids of the
// string tables and the descriptions.
#pragma once

#include "resources/resource_file_reader.h"

namespace vhost::resources {

// Reads the enums of a symbol header into the state's symbols. A symbol defined again with another
// value is an error of this file; the first definition stands.
void ReadSymbolHeader(FileReader& in);

}  // namespace vhost::resources
