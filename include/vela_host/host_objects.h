/* Objects of a document's tree: their type, name, links, data, bits and visibility.
 *
 * Object handles belong to the host. A handle stays valid until the object is deleted; modules
 * never keep one beyond the call they received it in. The functions are members of the document
 * area (host_documents.h). */
#ifndef VELA_HOST_HOST_OBJECTS_H
#define VELA_HOST_HOST_OBJECTS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Object bits. */
enum { HOST_BIT_ACTIVE = 2 /* the object is selected */ };

/* Visibility modes of an object in the editor and in the render. */
enum {
    HOST_MODE_ON = 0,   /* visible whatever the parents are */
    HOST_MODE_OFF = 1,  /* hidden whatever the parents are */
    HOST_MODE_UNDEF = 2 /* follows the parent */
};

/* Object types the host knows by number. */
enum {
    HOST_OBJECT_NULL = 5140,
    HOST_OBJECT_POLYGON = 5100,
    HOST_OBJECT_LIGHT = 5102,
    HOST_OBJECT_CAMERA = 5103,
    HOST_OBJECT_INSTANCE = 5126 /* refers to another object, see HOST_INSTANCE_LINK */
};

/* Key under which an instance object's data holds the object it refers to, as a link. */
enum { HOST_INSTANCE_LINK = 1001 };

/* `object_get_type`: the object's type (HOST_OBJECT_*, or the id of the plug-in that made it). */
typedef int32_t(HOST_ABI* HostObjectGetTypeFn)(const HostTable* host, const HostObject* object);

/* `object_get_name`: the object's name into the caller's buffer (see host_abi.h). */
typedef size_t(HOST_ABI* HostObjectGetNameFn)(const HostTable* host, const HostObject* object,
                                              char* buffer, size_t capacity);

/* The tree links `object_get_up` (the parent), `object_get_down` (the first child),
 * `object_get_next` and `object_get_pred` (the next and the previous sibling); null where there is
 * no such object. */
typedef HostObject*(HOST_ABI* HostObjectTreeLinkFn)(const HostTable* host,
                                                    const HostObject* object);

/* `object_get_document`: the document the object lies in; null for an object outside any
 * document. */
typedef HostDocument*(HOST_ABI* HostObjectGetDocumentFn)(const HostTable* host,
                                                         const HostObject* object);

/* `object_get_data_instance`: the object's data container, in place; saved with the scene. Never
 * null. */
typedef HostContainerRef*(HOST_ABI* HostObjectGetDataInstanceFn)(const HostTable* host,
                                                                 HostObject* object);

/* `object_message`: sends a message to the object. The host answers what the object's type makes
 * of it; the data's layout depends on the message id. */
typedef bool(HOST_ABI* HostObjectMessageFn)(const HostTable* host, HostObject* object, int32_t id,
                                            void* data);

/* The object's bit set (HOST_BIT_*): `object_get_bit` tests the bits in `mask`, `object_set_bit`
 * sets them and `object_del_bit` clears them. */
typedef bool(HOST_ABI* HostObjectGetBitFn)(const HostTable* host, const HostObject* object,
                                           int32_t mask);
typedef void(HOST_ABI* HostObjectChangeBitFn)(const HostTable* host, HostObject* object,
                                              int32_t mask);

/* Editor and render visibility (HOST_MODE_*): `object_get_editor_mode`, `object_set_editor_mode`,
 * `object_get_render_mode`, `object_set_render_mode`. Setting a mode outside
 * HOST_MODE_ON..HOST_MODE_UNDEF is ignored. */
typedef int32_t(HOST_ABI* HostObjectGetModeFn)(const HostTable* host, const HostObject* object);
typedef void(HOST_ABI* HostObjectSetModeFn)(const HostTable* host, HostObject* object,
                                            int32_t mode);

/* The enabled state: `object_get_enabled`, `object_set_enabled`. */
typedef bool(HOST_ABI* HostObjectGetEnabledFn)(const HostTable* host, const HostObject* object);
typedef void(HOST_ABI* HostObjectSetEnabledFn)(const HostTable* host, HostObject* object,
                                               bool enabled);

#ifdef __cplusplus
}
#endif

#endif
