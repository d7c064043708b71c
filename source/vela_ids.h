// Identifiers under which the plug-in is known to the host, and the keys of what it stores: the
// ids the host's side reads too live in the public header; what only the module uses lives here.
#pragma once

#include "host_api/c4d_types.h"
#include "vela2023/vela_ids.h"

// The message the walk sends to every object it visits.
inline constexpr Int32 MSG_VELA_WALKED = 7;
