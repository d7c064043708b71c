/* Dialogs: windows built from gadgets by a module's layout callbacks, and message boxes.
 *
 * A dialog handle is made by `create` with the module's class table and instance; the module owns
 * the handle and releases it with `destroy`. While a modal dialog is open, the host calls back
 * into the instance on the same thread: `create_layout` and `init_values` when it builds the
 * window, `command` when a gadget is used, `ask_close` when something asks to close the window. */
#ifndef VELA_HOST_HOST_DIALOGS_H
#define VELA_HOST_HOST_DIALOGS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Gadget ids of the standard button row. */
enum { HOST_DLG_OK = 1, HOST_DLG_CANCEL = 2 };
/* Button rows for `add_dlg_group`. */
enum { HOST_DLG_GROUP_OK = 1, HOST_DLG_GROUP_CANCEL = 2 };
/* The message a dialog's `command` callback receives (four-character codes). */
enum {
    HOST_DLG_MSG_ACTION = 0x62616374,   /* 'bact': the container's id: a gadget was used */
    HOST_DLG_MSG_ACTION_ID = 0x62616964 /* 'baid': key of the gadget's id (int32) */
};

typedef struct HostDialogClass {
    size_t size; /* sizeof(HostDialogClass) of the module that filled it */
    /* Builds the window's gadgets with the area's layout calls; false keeps the window shut.
     * [main-thread, within `open_modal`] */
    bool(HOST_ABI* create_layout)(void* instance);
    /* Fills the gadgets of the window just built; false keeps the window shut.
     * [main-thread, within `open_modal`] */
    bool(HOST_ABI* init_values)(void* instance);
    /* Gadget `id` was used (a button pressed, a field left). `message` describes the action: its
     * id is HOST_DLG_MSG_ACTION and it holds the gadget's id under HOST_DLG_MSG_ACTION_ID.
     * [main-thread, within `open_modal`] */
    bool(HOST_ABI* command)(void* instance, int32_t id, const HostContainer* message);
    /* Something asks to close the window (the window's close control, or the module's own
     * `close` with `ask` set). True keeps the window open. [main-thread, within `open_modal`] */
    bool(HOST_ABI* ask_close)(void* instance);
} HostDialogClass;

typedef struct HostDialogArea {
    size_t size; /* sizeof(HostDialogArea) of the host that filled it */

    /* A new dialog bound to the class and instance; null when the host cannot make one. The
     * module owns it until `destroy`. */
    HostDialog*(HOST_ABI* create)(const HostTable* host, const HostDialogClass* klass,
                                  void* instance);
    void(HOST_ABI* destroy)(const HostTable* host, HostDialog* dialog);

    /* Opens the dialog modally at a screen position (width and height 0: the layout's own size)
     * and returns when the window has closed. The window is built anew at each opening. False
     * when the window could not be opened (it is open already, or `create_layout` or
     * `init_values` answered false). */
    bool(HOST_ABI* open_modal)(const HostTable* host, HostDialog* dialog, int32_t x, int32_t y,
                               int32_t width, int32_t height, bool resizable);
    /* Asks the host to close the open window (nothing when it is not open). With `ask`, the host
     * first calls `ask_close` and leaves the window open when it answers true. */
    void(HOST_ABI* close)(const HostTable* host, HostDialog* dialog, bool ask);

    /* Layout calls, valid inside `create_layout` (false elsewhere); each answers whether the
     * gadget was made. [main-thread, within `create_layout`] */
    bool(HOST_ABI* set_title)(const HostTable* host, HostDialog* dialog, HostStringView title);
    bool(HOST_ABI* group_begin)(const HostTable* host, HostDialog* dialog, int32_t id,
                                int32_t flags, int32_t columns, int32_t rows, HostStringView title,
                                int32_t group_flags, int32_t init_width, int32_t init_height);
    bool(HOST_ABI* group_end)(const HostTable* host, HostDialog* dialog);
    bool(HOST_ABI* group_space)(const HostTable* host, HostDialog* dialog, int32_t horizontal,
                                int32_t vertical);
    bool(HOST_ABI* group_border_space)(const HostTable* host, HostDialog* dialog, int32_t left,
                                       int32_t top, int32_t right, int32_t bottom);
    bool(HOST_ABI* add_static_text)(const HostTable* host, HostDialog* dialog, int32_t id,
                                    int32_t flags, int32_t init_width, int32_t init_height,
                                    HostStringView text, int32_t border_style);
    bool(HOST_ABI* add_edit_text)(const HostTable* host, HostDialog* dialog, int32_t id,
                                  int32_t flags, int32_t init_width, int32_t init_height,
                                  int32_t edit_flags);
    bool(HOST_ABI* add_dlg_group)(const HostTable* host, HostDialog* dialog, int32_t buttons);

    /* Gadget values. `get_string` answers false (writing nothing) when the gadget is missing or
     * holds no text; otherwise it stores the text's full size in `size`. */
    bool(HOST_ABI* set_string)(const HostTable* host, HostDialog* dialog, int32_t id,
                               HostStringView text, int32_t tristate, int32_t flags);
    bool(HOST_ABI* get_string)(const HostTable* host, const HostDialog* dialog, int32_t id,
                               char* buffer, size_t capacity, size_t* size);

    /* A modal message box with an OK button and the exclamation icon; returns when the user has
     * dismissed it. */
    void(HOST_ABI* message_dialog)(const HostTable* host, HostStringView text);
} HostDialogArea;

#ifdef __cplusplus
}
#endif

#endif
