/* Documents, their object trees, takes, and the host's input and event services.
 *
 * Document and object handles belong to the host. An object handle stays valid until the object
 * is deleted; modules never keep one beyond the call they received it in. */
#ifndef VELA_HOST_HOST_DOCUMENTS_H
#define VELA_HOST_HOST_DOCUMENTS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Object bits. */
enum { HOST_BIT_ACTIVE = 2 /* the object is selected */ };

/* Visibility modes of an object in the editor and in the render. */
enum {
    HOST_MODE_ON = 0,   /* visible whatever the parents are */
    HOST_MODE_OFF = 1,  /* hidden whatever the parents are */
    HOST_MODE_UNDEF = 2 /* follows the parent */
};

/* Object types the host knows by number. */
enum {
    HOST_OBJECT_NULL = 5140,
    HOST_OBJECT_POLYGON = 5100,
    HOST_OBJECT_LIGHT = 5102,
    HOST_OBJECT_CAMERA = 5103,
    HOST_OBJECT_INSTANCE = 5126 /* refers to another object, see HOST_INSTANCE_LINK */
};

/* Key under which an instance object's data holds the object it refers to, as a link. */
enum { HOST_INSTANCE_LINK = 1001 };

/* Flags of `get_active_objects`: none are defined. */
enum { HOST_ACTIVE_OBJECTS_NONE = 0 };

/* Flags of `event_add`. */
enum { HOST_EVENT_NONE = 0 };

/* Devices and channels of the input state: four-character codes, as the host writes them. */
enum {
    HOST_INPUT_DEVICE_KEYBOARD = 0x6B657962,  /* 'keyb' */
    HOST_INPUT_CHANNEL_QUALIFIER = 0x69707161 /* 'ipqa'; also the key of the qualifier mask */
};

/* Keyboard qualifier bits, as reported under HOST_INPUT_CHANNEL_QUALIFIER. */
enum { HOST_QUALIFIER_SHIFT = 1, HOST_QUALIFIER_CTRL = 2, HOST_QUALIFIER_ALT = 4 };

typedef struct HostDocumentArea {
    size_t size; /* sizeof(HostDocumentArea) of the host that filled it */

    /* Documents ------------------------------------------------------------------------------- */

    /* The document the user works in; null only while the host has no document at all.
     * [main-thread, any phase from initialised] */
    HostDocument*(HOST_ABI* get_active_document)(const HostTable* host);
    /* The document's data container, in place; saved with the scene. Never null.
     * [main-thread, any phase from initialised] */
    HostContainerRef*(HOST_ABI* document_get_data_instance)(const HostTable* host,
                                                            HostDocument* document);
    /* The first top-level object, or null when the tree is empty.
     * [main-thread, any phase from initialised] */
    HostObject*(HOST_ABI* get_first_object)(const HostTable* host, const HostDocument* document);
    /* Replaces the contents of `array` with the selected objects in tree order, selected
     * descendants of selected objects included. `flags` is HOST_ACTIVE_OBJECTS_NONE; the host
     * answers the same whatever it holds. [main-thread, any phase from initialised] */
    void(HOST_ABI* get_active_objects)(const HostTable* host, const HostDocument* document,
                                       HostAtomArray* array, int32_t flags);

    /* Atom arrays ------------------------------------------------------------------------------ */

    /* A new empty atom array, a counted list of object handles that the caller owns until
     * `atom_array_destroy`. [main-thread, any phase from initialised] */
    HostAtomArray*(HOST_ABI* atom_array_create)(const HostTable* host);
    void(HOST_ABI* atom_array_destroy)(const HostTable* host, HostAtomArray* array);
    /* The number of handles in the array, and the handle at `index` (null past the end).
     * [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* atom_array_count)(const HostTable* host, const HostAtomArray* array);
    HostObject*(HOST_ABI* atom_array_get)(const HostTable* host, const HostAtomArray* array,
                                          int32_t index);

    /* Takes ----------------------------------------------------------------------------------- */

    /* The document's take data; null when the document has none.
     * [main-thread, any phase from initialised] */
    HostTakeData*(HOST_ABI* get_take_data)(const HostTable* host, HostDocument* document);
    /* The take that is current in the document; null when there is none.
     * [main-thread, any phase from initialised] */
    HostTake*(HOST_ABI* get_current_take)(const HostTable* host, const HostTakeData* takes);
    /* The document's main take; null when there is none.
     * [main-thread, any phase from initialised] */
    HostTake*(HOST_ABI* get_main_take)(const HostTable* host, const HostTakeData* takes);
    /* True when `take` is its document's main take. [main-thread, any phase from initialised] */
    bool(HOST_ABI* take_is_main)(const HostTable* host, const HostTake* take);

    /* Objects --------------------------------------------------------------------------------- */

    /* The object's type (HOST_OBJECT_*, or the id of the plug-in that made it).
     * [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* object_get_type)(const HostTable* host, const HostObject* object);
    /* The object's name into the caller's buffer (see host_abi.h).
     * [main-thread, any phase from initialised] */
    size_t(HOST_ABI* object_get_name)(const HostTable* host, const HostObject* object, char* buffer,
                                      size_t capacity);
    /* Tree links; null where there is no such object. [main-thread, any phase from initialised] */
    HostObject*(HOST_ABI* object_get_up)(const HostTable* host, const HostObject* object);
    HostObject*(HOST_ABI* object_get_down)(const HostTable* host, const HostObject* object);
    HostObject*(HOST_ABI* object_get_next)(const HostTable* host, const HostObject* object);
    HostObject*(HOST_ABI* object_get_pred)(const HostTable* host, const HostObject* object);
    /* The document the object lies in; null for an object outside any document.
     * [main-thread, any phase from initialised] */
    HostDocument*(HOST_ABI* object_get_document)(const HostTable* host, const HostObject* object);
    /* The object's data container, in place; saved with the scene. Never null.
     * [main-thread, any phase from initialised] */
    HostContainerRef*(HOST_ABI* object_get_data_instance)(const HostTable* host,
                                                          HostObject* object);

    /* Sends a message to the object. The host answers what the object's type makes of it; the
     * data's layout depends on the message id. [main-thread, any phase from initialised] */
    bool(HOST_ABI* object_message)(const HostTable* host, HostObject* object, int32_t id,
                                   void* data);

    /* The object's bit set (HOST_BIT_*): test, set and clear the bits in `mask`.
     * [main-thread, any phase from initialised] */
    bool(HOST_ABI* object_get_bit)(const HostTable* host, const HostObject* object, int32_t mask);
    void(HOST_ABI* object_set_bit)(const HostTable* host, HostObject* object, int32_t mask);
    void(HOST_ABI* object_del_bit)(const HostTable* host, HostObject* object, int32_t mask);

    /* Editor and render visibility (HOST_MODE_*) and the enabled state. Setting a mode outside
     * HOST_MODE_ON..HOST_MODE_UNDEF is ignored. [main-thread, any phase from initialised] */
    int32_t(HOST_ABI* object_get_editor_mode)(const HostTable* host, const HostObject* object);
    void(HOST_ABI* object_set_editor_mode)(const HostTable* host, HostObject* object, int32_t mode);
    int32_t(HOST_ABI* object_get_render_mode)(const HostTable* host, const HostObject* object);
    void(HOST_ABI* object_set_render_mode)(const HostTable* host, HostObject* object, int32_t mode);
    bool(HOST_ABI* object_get_enabled)(const HostTable* host, const HostObject* object);
    void(HOST_ABI* object_set_enabled)(const HostTable* host, HostObject* object, bool enabled);

    /* Input and events ------------------------------------------------------------------------ */

    /* Fills `result` with the present state of one input channel of a device; for the keyboard's
     * qualifier channel the mask (HOST_QUALIFIER_*) is stored as an int32 under the channel's own
     * code. False when the device or channel is unknown; `result` is then left as it was.
     * [main-thread, any phase from initialised] */
    bool(HOST_ABI* get_input_state)(const HostTable* host, int32_t device, int32_t channel,
                                    HostContainer* result);
    /* Stops the host's background threads (drawing, generators) before a module changes the
     * scene; returns when they have stopped. [main-thread, any phase from initialised] */
    void(HOST_ABI* stop_all_threads)(const HostTable* host);
    /* Tells the host that the scene changed. The host refreshes its views and asks every command
     * for its state once the current call has returned to it.
     * [main-thread, any phase from initialised] */
    void(HOST_ABI* event_add)(const HostTable* host, int32_t flags);
} HostDocumentArea;

#ifdef __cplusplus
}
#endif

#endif
