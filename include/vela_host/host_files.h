/* Bitmaps, file names, folders, languages, and handing files and addresses to the system.
 *
 * File names cross as UTF-8 paths in the host platform's own form; the path functions below are
 * the only place that knows the separator. */
#ifndef VELA_HOST_HOST_FILES_H
#define VELA_HOST_HOST_FILES_H

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

/* Folders the host can name. */
enum {
    HOST_FOLDER_STARTUP = 1,     /* the host's installation */
    HOST_FOLDER_CORE_MODULES = 2 /* the host's built-in core modules */
};

/* One of the host's installed languages. */
typedef struct HostLanguage {
    char code[16]; /* e.g. "US", "DE"; terminated */
    char name[64]; /* e.g. "English"; terminated */
    bool is_default;
} HostLanguage;

typedef struct HostFileArea {
    size_t size; /* sizeof(HostFileArea) of the host that filled it */

    /* Bitmaps ---------------------------------------------------------------------------------- */

    /* A new empty bitmap that the caller owns until `bitmap_destroy`.
     * [main-thread, any phase from initialised] */
    HostBitmap*(HOST_ABI* bitmap_create)(const HostTable* host);
    void(HOST_ABI* bitmap_destroy)(const HostTable* host, HostBitmap* bitmap);
    /* Makes the bitmap an empty image (all black) of the given size and depth in bits.
     * [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* bitmap_init)(const HostTable* host, HostBitmap* bitmap, int32_t width,
                                   int32_t height, int32_t depth, int32_t flags);
    /* Replaces the bitmap's image with frame `frame` of the file at `path`. HOST_IMAGE_OK when it
     * loaded; otherwise the bitmap is left as it was. [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* bitmap_load)(const HostTable* host, HostBitmap* bitmap, HostStringView path,
                                   int32_t frame);
    /* The image's size in pixels; 0 for an empty bitmap.
     * [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* bitmap_get_width)(const HostTable* host, const HostBitmap* bitmap);
    int32_t(HOST_ABI* bitmap_get_height)(const HostTable* host, const HostBitmap* bitmap);
    /* A float data entry of the bitmap (HOST_BITMAP_*).
     * [main-thread, any phase from initialised] */
    bool(HOST_ABI* bitmap_set_data)(const HostTable* host, HostBitmap* bitmap, int32_t id,
                                    double value);
    double(HOST_ABI* bitmap_get_data)(const HostTable* host, const HostBitmap* bitmap, int32_t id,
                                      double preset);

    /* Paths: results into the caller's buffer (see host_abi.h). ------------------------------- */
    /* `folder` followed by the separator and `name`; `name` alone when `folder` is empty.
     * [main-thread, any phase from initialised] */
    size_t(HOST_ABI* path_join)(const HostTable* host, HostStringView folder, HostStringView name,
                                char* buffer, size_t capacity);
    /* Everything before the last separator; empty when there is none.
     * [main-thread, any phase from initialised] */
    size_t(HOST_ABI* path_directory)(const HostTable* host, HostStringView path, char* buffer,
                                     size_t capacity);
    /* The part after the last separator. [main-thread, any phase from initialised] */
    size_t(HOST_ABI* path_file_name)(const HostTable* host, HostStringView path, char* buffer,
                                     size_t capacity);
    /* The path without the extension of its last component (from its last '.', if any).
     * [main-thread, any phase from initialised] */
    size_t(HOST_ABI* path_strip_extension)(const HostTable* host, HostStringView path, char* buffer,
                                           size_t capacity);
    /* 0 when both name the same file by the platform's rules; otherwise <0 or >0.
     * [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* path_compare)(const HostTable* host, HostStringView a, HostStringView b);
    /* A folder the host names (HOST_FOLDER_*). [main-thread, any phase from initialised] */
    size_t(HOST_ABI* get_folder)(const HostTable* host, int32_t which, char* buffer,
                                 size_t capacity);

    /* Languages and texts ------------------------------------------------------------------- */
    /* The installed language at `index`; false past the last one.
     * [main-thread, any phase from initialised] */
    bool(HOST_ABI* get_language)(const HostTable* host, int32_t index, HostLanguage* language);
    /* Compares two texts as the host compares them: 0 when equal, <0 or >0 otherwise.
     * [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* string_compare)(const HostTable* host, HostStringView a, HostStringView b);

    /* The system ------------------------------------------------------------------------------ */
    /* Opens the file with the application the system associates with it.
     * [main-thread, any phase from initialised] */
    bool(HOST_ABI* open_file)(const HostTable* host, HostStringView path);
    /* Opens the address in the user's web browser. [main-thread, any phase from initialised] */
    bool(HOST_ABI* open_web_address)(const HostTable* host, HostStringView url);
} HostFileArea;

#ifdef __cplusplus
}
#endif

#endif
