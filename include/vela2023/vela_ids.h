/* The ids under which the Vela Button is known to the host, and the keys of what it stores there.
 *
 * Plain C, valid as C and C++: the module's code, the stand-in host's command line, the tests and
 * the fuzz targets all read the plug-in's ids from here. The parameter ids of the preferences page
 * are part of the plug-in's resource (res/description/Prefsvelaprefs.h), whose page id the module
 * checks against ID_VELAPREFS when it is built. */
#ifndef VELA2023_VELA_IDS_H
#define VELA2023_VELA_IDS_H

#ifdef __cplusplus
extern "C" {
#endif

/* Plug-in ids. */
enum {
    ID_VELA = 1022131,        /* the command; also the id of its records and of its shortcuts */
    ID_VELAPREFS = 1026377,   /* the preferences page */
    ID_VELASETTINGS = 1026378 /* the plug-in's settings sub-container in the preferences */
};

/* Keys of the settings sub-container (ID_VELASETTINGS of the world container). */
enum {
    VELASETTINGS_KEEP_VISIBILITY = 1000 /* Bool: end isolations without restoring */
};

/* Keys of the document record (entry ID_VELA of a document's data container). */
enum {
    VELA_DOC_STATE = 1003,         /* Int32: 1 isolated; -1 while the walk that made it runs */
    VELA_DOC_BEGUN_WITH_ALT = 1004 /* Bool: Alt was held when the isolation began */
};

/* Keys of an object record (entry ID_VELA of an object's data container). */
enum {
    VELA_SAVED_EDITOR_MODE = 1000, /* Int32: editor visibility before the isolation */
    VELA_SAVED_RENDER_MODE = 1001, /* Int32: render visibility before the isolation */
    VELA_SAVED_ENABLED = 1002      /* Bool: enabled state before the isolation */
};

/* Gadgets of the hotkey dialog: what a host or a script addresses when it types into the field. */
enum {
    SCD_GROUP = 100010,  /* the group holding the prompt and the field */
    SCD_PROMPT = 100011, /* the prompt */
    SCD_HOTKEY = 100012  /* the one-line field for the key */
};

#ifdef __cplusplus
}
#endif

#endif
