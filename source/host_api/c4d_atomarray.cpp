#include "c4d_atomarray.h"

#include "c4d_baseobject.h"
#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostDocumentArea& Area() { return *Host()->documents; }
}  // namespace

AtomArray* AtomArray::Alloc() {
    return reinterpret_cast<AtomArray*>(Area().atom_array_create(Host()));
}

void AtomArray::Free(AtomArray*& array) {
    if (array != nullptr) {
        Area().atom_array_destroy(Host(), array->Handle());
        array = nullptr;
    }
}

Int32 AtomArray::GetCount() const { return Area().atom_array_count(Host(), Handle()); }

BaseObject* AtomArray::GetIndex(Int32 index) const {
    return BaseObject::FromHandle(Area().atom_array_get(Host(), Handle(), index));
}
