/* Takes: a document's take data, its current take and its main take.
 *
 * Take handles belong to the host. The functions are members of the document area
 * (host_documents.h). */
#ifndef VELA_HOST_HOST_TAKES_H
#define VELA_HOST_HOST_TAKES_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* `get_take_data`: the document's take data; null when the document has none. */
typedef HostTakeData*(HOST_ABI* HostGetTakeDataFn)(const HostTable* host, HostDocument* document);

/* `get_current_take`: the take that is current in the document; null when there is none.
 * `get_main_take`: the document's main take; null when there is none. */
typedef HostTake*(HOST_ABI* HostGetTakeFn)(const HostTable* host, const HostTakeData* takes);

/* `take_is_main`: true when `take` is its document's main take. */
typedef bool(HOST_ABI* HostTakeIsMainFn)(const HostTable* host, const HostTake* take);

#ifdef __cplusplus
}
#endif

#endif
