// The host's shortcut table.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_string.h"
#include "c4d_types.h"

inline constexpr Int32 SHORTCUT_PLUGINID = HOST_SHORTCUT_PLUGINID;
inline constexpr Int32 SHORTCUT_ADDRESS = HOST_SHORTCUT_ADDRESS;

Int32 GetShortcutCount();
// A copy of entry `index`; an empty container past the end.
BaseContainer GetShortcut(Int32 index);
Bool AddShortcut(const BaseContainer& bc);
Bool RemoveShortcut(Int32 index);
// Writes the indices of plug-in `pluginid`'s shortcuts into `indexarray` (at most
// `maxarrayelements`) and answers how many were written.
Int32 FindShortcutsFromID(Int32 pluginid, Int32* indexarray, Int32 maxarrayelements);
// The text of a shortcut as the host shows it.
String Shortcut2String(const BaseContainer& sc);
