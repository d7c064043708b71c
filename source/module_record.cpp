// The module record the host's framework reads at load, and the processor-yield hook.
//
// The static initialisers below run when the module is loaded, before any entry message, and
// link the module's declarations into the record.
#include <cstdint>

#include "vela_host/host_entry.h"

namespace {
void DefaultCpuYield() {}
}  // namespace

extern "C" {
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): the host reads and writes it.
HOST_MODULE_EXPORT HostModuleRecord g_maxon = {
    HOST_MODULE_RECORD_VERSION, HOST_MODULE_RECORD_VERSION, nullptr, {0, 0, 0, 0, 0}};

// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): the host may replace it.
HOST_MODULE_EXPORT HostCpuYield g_CpuYieldDelegate = DefaultCpuYield;
}

namespace {

// One declaration, linked into g_maxon when the module is loaded.
class Declaration {
public:
    Declaration(std::int32_t kind, const char* identifier)
        : record_{&g_maxon, g_maxon.declarations, kind, identifier} {
        g_maxon.declarations = &record_;
    }
    Declaration(const Declaration&) = delete;
    Declaration& operator=(const Declaration&) = delete;
    ~Declaration() = default;

private:
    HostModuleDeclaration record_;
};

// Linked first so that the module's own identifier ends up last in the list, after the frameworks.
const Declaration g_moduleIdentifier(HOST_DECLARATION_MODULE, "org.example.velacraft.vela2023");
const Declaration g_coreFramework(HOST_DECLARATION_FRAMEWORK, "net.maxon.core.framework");
const Declaration g_cinemaFramework(HOST_DECLARATION_FRAMEWORK, "net.maxon.c4d.cinema.framework");

}  // namespace
