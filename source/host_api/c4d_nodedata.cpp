#include "c4d_nodedata.h"

#include <memory>
#include <vector>

#include "host_interface.h"

using hostapi::HostInterface;

namespace {

const HostTable* Host() { return HostInterface::Table(); }

NodeData* Node(void* instance) { return static_cast<NodeData*>(instance); }
GeListNode* AsNode(HostNode* node) { return reinterpret_cast<GeListNode*>(node); }

// The host calls a page through these; they turn the calls into virtual calls of the instance.
void* HOST_ABI AllocTrampoline(void* context) {
    auto* alloc = reinterpret_cast<DataAllocator*>(context);
    return static_cast<BaseData*>(alloc());
}

void HOST_ABI DestroyTrampoline(void* instance) { delete Node(instance); }

bool HOST_ABI InitTrampoline(void* instance, HostNode* node) {
    return Node(instance)->Init(AsNode(node));
}

bool HOST_ABI MessageTrampoline(void* instance, HostNode* node, int32_t type, void* data) {
    return Node(instance)->Message(AsNode(node), type, data);
}

bool HOST_ABI GetDescriptionTrampoline(void* instance, HostNode* node, HostDescription* description,
                                       int32_t* flags) {
    auto descFlags = static_cast<DESCFLAGS_DESC>(*flags);
    const bool answer = Node(instance)->GetDDescription(
        AsNode(node), reinterpret_cast<Description*>(description), descFlags);
    *flags = static_cast<int32_t>(descFlags);
    return answer;
}

bool HOST_ABI GetParameterTrampoline(void* instance, HostNode* node, const HostDescId* id,
                                     HostValueRef* value, int32_t* flags) {
    auto getFlags = static_cast<DESCFLAGS_GET>(*flags);
    const bool answer =
        Node(instance)->GetDParameter(AsNode(node), DescID(*id), *GeData::FromRef(value), getFlags);
    *flags = static_cast<int32_t>(getFlags);
    return answer;
}

bool HOST_ABI SetParameterTrampoline(void* instance, HostNode* node, const HostDescId* id,
                                     const HostValueRef* value, int32_t* flags) {
    auto setFlags = static_cast<DESCFLAGS_SET>(*flags);
    const bool answer =
        Node(instance)->SetDParameter(AsNode(node), DescID(*id), *GeData::FromRef(value), setFlags);
    *flags = static_cast<int32_t>(setFlags);
    return answer;
}

bool HOST_ABI GetEnablingTrampoline(void* instance, HostNode* node, const HostDescId* id,
                                    const HostValueRef* value, int32_t flags,
                                    const HostContainer* settings) {
    // The parameter's settings are the host's; the page only reads them, through a const view
    // whose slot has the C layout, where the handle is not const.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): the page gets it as const
    HostContainerRef ref{const_cast<HostContainer*>(settings)};
    return Node(instance)->GetDEnabling(
        AsNode(node), DescID(*id), *GeData::FromRef(value), static_cast<DESCFLAGS_ENABLE>(flags),
        settings != nullptr ? BaseContainer::FromRef(&ref) : nullptr);
}

// One class table per registered page, alive while the module is loaded.
std::vector<std::unique_ptr<HostPageClass>>& PageClasses() {
    static std::vector<std::unique_ptr<HostPageClass>> classes;
    return classes;
}

}  // namespace

Bool NodeData::Init(GeListNode* /*node*/) { return true; }
Bool NodeData::Message(GeListNode* /*node*/, Int32 /*type*/, void* /*data*/) { return true; }
Bool NodeData::GetDDescription(GeListNode* /*node*/, Description* /*description*/,
                               DESCFLAGS_DESC& /*flags*/) {
    return false;
}
Bool NodeData::GetDParameter(GeListNode* /*node*/, const DescID& /*id*/, GeData& /*t_data*/,
                             DESCFLAGS_GET& /*flags*/) {
    return false;
}
Bool NodeData::SetDParameter(GeListNode* /*node*/, const DescID& /*id*/, const GeData& /*t_data*/,
                             DESCFLAGS_SET& /*flags*/) {
    return false;
}
Bool NodeData::GetDEnabling(GeListNode* /*node*/, const DescID& /*id*/, const GeData& /*t_data*/,
                            DESCFLAGS_ENABLE /*flags*/, const BaseContainer* /*itemdesc*/) {
    return true;
}

Bool PrefsDialogObject::InitValues(const DescID& /*id*/, Description* /*desc*/) { return true; }

void PrefsDialogObject::InitPrefsValue(Int32 key, const GeData& defaultValue, Description* desc,
                                       const DescID& id, BaseContainer* settings) {
    if (desc != nullptr) {
        const DescID* single = desc->GetSingleDescID();
        if (single != nullptr && !id.IsPartOf(*single)) {
            return;
        }
        if (BaseContainer* parameter = desc->GetParameterI(id)) {
            parameter->SetData(DESC_DEFAULT, defaultValue);
        }
        return;
    }
    if (settings == nullptr) {
        return;
    }
    const Int32 storedType = settings->GetType(key);
    if (storedType == HOST_TYPE_NONE || storedType != defaultValue.GetType()) {
        settings->SetData(key, defaultValue);
    }
}

Bool RegisterPreferencePlugin(Int32 id, const String& name, DataAllocator* alloc) {
    if (alloc == nullptr) {
        return false;
    }
    auto klass = std::make_unique<HostPageClass>(HostPageClass{
        sizeof(HostPageClass), reinterpret_cast<void*>(alloc), AllocTrampoline, DestroyTrampoline,
        InitTrampoline, MessageTrampoline, GetDescriptionTrampoline, GetParameterTrampoline,
        SetParameterTrampoline, GetEnablingTrampoline});
    const bool registered = Host()->registry->register_plugin(
        Host(), HOST_PLUGIN_PREFS, id, hostapi::View(name.View()), 0, klass.get(), API_VERSION);
    PageClasses().push_back(std::move(klass));
    return registered;
}

Bool RegisterDescription(Int32 id, const String& name) {
    return Host()->registry->register_description(Host(), id, hostapi::View(name.View()),
                                                  HostInterface::Resource());
}
