/* Containers and values: the host's records of typed values keyed by 32-bit ids.
 *
 * Documents, objects, the preferences (the world container), shortcuts and plug-in records each
 * carry one. A key holds exactly one value; reading a key with a typed getter answers the caller's
 * preset when the key is absent or holds a value of another type. Booleans are stored as 32-bit
 * integers (HOST_TYPE_INT32), as the host has always done.
 *
 * A container handle the caller created is the caller's until it hands it to `destroy`; handles
 * reached through a HostContainerRef belong to their owner. */
#ifndef VELA_HOST_HOST_CONTAINERS_H
#define VELA_HOST_HOST_CONTAINERS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Value type numbers, as the host reports them. Custom data types use their registered id
 * (1000000 and above), for instance the bitmap-button data 1001053. */
enum {
    HOST_TYPE_NONE = 0,
    HOST_TYPE_INT64 = 3,
    HOST_TYPE_INT32 = 15,
    HOST_TYPE_FLOAT = 19,
    HOST_TYPE_STRING = 130,
    HOST_TYPE_CONTAINER = 132,
    HOST_TYPE_LINK = 133,
    HOST_TYPE_CUSTOM_FIRST = 1000000
};

typedef struct HostContainerArea {
    size_t size; /* sizeof(HostContainerArea) of the host that filled it */

    /* Containers ------------------------------------------------------------------------------ */

    /* A new empty container with the given id; the caller owns it. Null when out of memory. */
    HostContainer*(HOST_ABI* create)(const HostTable* host, int32_t id);

    /* A deep copy of `source` (nested containers included); the caller owns it. */
    HostContainer*(HOST_ABI* clone)(const HostTable* host, const HostContainer* source);

    /* Releases a container the caller owns. Null is ignored. */
    void(HOST_ABI* destroy)(const HostTable* host, HostContainer* container);

    /* Replaces every value and the id of `target` with a deep copy of `source`. */
    void(HOST_ABI* assign)(const HostTable* host, HostContainer* target,
                           const HostContainer* source);

    /* The container's own id, and setting it. */
    int32_t(HOST_ABI* get_id)(const HostTable* host, const HostContainer* container);
    void(HOST_ABI* set_id)(const HostTable* host, HostContainer* container, int32_t id);

    /* Number of keys held, and the key at an index in the container's own order (insertion
     * order). `key_at` answers false past the end. For listing and saving, not for look-ups. */
    int32_t(HOST_ABI* count)(const HostTable* host, const HostContainer* container);
    bool(HOST_ABI* key_at)(const HostTable* host, const HostContainer* container, int32_t index,
                           int32_t* key);

    /* Type of the value under `key`; HOST_TYPE_NONE when the key is absent. */
    int32_t(HOST_ABI* get_type)(const HostTable* host, const HostContainer* container, int32_t key);

    /* Removes the value under `key`, nested container included. False when it was absent. */
    bool(HOST_ABI* remove_data)(const HostTable* host, HostContainer* container, int32_t key);

    /* Typed access ---------------------------------------------------------------------------- */

    /* The int32 under `key` (the preset when absent or of another type), and storing one. */
    int32_t(HOST_ABI* get_int32)(const HostTable* host, const HostContainer* container, int32_t key,
                                 int32_t preset);
    void(HOST_ABI* set_int32)(const HostTable* host, HostContainer* container, int32_t key,
                              int32_t value);
    /* Reads an HOST_TYPE_INT32 value as a boolean (non-zero is true). */
    bool(HOST_ABI* get_bool)(const HostTable* host, const HostContainer* container, int32_t key,
                             bool preset);
    /* Stores 1 or 0 as HOST_TYPE_INT32. */
    void(HOST_ABI* set_bool)(const HostTable* host, HostContainer* container, int32_t key,
                             bool value);
    /* The same for int64 and float values. */
    int64_t(HOST_ABI* get_int64)(const HostTable* host, const HostContainer* container, int32_t key,
                                 int64_t preset);
    void(HOST_ABI* set_int64)(const HostTable* host, HostContainer* container, int32_t key,
                              int64_t value);
    double(HOST_ABI* get_float)(const HostTable* host, const HostContainer* container, int32_t key,
                                double preset);
    void(HOST_ABI* set_float)(const HostTable* host, HostContainer* container, int32_t key,
                              double value);
    /* Writes the text under `key` into `buffer` (see host_abi.h). A key that is absent or holds no
     * string writes the preset instead. Returns the full size of what was written. */
    size_t(HOST_ABI* get_string)(const HostTable* host, const HostContainer* container, int32_t key,
                                 HostStringView preset, char* buffer, size_t capacity);
    /* Stores a copy of the text under `key`. */
    void(HOST_ABI* set_string)(const HostTable* host, HostContainer* container, int32_t key,
                               HostStringView value);

    /* The nested container under `key`, in place; null when the key is absent or holds another
     * type. The slot stays valid until the key is removed or overwritten or `container` dies. */
    HostContainerRef*(HOST_ABI* get_container_instance)(const HostTable* host,
                                                        HostContainer* container, int32_t key);
    /* Stores a deep copy of `value` under `key`, replacing what was there. */
    void(HOST_ABI* set_container)(const HostTable* host, HostContainer* container, int32_t key,
                                  const HostContainer* value);

    /* The object linked under `key`, if it lies in `document`; null when the key is absent,
     * holds no link, or the linked object was deleted or belongs to another document. */
    HostObject*(HOST_ABI* get_object_link)(const HostTable* host, const HostContainer* container,
                                           int32_t key, const HostDocument* document);
    /* Links `object` under `key`; a null object stores an empty link. */
    void(HOST_ABI* set_object_link)(const HostTable* host, HostContainer* container, int32_t key,
                                    const HostObject* object);

    /* Copies the value under `key` into `value` (which becomes empty when the key is absent).
     * Answers whether the key was present. */
    bool(HOST_ABI* get_data)(const HostTable* host, const HostContainer* container, int32_t key,
                             HostValue* value);
    /* Stores a copy of `value` under `key`; an empty value removes the key. */
    void(HOST_ABI* set_data)(const HostTable* host, HostContainer* container, int32_t key,
                             const HostValue* value);

    /* Values ---------------------------------------------------------------------------------- */
    /* A value object holds one value of any type, or nothing (HOST_TYPE_NONE). */

    /* A new empty value; the caller owns it. Null when out of memory. */
    HostValue*(HOST_ABI* value_create)(const HostTable* host);
    /* Releases a value the caller owns. Null is ignored. */
    void(HOST_ABI* value_destroy)(const HostTable* host, HostValue* value);
    /* Replaces `target` with a copy of `source`. */
    void(HOST_ABI* value_assign)(const HostTable* host, HostValue* target, const HostValue* source);
    /* The type the value holds (HOST_TYPE_*), and emptying it. */
    int32_t(HOST_ABI* value_get_type)(const HostTable* host, const HostValue* value);
    void(HOST_ABI* value_clear)(const HostTable* host, HostValue* value);

    /* Typed reads answer 0, 0.0 or the empty text when the value holds another type; typed writes
     * replace what the value held. */
    int32_t(HOST_ABI* value_get_int32)(const HostTable* host, const HostValue* value);
    void(HOST_ABI* value_set_int32)(const HostTable* host, HostValue* value, int32_t number);
    int64_t(HOST_ABI* value_get_int64)(const HostTable* host, const HostValue* value);
    void(HOST_ABI* value_set_int64)(const HostTable* host, HostValue* value, int64_t number);
    double(HOST_ABI* value_get_float)(const HostTable* host, const HostValue* value);
    void(HOST_ABI* value_set_float)(const HostTable* host, HostValue* value, double number);
    size_t(HOST_ABI* value_get_string)(const HostTable* host, const HostValue* value, char* buffer,
                                       size_t capacity);
    void(HOST_ABI* value_set_string)(const HostTable* host, HostValue* value, HostStringView text);

    /* Custom data: a registered type id and the bytes of its record, copied by the host. The
     * layout of each record is given with the type (see host_preferences.h for the bitmap button).
     * `value_get_custom` copies at most `capacity` bytes and returns the record's size; 0 when
     * the value holds no custom data of that type. */
    void(HOST_ABI* value_set_custom)(const HostTable* host, HostValue* value, int32_t type,
                                     const void* record, size_t size);
    size_t(HOST_ABI* value_get_custom)(const HostTable* host, const HostValue* value, int32_t type,
                                       void* record, size_t capacity);
} HostContainerArea;

#ifdef __cplusplus
}
#endif

#endif
