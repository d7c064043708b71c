/* File names and folders, and the file area of the table.
 *
 * File names cross as UTF-8 paths in the host platform's own form; the path functions below are
 * the only place that knows the separator. Their results are written into the caller's buffer
 * (see host_abi.h).
 *
 * The file area gathers bitmaps, file names and folders, languages, and handing files and
 * addresses to the system. Each subject's header declares its functions as function pointer types,
 * each with its contract; the area lists them in the order of its layout. */
#ifndef VELA_HOST_HOST_FILES_H
#define VELA_HOST_HOST_FILES_H

#include "host_abi.h"
#include "host_bitmaps.h"
#include "host_languages.h"
#include "host_system.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Folders the host can name. */
enum {
    HOST_FOLDER_STARTUP = 1,     /* the host's installation */
    HOST_FOLDER_CORE_MODULES = 2 /* the host's built-in core modules */
};

/* `path_join`: `folder` followed by the separator and `name`; `name` alone when `folder` is
 * empty. */
typedef size_t(HOST_ABI* HostPathJoinFn)(const HostTable* host, HostStringView folder,
                                         HostStringView name, char* buffer, size_t capacity);

/* `path_directory`: everything before the last separator; empty when there is none.
 * `path_file_name`: the part after the last separator.
 * `path_strip_extension`: the path without the extension of its last component (from its last
 * '.', if any). */
typedef size_t(HOST_ABI* HostPathPartFn)(const HostTable* host, HostStringView path, char* buffer,
                                         size_t capacity);

/* `path_compare`: 0 when both name the same file by the platform's rules; otherwise <0 or >0. */
typedef int32_t(HOST_ABI* HostPathCompareFn)(const HostTable* host, HostStringView a,
                                             HostStringView b);

/* `get_folder`: a folder the host names (HOST_FOLDER_*). */
typedef size_t(HOST_ABI* HostGetFolderFn)(const HostTable* host, int32_t which, char* buffer,
                                          size_t capacity);

typedef struct HostFileArea {
    size_t size; /* sizeof(HostFileArea) of the host that filled it */

    /* Bitmaps (host_bitmaps.h) */
    HostBitmapCreateFn bitmap_create;
    HostBitmapDestroyFn bitmap_destroy;
    HostBitmapInitFn bitmap_init;
    HostBitmapLoadFn bitmap_load;
    HostBitmapGetSizeFn bitmap_get_width;
    HostBitmapGetSizeFn bitmap_get_height;
    HostBitmapSetDataFn bitmap_set_data;
    HostBitmapGetDataFn bitmap_get_data;

    /* File names and folders */
    HostPathJoinFn path_join;
    HostPathPartFn path_directory;
    HostPathPartFn path_file_name;
    HostPathPartFn path_strip_extension;
    HostPathCompareFn path_compare;
    HostGetFolderFn get_folder;

    /* Languages and texts (host_languages.h) */
    HostGetLanguageFn get_language;
    HostStringCompareFn string_compare;

    /* The system (host_system.h) */
    HostOpenFileFn open_file;
    HostOpenWebAddressFn open_web_address;
} HostFileArea;

#ifdef __cplusplus
}
#endif

#endif
