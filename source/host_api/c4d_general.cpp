#include "c4d_general.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
}  // namespace

BaseContainer GetWorldContainer() { return *GetWorldContainerInstance(); }

BaseContainer* GetWorldContainerInstance() {
    return BaseContainer::FromRef(Host()->preferences->get_world_container_instance(Host()));
}

BaseDocument* GetActiveDocument() {
    return BaseDocument::FromHandle(Host()->documents->get_active_document(Host()));
}

Bool GetInputState(Int32 askdevice, Int32 askchannel, BaseContainer& res) {
    return Host()->documents->get_input_state(Host(), askdevice, askchannel, res.Handle());
}

void StopAllThreads() { Host()->documents->stop_all_threads(Host()); }

void EventAdd(EVENT eventflag) {
    Host()->documents->event_add(Host(), static_cast<Int32>(eventflag));
}
