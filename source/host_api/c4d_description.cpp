#include "c4d_description.h"

#include <cstddef>

#include "host_interface.h"

using hostapi::HostInterface;

namespace {

const HostTable* Host() { return HostInterface::Table(); }

// Data types and creators of 0 stand for "any".
Bool LevelMatches(const DescLevel& a, const DescLevel& b) {
    return a.id == b.id && (a.dtype == 0 || b.dtype == 0 || a.dtype == b.dtype) &&
           (a.creator == 0 || b.creator == 0 || a.creator == b.creator);
}

// The description's restriction to one parameter is handed out by value; all calls come on the main
// thread.
DescID g_single;

}  // namespace

static_assert(sizeof(DescriptionCommand) == sizeof(HostDescriptionCommand));
static_assert(offsetof(DescriptionGetBitmap, _bmp) == offsetof(HostDescriptionGetBitmap, bitmap));

DescID::DescID(const DescLevel& first) : HostDescId{} {
    count = 1;
    levels[0] = HostDescLevel{first.id, first.dtype, first.creator};
}

DescLevel DescID::operator[](Int32 position) const {
    if (position < 0 || position >= count || position >= HOST_DESCID_MAX_LEVELS) {
        return {};
    }
    const HostDescLevel& level = levels[position];
    return {level.id, level.dtype, level.creator};
}

Bool DescID::IsPartOf(const DescID& other) const {
    if (count > other.count) {
        return false;
    }
    for (Int32 i = 0; i < count; ++i) {
        if (!LevelMatches((*this)[i], other[i])) {
            return false;
        }
    }
    return true;
}

Bool operator==(const DescID& a, const DescID& b) {
    return a.GetDepth() == b.GetDepth() && a.IsPartOf(b);
}

Bool Description::LoadDescription(const String& name) {
    return Host()->preferences->description_load(Host(), Handle(), hostapi::View(name.View()));
}

BaseContainer* Description::GetParameterI(const DescID& id) {
    HostContainerRef* ref =
        Host()->preferences->description_get_parameter(Host(), Handle(), &id.Raw());
    return ref != nullptr ? BaseContainer::FromRef(ref) : nullptr;
}

const DescID* Description::GetSingleDescID() {
    HostDescId single{};
    if (!Host()->preferences->description_get_single(Host(), Handle(), &single)) {
        return nullptr;
    }
    g_single = DescID(single);
    return &g_single;
}

BitmapButtonStruct::BitmapButtonStruct(GeListNode* node, const DescID& id, Int32 dirty)
    : data{node, id.Raw(), dirty} {}
