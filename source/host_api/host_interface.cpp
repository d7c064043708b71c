#include "host_interface.h"

namespace hostapi {

namespace detail {
const HostTable* g_table = nullptr;
}  // namespace detail

using detail::g_table;

namespace {
const HostResource* g_resource = nullptr;
const std::string* g_modulePath = nullptr;
}  // namespace

void HostInterface::Attach(const HostTable* table) { g_table = table; }
void HostInterface::Detach() { g_table = nullptr; }
bool HostInterface::IsAttached() { return g_table != nullptr; }

void HostInterface::SetResource(const HostResource* resource) { g_resource = resource; }
const HostResource* HostInterface::Resource() { return g_resource; }

void HostInterface::SetModulePath(const std::string* path) { g_modulePath = path; }
std::string HostInterface::ModulePath() { return g_modulePath != nullptr ? *g_modulePath : ""; }

}  // namespace hostapi
