// A value of any type the host's containers hold.
//
// A GeData is either a value of the module's own (constructed here; the module owns the host value
// behind it) or a view of a value the host passes in place (a parameter being read or written),
// which the module never constructs or destroys. Both forms share the layout of HostValueRef.
#pragma once

#include <cstddef>

#include "c4d_string.h"
#include "c4d_types.h"
#include "vela_host/host_table.h"

// Moving a GeData copies it: a moved-from value must stay a valid value.
class GeData : private HostValueRef {  // NOLINT(cppcoreguidelines-special-member-functions)
public:
    GeData();
    explicit GeData(Int32 number);
    ~GeData();
    GeData(const GeData& other);
    GeData& operator=(const GeData& other);

    // The host type number (HOST_TYPE_*), or the id of a custom data type.
    Int32 GetType() const;
    Bool IsEmpty() const { return GetType() == HOST_TYPE_NONE; }
    void Free();

    Int32 GetInt32() const;
    void SetInt32(Int32 number);
    Float GetFloat() const;
    void SetFloat(Float number);
    String GetString() const;
    void SetString(const String& text);
    // Custom data of a registered type: the record's bytes are copied by the host.
    void SetCustomDataType(Int32 type, const void* record, std::size_t size);

    // The in-place view of a value the host passes; the host's slot shares GeData's layout. The
    // slot is a bare HostValueRef: the view relies on GeData adding no members and no virtual
    // functions to it, which is what the C interface requires of this class.
    static GeData* FromRef(HostValueRef* ref) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): see above
        return static_cast<GeData*>(ref);
    }
    static const GeData* FromRef(const HostValueRef* ref) {
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-static-cast-downcast): see above
        return static_cast<const GeData*>(ref);
    }
    HostValue* Handle() const { return value; }
};
