// Descriptions (description/NAME.res): the parameters of a description and the groups they lie
// in, with their attributes as written.
#pragma once

#include "resources/resource_file_reader.h"
#include "resources/resource_loader.h"

namespace vhost::resources {

// Reads the description in `in` into `description`. False after a syntax error or braces nested
// deeper than kMaxNesting; errors of meaning (unknown symbols, ids given twice) leave it true and
// are recorded. The name is set as soon as it is read, also when reading fails later.
bool ReadDescription(FileReader& in, Description& description);

}  // namespace vhost::resources
