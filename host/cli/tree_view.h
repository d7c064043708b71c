// The object tree as the host's object manager shows it, as text: one line per object with its
// name, type, editor and render visibility, enabled state, selection and isolation record.
#pragma once

#include <ostream>
#include <string>

#include "model/object_types.h"
#include "model/scene.h"

namespace vhost::cli {

struct TreeStyle {
    bool color = false;  // ANSI colours, for a terminal
};

// `commandState` is what the isolation command answers for the document: "isolated",
// "not isolated", or empty when no command is there to ask.
void PrintTree(std::ostream& out, const Document& document, const ObjectTypes& types,
               const std::string& commandState, const TreeStyle& style);

}  // namespace vhost::cli
