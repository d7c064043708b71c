#include "c4d_baseobject.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostDocumentArea& Area() { return *Host()->documents; }
}  // namespace

Int32 BaseObject::GetType() const { return Area().object_get_type(Host(), Handle()); }

String BaseObject::GetName() const {
    return String(hostapi::ReadText([this](char* buffer, std::size_t capacity) {
        return Area().object_get_name(Host(), Handle(), buffer, capacity);
    }));
}

BaseObject* BaseObject::GetUp() const { return FromHandle(Area().object_get_up(Host(), Handle())); }
BaseObject* BaseObject::GetDown() const {
    return FromHandle(Area().object_get_down(Host(), Handle()));
}
BaseObject* BaseObject::GetNext() const {
    return FromHandle(Area().object_get_next(Host(), Handle()));
}
BaseObject* BaseObject::GetPred() const {
    return FromHandle(Area().object_get_pred(Host(), Handle()));
}
BaseDocument* BaseObject::GetDocument() const {
    return reinterpret_cast<BaseDocument*>(Area().object_get_document(Host(), Handle()));
}

BaseContainer* BaseObject::GetDataInstance() {
    return BaseContainer::FromRef(Area().object_get_data_instance(Host(), Handle()));
}

BaseContainer BaseObject::GetData() { return *GetDataInstance(); }

Bool BaseObject::Message(Int32 type, void* data) {
    return Area().object_message(Host(), Handle(), type, data);
}

Bool BaseObject::GetBit(Int32 mask) const { return Area().object_get_bit(Host(), Handle(), mask); }
void BaseObject::SetBit(Int32 mask) { Area().object_set_bit(Host(), Handle(), mask); }
void BaseObject::DelBit(Int32 mask) { Area().object_del_bit(Host(), Handle(), mask); }

Int32 BaseObject::GetEditorMode() const { return Area().object_get_editor_mode(Host(), Handle()); }
void BaseObject::SetEditorMode(Int32 mode) {
    Area().object_set_editor_mode(Host(), Handle(), mode);
}
Int32 BaseObject::GetRenderMode() const { return Area().object_get_render_mode(Host(), Handle()); }
void BaseObject::SetRenderMode(Int32 mode) {
    Area().object_set_render_mode(Host(), Handle(), mode);
}
Bool BaseObject::GetDeformMode() const { return Area().object_get_enabled(Host(), Handle()); }
void BaseObject::SetDeformMode(Bool enabled) {
    Area().object_set_enabled(Host(), Handle(), enabled);
}
