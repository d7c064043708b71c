/* The host's input state: what the devices report now, the keyboard's qualifier keys among them.
 *
 * The function is a member of the document area (host_documents.h). */
#ifndef VELA_HOST_HOST_INPUT_H
#define VELA_HOST_HOST_INPUT_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Devices and channels of the input state: four-character codes, as the host writes them. */
enum {
    HOST_INPUT_DEVICE_KEYBOARD = 0x6B657962,  /* 'keyb' */
    HOST_INPUT_CHANNEL_QUALIFIER = 0x69707161 /* 'ipqa'; also the key of the qualifier mask */
};

/* Keyboard qualifier bits, as reported under HOST_INPUT_CHANNEL_QUALIFIER. */
enum { HOST_QUALIFIER_SHIFT = 1, HOST_QUALIFIER_CTRL = 2, HOST_QUALIFIER_ALT = 4 };

/* `get_input_state`: fills `result` with the present state of one input channel of a device; for
 * the keyboard's qualifier channel the mask (HOST_QUALIFIER_*) is stored as an int32 under the
 * channel's own code. False when the device or channel is unknown; `result` is then left as it
 * was. */
typedef bool(HOST_ABI* HostGetInputStateFn)(const HostTable* host, int32_t device, int32_t channel,
                                            HostContainer* result);

#ifdef __cplusplus
}
#endif

#endif
