// Helpers shared by the areas of the interface table: the conversion of texts between the table
// and the host, and the counting of writes that change the scene.
#pragma once

#include <cstddef>
#include <string_view>

#include "vela_host/host_table.h"

namespace vhost {
class Container;
}  // namespace vhost

namespace vhost::table {

// The text a view names; the empty text for a null view.
inline std::string_view Text(HostStringView view) {
    return view.data != nullptr ? std::string_view(view.data, view.size) : std::string_view();
}

inline HostStringView ViewOf(std::string_view text) { return {text.data(), text.size()}; }

// Writes `text` into the caller's buffer as the table's text results do: at most `capacity` bytes,
// no terminator; answers the full size of the text.
std::size_t WriteText(std::string_view text, char* buffer, std::size_t capacity);

// Counts a write through the table as a scene change when it lands in scene data.
void NoteWrite(const HostTable* host, const Container* container);

}  // namespace vhost::table
