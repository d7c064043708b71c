/* Bitmaps: images the host makes empty or loads from files (a command's icon, a button's image).
 *
 * A bitmap the module created is the module's until `bitmap_destroy`. The functions are members of
 * the file area (host_files.h). */
#ifndef VELA_HOST_HOST_BITMAPS_H
#define VELA_HOST_HOST_BITMAPS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results of `bitmap_init` and `bitmap_load`. */
enum {
    HOST_IMAGE_OK = 1,
    HOST_IMAGE_NOTEXISTING = -1,
    HOST_IMAGE_WRONGTYPE = 2,
    HOST_IMAGE_NOMEM = 3
};

/* Data entries of a bitmap. */
enum { HOST_BITMAP_PIXELRATIO = 100 /* float: display pixels per image pixel */ };

/* `bitmap_create`: a new empty bitmap that the caller owns until `bitmap_destroy`. */
typedef HostBitmap*(HOST_ABI* HostBitmapCreateFn)(const HostTable* host);

/* `bitmap_destroy`: releases a bitmap the caller owns. */
typedef void(HOST_ABI* HostBitmapDestroyFn)(const HostTable* host, HostBitmap* bitmap);

/* `bitmap_init`: makes the bitmap an empty image (all black) of the given size and depth in
 * bits. */
typedef int32_t(HOST_ABI* HostBitmapInitFn)(const HostTable* host, HostBitmap* bitmap,
                                            int32_t width, int32_t height, int32_t depth,
                                            int32_t flags);

/* `bitmap_load`: replaces the bitmap's image with frame `frame` of the file at `path`.
 * HOST_IMAGE_OK when it loaded; otherwise the bitmap is left as it was. */
typedef int32_t(HOST_ABI* HostBitmapLoadFn)(const HostTable* host, HostBitmap* bitmap,
                                            HostStringView path, int32_t frame);

/* `bitmap_get_width`, `bitmap_get_height`: the image's size in pixels; 0 for an empty bitmap. */
typedef int32_t(HOST_ABI* HostBitmapGetSizeFn)(const HostTable* host, const HostBitmap* bitmap);

/* A float data entry of the bitmap (HOST_BITMAP_*): `bitmap_set_data` stores it,
 * `bitmap_get_data` reads it (`preset` when the bitmap has no such entry). */
typedef bool(HOST_ABI* HostBitmapSetDataFn)(const HostTable* host, HostBitmap* bitmap, int32_t id,
                                            double value);
typedef double(HOST_ABI* HostBitmapGetDataFn)(const HostTable* host, const HostBitmap* bitmap,
                                              int32_t id, double preset);

#ifdef __cplusplus
}
#endif

#endif
