/* The host's languages, and comparing texts as the host does.
 *
 * The functions are members of the file area (host_files.h). */
#ifndef VELA_HOST_HOST_LANGUAGES_H
#define VELA_HOST_HOST_LANGUAGES_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One of the host's installed languages. */
typedef struct HostLanguage {
    char code[16]; /* e.g. "US", "DE"; terminated */
    char name[64]; /* e.g. "English"; terminated */
    bool is_default;
} HostLanguage;

/* `get_language`: the installed language at `index`; false past the last one. */
typedef bool(HOST_ABI* HostGetLanguageFn)(const HostTable* host, int32_t index,
                                          HostLanguage* language);

/* `string_compare`: compares two texts as the host compares them: 0 when equal, <0 or >0
 * otherwise. */
typedef int32_t(HOST_ABI* HostStringCompareFn)(const HostTable* host, HostStringView a,
                                               HostStringView b);

#ifdef __cplusplus
}
#endif

#endif
