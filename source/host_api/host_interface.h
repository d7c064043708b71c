// The module's link to its host: the interface table handed over at start-up.
//
// Every class of the client layer reaches the host through `HostInterface::Table()`. The entry
// point attaches the table before anything else runs and detaches it after the last end message.
#pragma once

#include <string>
#include <string_view>

#include "vela_host/host_table.h"

namespace hostapi {

namespace detail {
// The attached table; read through HostInterface::Table(). Defined in host_interface.cpp.
extern const HostTable* g_table;
}  // namespace detail

class HostInterface {
public:
    // Keeps `table` for every later call. [main-thread, during start-up]
    static void Attach(const HostTable* table);
    static void Detach();
    static bool IsAttached();
    // The attached table. Calling into the host before `Attach` is a programming error of the
    // module; the client layer never does it on its own. Inline: every host call reads it.
    static const HostTable* Table() { return detail::g_table; }

    // The module's loaded resource, for the strings and descriptions it holds; null while none is
    // loaded. Set by the entry point.
    static void SetResource(const HostResource* resource);
    static const HostResource* Resource();

    // The full path of the module file, as the entry point keeps it; empty when it has none.
    static void SetModulePath(const std::string* path);
    static std::string ModulePath();
};

inline HostStringView View(std::string_view text) {
    return HostStringView{text.data(), text.size()};
}

// Calls `write(buffer, capacity)` (a host function that writes a text snprintf style and answers
// its full size) until the whole text fits, and returns the text.
template <typename Write>
std::string ReadText(Write&& write) {
    std::string text(64, '\0');
    for (;;) {
        const std::size_t size = write(text.data(), text.size());
        if (size <= text.size()) {
            text.resize(size);
            return text;
        }
        text.resize(size);
    }
}

}  // namespace hostapi
