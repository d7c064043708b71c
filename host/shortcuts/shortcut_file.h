// The file the shortcut table is kept in, `shortcuts.json` in the preferences folder:
//
//   {
//     "format": "vela-host-shortcuts",
//     "version": 1,
//     "shortcuts": [
//       {"command": 12105, "address": 0, "strokes": [[2, 90]]},
//       {"command": 12254, "address": 0, "strokes": [[2, 71], [0, 71]]}
//     ]
//   }
//
// Each shortcut keeps its command, its address and its strokes, [qualifiers, key code] each, in
// table order. What else a module put into a record is not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/container.h"

namespace vhost {

// Why a file's text is not a shortcut table.
struct ShortcutFileDamage {
    std::size_t offset = 0;  // where in the text: the value that is wrong, or where JSON broke off
    std::string message;     // the path to the value and what was expected there, e.g.
                             // "shortcuts[2].strokes: expected ..."; "not JSON: ..." for syntax
};

struct ShortcutFileContents {
    std::vector<Container> entries;            // the records, in table order
    std::optional<ShortcutFileDamage> damage;  // set when the text is not a table; no entries then
    std::optional<std::int64_t> newerVersion;  // set when a newer host wrote it; nothing is read
};

// Reads a file's text. Damage is the first problem met; a table is taken whole or not at all.
ShortcutFileContents ReadShortcutFile(std::string_view text);

// The file's text for `entries`, one shortcut a line.
std::string ShortcutFileText(const std::vector<Container>& entries);

}  // namespace vhost
