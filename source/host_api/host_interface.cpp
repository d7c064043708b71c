#include "host_interface.h"

namespace hostapi {

namespace {
const HostTable* g_table = nullptr;
}  // namespace

void HostInterface::Attach(const HostTable* table) { g_table = table; }
void HostInterface::Detach() { g_table = nullptr; }
bool HostInterface::IsAttached() { return g_table != nullptr; }
const HostTable* HostInterface::Table() { return g_table; }

}  // namespace hostapi
