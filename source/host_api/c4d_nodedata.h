// Nodes the host creates from a module's class: their base, and preference pages.
#pragma once

#include "c4d_basecontainer.h"
#include "c4d_description.h"
#include "c4d_gedata.h"
#include "c4d_string.h"
#include "c4d_types.h"

class BaseData {
public:
    BaseData() = default;
    virtual ~BaseData() = default;
    BaseData(const BaseData&) = delete;
    BaseData& operator=(const BaseData&) = delete;
};

// Base of a node's class. The host creates instances through the class's allocator, owns them,
// and destroys them through the virtual destructor. The base's operations answer what the host
// expects of a node that adds nothing.
class NodeData : public BaseData {
public:
    virtual Bool Init(GeListNode* node);
    virtual Bool Message(GeListNode* node, Int32 type, void* data);
    // Fills the node's description. The base adds nothing and answers false.
    virtual Bool GetDDescription(GeListNode* node, Description* description, DESCFLAGS_DESC& flags);
    // Reads a parameter. The base supplies nothing and answers false; the host then reads its own.
    virtual Bool GetDParameter(GeListNode* node, const DescID& id, GeData& t_data,
                               DESCFLAGS_GET& flags);
    // Takes a parameter. The base takes nothing and answers false; the host then stores it.
    virtual Bool SetDParameter(GeListNode* node, const DescID& id, const GeData& t_data,
                               DESCFLAGS_SET& flags);
    // Whether a parameter is enabled. The base answers true.
    virtual Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& t_data,
                              DESCFLAGS_ENABLE flags, const BaseContainer* itemdesc);
};

// Base of a preferences page.
class PrefsDialogObject : public NodeData {
public:
    // Gives the page's values their defaults. The base does nothing and answers true.
    virtual Bool InitValues(const DescID& id, Description* desc = nullptr);

protected:
    // The value-initialising rule of preference pages, for the value stored under `key` in
    // `settings` and shown as parameter `id`. With a description: unless the description is
    // restricted to another parameter, `defaultValue` becomes the parameter's default (key
    // DESC_DEFAULT of its settings). Without: `defaultValue` is stored under `key` when the key
    // holds nothing or a value of another type; a value of the right type is left alone.
    static void InitPrefsValue(Int32 key, const GeData& defaultValue, Description* desc,
                               const DescID& id, BaseContainer* settings);
};

using DataAllocator = NodeData*();

// Registers `alloc`'s class as a preferences page with the given id and display name. The host
// owns every instance it creates.
Bool RegisterPreferencePlugin(Int32 id, const String& name, DataAllocator* alloc);

// Makes the description `name` of the module's resource available for plug-in `id`.
Bool RegisterDescription(Int32 id, const String& name);
