// Binding the command to one key under seven qualifier combinations.
#pragma once

#include "host_api/c4d.h"

// Asks the user for a key and binds the command to it with no qualifier, Shift, Ctrl, Alt and
// their pairs, replacing every shortcut the command had; then lists the command's shortcuts in a
// message box. True when the user confirmed a key. When the user cancels, or the dialog cannot
// open, the shortcut table is left exactly as it was, every entry in its place.
Bool AssignVelaHotkey();
