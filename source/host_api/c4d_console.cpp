#include "c4d_console.h"

#include <cstring>

#include "host_interface.h"

using hostapi::HostInterface;

namespace maxon {

LoggerRef LoggerRef::Find(const String& id) {
    LoggerRef ref;
    const HostTable* host = HostInterface::Table();
    if (host != nullptr && host->console != nullptr) {
        ref.logger_ = host->console->find_logger(host, hostapi::View(id.View()));
    }
    return ref;
}

void LoggerRef::Write(TARGETAUDIENCE audience, const String& text, const SourceLocation& where,
                      WRITEMETA meta) const {
    if (logger_ == nullptr) {
        return;
    }
    const HostTable* host = HostInterface::Table();
    const std::string_view file = where.file != nullptr ? where.file : "";
    host->console->write(host, logger_, static_cast<Int32>(audience), hostapi::View(text.View()),
                         static_cast<Int32>(meta), hostapi::View(file), where.line);
}

}  // namespace maxon
