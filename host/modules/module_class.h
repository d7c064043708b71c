// The class tables a module hands over (a command, a preference page, a dialog) begin with the
// size the module filled, so a module built against an older header hands over a shorter table.
// The host calls a member only when the module's table is long enough to hold it and the module
// set it.
#pragma once

#include <cstddef>

// Whether a module's class table, filled by a module that declared `size`, holds `member`.
#define VHOST_CLASS_HAS(klass, type, member)                                                 \
    ((klass) != nullptr && (klass)->size >= offsetof(type, member) + sizeof(type::member) && \
     (klass)->member != nullptr)
