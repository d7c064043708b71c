// The host's container: typed values under 32-bit keys.
//
// A BaseContainer is either a container of the module's own (a local value: constructed here, the
// host container behind it released by the destructor) or a view of a container the host keeps
// (reached through a pointer from GetDataInstance, GetContainerInstance and the like), which the
// module never constructs, copies into or destroys. Both forms share the layout of
// HostContainerRef, which is how the host hands out containers in place.
#pragma once

#include "c4d_gedata.h"
#include "c4d_string.h"
#include "c4d_types.h"
#include "vela_host/host_table.h"

class BaseDocument;
class BaseObject;

// Moving a BaseContainer copies it: a moved-from container must stay a valid container, so
// there is nothing a move could take. Without move operations of its own, rvalues copy.
// NOLINTNEXTLINE(cppcoreguidelines-special-member-functions): moves are copies, as above
class BaseContainer : private HostContainerRef {
public:
    explicit BaseContainer(Int32 id = 0);
    ~BaseContainer();
    BaseContainer(const BaseContainer& other);
    BaseContainer& operator=(const BaseContainer& other);

    Int32 GetId() const;
    void SetId(Int32 id);
    // The type number of the value under `id`; HOST_TYPE_NONE when absent.
    Int32 GetType(Int32 id) const;

    Int32 GetInt32(Int32 id, Int32 preset = 0) const;
    void SetInt32(Int32 id, Int32 value);
    Bool GetBool(Int32 id, Bool preset = false) const;
    void SetBool(Int32 id, Bool value);
    Int64 GetInt64(Int32 id, Int64 preset = 0) const;
    void SetInt64(Int32 id, Int64 value);
    Float GetFloat(Int32 id, Float preset = 0.0) const;
    void SetFloat(Int32 id, Float value);
    String GetString(Int32 id, const String& preset = String()) const;
    void SetString(Int32 id, const String& value);

    // A copy of the value under `id` (empty when absent), and storing a copy of one.
    GeData GetData(Int32 id) const;
    void SetData(Int32 id, const GeData& value);

    // The nested container under `id`, in place; null when absent or of another type.
    BaseContainer* GetContainerInstance(Int32 id);
    // Stores a copy of `value` under `id`.
    void SetContainer(Int32 id, const BaseContainer& value);
    // Removes the value under `id`. False when it was absent.
    Bool RemoveData(Int32 id);

    // The object linked under `id` if it lies in `doc`; null otherwise.
    BaseObject* GetObjectLink(Int32 id, const BaseDocument* doc) const;
    void SetLink(Int32 id, const BaseObject* object);

    // The in-place view of a container the host keeps; the host's slot shares the layout. The
    // slot is a bare HostContainerRef: the view relies on BaseContainer adding no members and no
    // virtual functions to it, which is what the C interface requires of this class.
    static BaseContainer* FromRef(HostContainerRef* ref) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): see above
        return static_cast<BaseContainer*>(ref);
    }
    HostContainer* Handle() const { return container; }
};
