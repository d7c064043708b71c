// Helpers shared by the host side of the interface table: text conversion, handle conversion,
// and the area structs that Host puts into its table.
#pragma once

#include <cstddef>
#include <string_view>

#include "host.h"
#include "vela_host/host_table.h"

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

// Whether a module's class table, filled by a module that declared `size`, holds `member`.
#define VHOST_CLASS_HAS(klass, type, member)                                                 \
    ((klass) != nullptr && (klass)->size >= offsetof(type, member) + sizeof(type::member) && \
     (klass)->member != nullptr)

const HostRegistryArea* RegistryArea();
const HostContainerArea* ContainerArea();
const HostDocumentArea* DocumentArea();
const HostPreferenceArea* PreferenceArea();
const HostShortcutArea* ShortcutArea();
const HostDialogArea* DialogArea();
const HostFileArea* FileArea();
const HostConsoleArea* ConsoleArea();

}  // namespace vhost::table
