#include "c4d_commanddata.h"

#include "c4d_gedialog.h"
#include "host_interface.h"

using hostapi::HostInterface;

namespace {

const HostTable* Host() { return HostInterface::Table(); }

// The host calls a command through these; they turn the calls into virtual calls of the instance.
// The host's parent dialog reaches the command through its handle wrapper, alive for the call.
bool HOST_ABI ExecuteTrampoline(void* instance, HostDocument* document, HostDialog* parent) {
    auto* command = static_cast<CommandData*>(instance);
    if (parent == nullptr) {
        return command->Execute(BaseDocument::FromHandle(document), nullptr);
    }
    hostapi::HostDialogView parentDialog(parent);
    return command->Execute(BaseDocument::FromHandle(document), &parentDialog);
}

int32_t HOST_ABI GetStateTrampoline(void* instance, HostDocument* document, HostDialog* parent) {
    auto* command = static_cast<CommandData*>(instance);
    if (parent == nullptr) {
        return command->GetState(BaseDocument::FromHandle(document), nullptr);
    }
    hostapi::HostDialogView parentDialog(parent);
    return command->GetState(BaseDocument::FromHandle(document), &parentDialog);
}

void HOST_ABI DestroyTrampoline(void* instance) { delete static_cast<CommandData*>(instance); }

constexpr HostCommandClass kCommandClass{sizeof(HostCommandClass), ExecuteTrampoline,
                                         GetStateTrampoline, DestroyTrampoline};

}  // namespace

Bool CommandData::Execute(BaseDocument* /*doc*/, GeDialog* /*parentManager*/) { return false; }

Int32 CommandData::GetState(BaseDocument* /*doc*/, GeDialog* /*parentManager*/) {
    return CMD_ENABLED;
}

Bool RegisterCommandPlugin(Int32 id, const String& str, Int32 info, BaseBitmap* icon,
                           const String& help, CommandData* dat) {
    if (dat == nullptr) {
        return false;
    }
    return Host()->registry->register_command_plugin(
        Host(), id, hostapi::View(str.View()), info, icon != nullptr ? icon->Handle() : nullptr,
        hostapi::View(help.View()), &kCommandClass, dat, API_VERSION);
}

Int32 BasePlugin::GetInfo() const { return Host()->registry->plugin_get_info(Host(), Handle()); }

BaseContainer* BasePlugin::GetDataInstance() {
    return BaseContainer::FromRef(Host()->registry->plugin_get_data_instance(Host(), Handle()));
}

BasePlugin* FindPlugin(Int32 id, PLUGINTYPE type) {
    return reinterpret_cast<BasePlugin*>(
        Host()->registry->find_plugin(Host(), id, static_cast<Int32>(type)));
}
