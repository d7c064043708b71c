// The host's bitmaps. A BaseBitmap* is the host's handle; the module frees the bitmaps it made
// with Free unless it handed them over to the host.
#pragma once

#include "c4d_filename.h"
#include "c4d_types.h"

enum class IMAGERESULT : Int32 {
    OK = HOST_IMAGE_OK,
    NOTEXISTING = HOST_IMAGE_NOTEXISTING,
    WRONGTYPE = HOST_IMAGE_WRONGTYPE,
    OUTOFMEMORY = HOST_IMAGE_NOMEM
};

enum class INITBITMAPFLAGS : Int32 { NONE = 0 };

inline constexpr Int32 BASEBITMAP_DATA_GUIPIXELRATIO = HOST_BITMAP_PIXELRATIO;

class BaseBitmap {
public:
    BaseBitmap() = delete;
    BaseBitmap(const BaseBitmap&) = delete;
    BaseBitmap& operator=(const BaseBitmap&) = delete;
    ~BaseBitmap() = delete;

    static BaseBitmap* Alloc();
    static void Free(BaseBitmap*& bitmap);

    // An empty image of the given size and depth.
    IMAGERESULT Init(Int32 x, Int32 y, Int32 depth = 24,
                     INITBITMAPFLAGS flags = INITBITMAPFLAGS::NONE);
    // The image of a file (frame -1: any frame).
    IMAGERESULT Init(const Filename& name, Int32 frame = -1);

    Int32 GetBw() const;
    Int32 GetBh() const;
    Bool SetData(Int32 id, Float value);
    Float GetData(Int32 id, Float preset) const;

    HostBitmap* Handle() { return reinterpret_cast<HostBitmap*>(this); }
    const HostBitmap* Handle() const { return reinterpret_cast<const HostBitmap*>(this); }
};
