// The module's link to its host: the interface table handed over at start-up.
//
// Every class of the client layer reaches the host through `HostInterface::Table()`. The entry
// point checks the table with `Supports` and attaches it before anything else runs. It stays
// attached after the last end message, since the host may still destroy what the module handed
// over, until an initialisation hands over another. The table is one per loaded module, not one
// per host: the entry point's later actions carry no table, so a loaded module serves one host at
// a time.
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
    // Whether the client layer can work with `table`: present, of the interface version the module
    // was built for or later, and with every area long enough for the last member of it that the
    // client layer calls. A table that fails is refused whole, so no call ever goes through a
    // member that an older host's area lacks.
    static bool Supports(const HostTable* table);

    // Keeps `table`, which `Supports`, for every later call. [main-thread, loaded]
    static void Attach(const HostTable* table);
    // Forgets the table, for a module that refused the one it was handed; nothing may call the host
    // afterwards. [main-thread, loaded]
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
