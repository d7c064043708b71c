// The host's console loggers.
#pragma once

#include "c4d_string.h"
#include "c4d_types.h"

namespace maxon {

enum class TARGETAUDIENCE : Int32 { ALL = HOST_TARGETAUDIENCE_ALL };
enum class WRITEMETA : Int32 { DEFAULT = HOST_WRITEMETA_DEFAULT };

// The place in the module's source that writes a line.
struct SourceLocation {
    const char* file;
    Int32 line;
};

// A logger of the host, found by its id; invalid when the host has none of that id.
class LoggerRef {
public:
    static LoggerRef Find(const String& id);
    Bool IsValid() const { return logger_ != nullptr; }
    // Writes one line. Does nothing on an invalid logger.
    void Write(TARGETAUDIENCE audience, const String& text, const SourceLocation& where,
               WRITEMETA meta) const;

private:
    HostLogger* logger_ = nullptr;
};

}  // namespace maxon
