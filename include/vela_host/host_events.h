/* Changing the scene: stopping the host's background threads before a change, and the event that
 * tells the host about it afterwards.
 *
 * The functions are members of the document area (host_documents.h). */
#ifndef VELA_HOST_HOST_EVENTS_H
#define VELA_HOST_HOST_EVENTS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Flags of `event_add`. */
enum { HOST_EVENT_NONE = 0 };

/* `stop_all_threads`: stops the host's background threads (drawing, generators) before a module
 * changes the scene; returns when they have stopped. */
typedef void(HOST_ABI* HostStopAllThreadsFn)(const HostTable* host);

/* `event_add`: tells the host that the scene changed. The host refreshes its views and asks every
 * command for its state once the current call has returned to it. */
typedef void(HOST_ABI* HostEventAddFn)(const HostTable* host, int32_t flags);

#ifdef __cplusplus
}
#endif

#endif
