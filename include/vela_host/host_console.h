/* The host's console: loggers that collect lines for the user. */
#ifndef VELA_HOST_HOST_CONSOLE_H
#define VELA_HOST_HOST_CONSOLE_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The logger every module writes its console lines to. */
#define HOST_LOGGER_DEFAULT "net.maxon.core.logger.default"

/* Audiences and write flags of a line. */
enum { HOST_TARGETAUDIENCE_ALL = 14 };
enum { HOST_WRITEMETA_DEFAULT = 1 };

typedef struct HostConsoleArea {
    size_t size; /* sizeof(HostConsoleArea) of the host that filled it */

    /* The logger with the given id; null when the host has none of that id. Lives as long as the
     * host. */
    HostLogger*(HOST_ABI* find_logger)(const HostTable* host, HostStringView id);
    /* Writes one line. `file` and `line` name the place in the module's source that wrote it. */
    void(HOST_ABI* write)(const HostTable* host, HostLogger* logger, int32_t audience,
                          HostStringView text, int32_t flags, HostStringView file, int32_t line);
} HostConsoleArea;

#ifdef __cplusplus
}
#endif

#endif
