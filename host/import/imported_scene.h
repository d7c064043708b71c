// What an import gives: the document made of a file with what it lacks of the file, or why there
// is none. Made by the conversion (scene_conversion.h), carried from the reading child
// (child_answer.h) and answered by the importer (scene_import.h).
#pragma once

#include <memory>
#include <string>

#include "import/import_report.h"
#include "model/scene.h"

namespace vhost {

struct ImportedScene {
    std::unique_ptr<Document> document;  // set on success
    std::string error;                   // set on failure
    ImportReport leftOut;                // what the document lacks of the file; empty on failure
    bool cancelled = false;              // the import was called off (`error` says so)
    bool Ok() const { return document != nullptr; }
};

}  // namespace vhost
