#include "c4d_basecontainer.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostContainerArea& Area() { return *Host()->containers; }
}  // namespace

BaseContainer::BaseContainer(Int32 id) : HostContainerRef{Area().create(Host(), id)} {}

BaseContainer::~BaseContainer() { Area().destroy(Host(), container); }

BaseContainer::BaseContainer(const BaseContainer& other)
    : HostContainerRef{Area().clone(Host(), other.container)} {}

BaseContainer& BaseContainer::operator=(const BaseContainer& other) {
    if (this != &other) {
        Area().assign(Host(), container, other.container);
    }
    return *this;
}

Int32 BaseContainer::GetId() const { return Area().get_id(Host(), container); }
void BaseContainer::SetId(Int32 id) { Area().set_id(Host(), container, id); }
Int32 BaseContainer::GetType(Int32 id) const { return Area().get_type(Host(), container, id); }

Int32 BaseContainer::GetInt32(Int32 id, Int32 preset) const {
    return Area().get_int32(Host(), container, id, preset);
}
void BaseContainer::SetInt32(Int32 id, Int32 value) {
    Area().set_int32(Host(), container, id, value);
}
Bool BaseContainer::GetBool(Int32 id, Bool preset) const {
    return Area().get_bool(Host(), container, id, preset);
}
void BaseContainer::SetBool(Int32 id, Bool value) { Area().set_bool(Host(), container, id, value); }
Int64 BaseContainer::GetInt64(Int32 id, Int64 preset) const {
    return Area().get_int64(Host(), container, id, preset);
}
void BaseContainer::SetInt64(Int32 id, Int64 value) {
    Area().set_int64(Host(), container, id, value);
}
Float BaseContainer::GetFloat(Int32 id, Float preset) const {
    return Area().get_float(Host(), container, id, preset);
}
void BaseContainer::SetFloat(Int32 id, Float value) {
    Area().set_float(Host(), container, id, value);
}

String BaseContainer::GetString(Int32 id, const String& preset) const {
    return String(hostapi::ReadText([&](char* buffer, std::size_t capacity) {
        return Area().get_string(Host(), container, id, hostapi::View(preset.View()), buffer,
                                 capacity);
    }));
}
void BaseContainer::SetString(Int32 id, const String& value) {
    Area().set_string(Host(), container, id, hostapi::View(value.View()));
}

GeData BaseContainer::GetData(Int32 id) const {
    GeData value;
    Area().get_data(Host(), container, id, value.Handle());
    return value;
}
void BaseContainer::SetData(Int32 id, const GeData& value) {
    Area().set_data(Host(), container, id, value.Handle());
}

BaseContainer* BaseContainer::GetContainerInstance(Int32 id) {
    HostContainerRef* ref = Area().get_container_instance(Host(), container, id);
    return ref != nullptr ? FromRef(ref) : nullptr;
}
void BaseContainer::SetContainer(Int32 id, const BaseContainer& value) {
    Area().set_container(Host(), container, id, value.container);
}
Bool BaseContainer::RemoveData(Int32 id) { return Area().remove_data(Host(), container, id); }

BaseObject* BaseContainer::GetObjectLink(Int32 id, const BaseDocument* doc) const {
    HostObject* object =
        Area().get_object_link(Host(), container, id, reinterpret_cast<const HostDocument*>(doc));
    return reinterpret_cast<BaseObject*>(object);
}
void BaseContainer::SetLink(Int32 id, const BaseObject* object) {
    Area().set_object_link(Host(), container, id, reinterpret_cast<const HostObject*>(object));
}
