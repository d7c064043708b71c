#include "c4d_basebitmap.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostTable* Host() { return HostInterface::Table(); }
const HostFileArea& Area() { return *Host()->files; }
}  // namespace

BaseBitmap* BaseBitmap::Alloc() {
    return reinterpret_cast<BaseBitmap*>(Area().bitmap_create(Host()));
}

void BaseBitmap::Free(BaseBitmap*& bitmap) {
    if (bitmap != nullptr) {
        Area().bitmap_destroy(Host(), bitmap->Handle());
        bitmap = nullptr;
    }
}

IMAGERESULT BaseBitmap::Init(Int32 x, Int32 y, Int32 depth, INITBITMAPFLAGS flags) {
    return static_cast<IMAGERESULT>(
        Area().bitmap_init(Host(), Handle(), x, y, depth, static_cast<Int32>(flags)));
}

IMAGERESULT BaseBitmap::Init(const Filename& name, Int32 frame) {
    return static_cast<IMAGERESULT>(
        Area().bitmap_load(Host(), Handle(), hostapi::View(name.GetString().View()), frame));
}

Int32 BaseBitmap::GetBw() const { return Area().bitmap_get_width(Host(), Handle()); }
Int32 BaseBitmap::GetBh() const { return Area().bitmap_get_height(Host(), Handle()); }

Bool BaseBitmap::SetData(Int32 id, Float value) {
    return Area().bitmap_set_data(Host(), Handle(), id, value);
}

Float BaseBitmap::GetData(Int32 id, Float preset) const {
    return Area().bitmap_get_data(Host(), Handle(), id, preset);
}
