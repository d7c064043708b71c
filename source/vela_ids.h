// Identifiers under which the plug-in is known to the host, and the keys of what it stores.
#pragma once

#include "host_api/c4d_types.h"

// Plug-in ids.
inline constexpr Int32 ID_VELA = 1022131;          // the command; also the id of its stored records
                                                   // and of its shortcuts
inline constexpr Int32 ID_VELAPREFS = 1026377;     // the preferences page
inline constexpr Int32 ID_VELASETTINGS = 1026378;  // the settings sub-container in the preferences

// Keys of the settings sub-container.
inline constexpr Int32 VELASETTINGS_KEEP_VISIBILITY =
    1000;  // Bool: end isolations without restoring

// Keys of the document record (entry ID_VELA of a document's data container).
enum VelaDocumentRecord : Int32 {
    VELA_DOC_STATE = 1003,          // Int32: 1 isolated; -1 while the walk that made it runs
    VELA_DOC_BEGUN_WITH_ALT = 1004  // Bool: Alt was held when the isolation began
};

// Keys of an object record (entry ID_VELA of an object's data container).
enum VelaObjectRecord : Int32 {
    VELA_SAVED_EDITOR_MODE = 1000,  // Int32: editor visibility before the isolation
    VELA_SAVED_RENDER_MODE = 1001,  // Int32: render visibility before the isolation
    VELA_SAVED_ENABLED = 1002       // Bool: enabled state before the isolation
};

// The message the walk sends to every object it visits.
inline constexpr Int32 MSG_VELA_WALKED = 7;
