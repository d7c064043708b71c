// The host side of the preference area: the world container, the descriptions the host builds for
// preference pages, and interface refreshes.
#include "host.h"
#include "prefs/preference_pages.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

HostContainerRef* HOST_ABI GetWorldContainerInstance(const HostTable* host) {
    return Host::FromTable(host).WorldContainer().Ref();
}

bool HOST_ABI DescriptionLoad(const HostTable* host, HostDescription* description,
                              HostStringView name) {
    if (description == nullptr) return false;
    const Description* registered = Host::FromTable(host).Pages().FindDescription(Text(name));
    return DescriptionBuild::FromHandle(description)->Load(registered);
}

HostContainerRef* HOST_ABI DescriptionGetParameter(const HostTable* /*host*/,
                                                   HostDescription* description,
                                                   const HostDescId* id) {
    if (description == nullptr || id == nullptr || id->count < 1) return nullptr;
    Container* settings = DescriptionBuild::FromHandle(description)->Settings(id->levels[0].id);
    return settings != nullptr ? settings->Ref() : nullptr;
}

bool HOST_ABI DescriptionGetSingle(const HostTable* /*host*/, const HostDescription* description,
                                   HostDescId* single) {
    if (description == nullptr) return false;
    const std::optional<HostDescId>& restriction =
        DescriptionBuild::FromHandle(description)->Single();
    if (!restriction) return false;
    if (single != nullptr) *single = *restriction;
    return true;
}

void HOST_ABI UpdateInterface(const HostTable* host) {
    Host::FromTable(host).NoteInterfaceRefresh();
}

constexpr HostPreferenceArea kArea{
    .size = sizeof(HostPreferenceArea),
    .get_world_container_instance = &GetWorldContainerInstance,
    .description_load = &DescriptionLoad,
    .description_get_parameter = &DescriptionGetParameter,
    .description_get_single = &DescriptionGetSingle,
    .update_interface = &UpdateInterface,
};

}  // namespace

const HostPreferenceArea* PreferenceArea() { return &kArea; }

}  // namespace vhost::table
