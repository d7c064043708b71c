/* Documents, and the document area of the table.
 *
 * Document handles belong to the host. The document area gathers the functions of a document and
 * of what lies in it: atom arrays, takes, objects, the input state and events. Each subject's
 * header declares its functions as function pointer types, each with its contract; the area lists
 * them in the order of its layout. */
#ifndef VELA_HOST_HOST_DOCUMENTS_H
#define VELA_HOST_HOST_DOCUMENTS_H

#include "host_abi.h"
#include "host_atom_arrays.h"
#include "host_events.h"
#include "host_input.h"
#include "host_objects.h"
#include "host_takes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Flags of `get_active_objects`: none are defined. */
enum { HOST_ACTIVE_OBJECTS_NONE = 0 };

/* `get_active_document`: the document the user works in; null only while the host has no document
 * at all. */
typedef HostDocument*(HOST_ABI* HostGetActiveDocumentFn)(const HostTable* host);

/* `document_get_data_instance`: the document's data container, in place; saved with the scene.
 * Never null. */
typedef HostContainerRef*(HOST_ABI* HostDocumentGetDataInstanceFn)(const HostTable* host,
                                                                   HostDocument* document);

/* `get_first_object`: the first top-level object, or null when the tree is empty. */
typedef HostObject*(HOST_ABI* HostGetFirstObjectFn)(const HostTable* host,
                                                    const HostDocument* document);

/* `get_active_objects`: replaces the contents of `array` with the selected objects in tree order,
 * selected descendants of selected objects included. `flags` is HOST_ACTIVE_OBJECTS_NONE; the host
 * answers the same whatever it holds. */
typedef void(HOST_ABI* HostGetActiveObjectsFn)(const HostTable* host, const HostDocument* document,
                                               HostAtomArray* array, int32_t flags);

typedef struct HostDocumentArea {
    size_t size; /* sizeof(HostDocumentArea) of the host that filled it */

    /* Documents */
    HostGetActiveDocumentFn get_active_document;
    HostDocumentGetDataInstanceFn document_get_data_instance;
    HostGetFirstObjectFn get_first_object;
    HostGetActiveObjectsFn get_active_objects;

    /* Atom arrays (host_atom_arrays.h) */
    HostAtomArrayCreateFn atom_array_create;
    HostAtomArrayDestroyFn atom_array_destroy;
    HostAtomArrayCountFn atom_array_count;
    HostAtomArrayGetFn atom_array_get;

    /* Takes (host_takes.h) */
    HostGetTakeDataFn get_take_data;
    HostGetTakeFn get_current_take;
    HostGetTakeFn get_main_take;
    HostTakeIsMainFn take_is_main;

    /* Objects (host_objects.h) */
    HostObjectGetTypeFn object_get_type;
    HostObjectGetNameFn object_get_name;
    HostObjectTreeLinkFn object_get_up;
    HostObjectTreeLinkFn object_get_down;
    HostObjectTreeLinkFn object_get_next;
    HostObjectTreeLinkFn object_get_pred;
    HostObjectGetDocumentFn object_get_document;
    HostObjectGetDataInstanceFn object_get_data_instance;
    HostObjectMessageFn object_message;
    HostObjectGetBitFn object_get_bit;
    HostObjectChangeBitFn object_set_bit;
    HostObjectChangeBitFn object_del_bit;
    HostObjectGetModeFn object_get_editor_mode;
    HostObjectSetModeFn object_set_editor_mode;
    HostObjectGetModeFn object_get_render_mode;
    HostObjectSetModeFn object_set_render_mode;
    HostObjectGetEnabledFn object_get_enabled;
    HostObjectSetEnabledFn object_set_enabled;

    /* Input (host_input.h) */
    HostGetInputStateFn get_input_state;

    /* Events (host_events.h) */
    HostStopAllThreadsFn stop_all_threads;
    HostEventAddFn event_add;
} HostDocumentArea;

#ifdef __cplusplus
}
#endif

#endif
