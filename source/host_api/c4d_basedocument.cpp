#include "c4d_basedocument.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostDocumentArea& Area() { return *Host()->documents; }
}  // namespace

Bool BaseTake::IsMain() const { return Area().take_is_main(Host(), Handle()); }

BaseTake* TakeData::GetCurrentTake() const {
    return reinterpret_cast<BaseTake*>(Area().get_current_take(Host(), Handle()));
}

BaseTake* TakeData::GetMainTake() const {
    return reinterpret_cast<BaseTake*>(Area().get_main_take(Host(), Handle()));
}

BaseContainer* BaseDocument::GetDataInstance() {
    return BaseContainer::FromRef(Area().document_get_data_instance(Host(), Handle()));
}

BaseObject* BaseDocument::GetFirstObject() const {
    return BaseObject::FromHandle(Area().get_first_object(Host(), Handle()));
}

void BaseDocument::GetActiveObjects(AtomArray& selection, GETACTIVEOBJECTFLAGS flags) const {
    Area().get_active_objects(Host(), Handle(), selection.Handle(), static_cast<Int32>(flags));
}

TakeData* BaseDocument::GetTakeData() {
    return reinterpret_cast<TakeData*>(Area().get_take_data(Host(), Handle()));
}
