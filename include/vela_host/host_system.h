/* Handing files and addresses to the system: the applications it associates with them.
 *
 * The functions are members of the file area (host_files.h). */
#ifndef VELA_HOST_HOST_SYSTEM_H
#define VELA_HOST_HOST_SYSTEM_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* `open_file`: opens the file with the application the system associates with it. */
typedef bool(HOST_ABI* HostOpenFileFn)(const HostTable* host, HostStringView path);

/* `open_web_address`: opens the address in the user's web browser. */
typedef bool(HOST_ABI* HostOpenWebAddressFn)(const HostTable* host, HostStringView url);

#ifdef __cplusplus
}
#endif

#endif
