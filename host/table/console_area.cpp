// The host side of the console area: every line written is kept, with where it came from.
#include "host.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

HostLogger* HOST_ABI FindLogger(const HostTable* host, HostStringView id) {
    Logger* logger = Host::FromTable(host).FindLogger(Text(id));
    return logger != nullptr ? logger->Handle() : nullptr;
}

// A line for no logger reaches no one and is dropped.
void HOST_ABI Write(const HostTable* host, HostLogger* logger, std::int32_t audience,
                    HostStringView text, std::int32_t flags, HostStringView file,
                    std::int32_t line) {
    if (logger == nullptr) return;
    Host::FromTable(host).WriteConsole({
        .logger = Logger::FromHandle(logger)->id,
        .audience = audience,
        .flags = flags,
        .text = std::string(Text(text)),
        .file = std::string(Text(file)),
        .line = line,
    });
}

constexpr HostConsoleArea kArea{
    .size = sizeof(HostConsoleArea),
    .find_logger = &FindLogger,
    .write = &Write,
};

}  // namespace

const HostConsoleArea* ConsoleArea() { return &kArea; }

}  // namespace vhost::table
