// Naming objects in session scripts: by their names from the top ("Car/Wheel FL"), or by their
// stable id ("@12"), which the scene file stores and the tree view shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/scene.h"

namespace vhost::cli {

struct ObjectLookup {
    Object* object = nullptr;  // set when the path names exactly one object
    std::string error;         // otherwise: why not, with the candidates
};

// Resolves a path in `document`. A leading '/' is allowed (and needed for a top-level object whose
// name is a script keyword). Names containing '/' are reached by id.
ObjectLookup FindObject(const Document& document, std::string_view path);

// The path of `object` from the top, as FindObject reads it.
std::string PathOf(const Object& object);

}  // namespace vhost::cli
