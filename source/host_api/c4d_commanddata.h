// Command plug-ins, and the registry of the host's plug-ins.
#pragma once

#include "c4d_basebitmap.h"
#include "c4d_basedocument.h"
#include "c4d_string.h"
#include "c4d_types.h"

class GeDialog;

// Base of a command. The host owns the instance from its registration on, calls its operations
// on the main thread, and destroys it through the virtual destructor.
class CommandData {
public:
    CommandData() = default;
    virtual ~CommandData() = default;
    CommandData(const CommandData&) = delete;
    CommandData& operator=(const CommandData&) = delete;

    // The user invoked the command in `doc`. The base does nothing and answers false.
    virtual Bool Execute(BaseDocument* doc, GeDialog* parentManager);
    // How the host draws the command's button in `doc` (CMD_ENABLED, CMD_VALUE). The base answers
    // enabled.
    virtual Int32 GetState(BaseDocument* doc, GeDialog* parentManager);
};

// Registers `dat` as command `id`. The host takes a copy of `icon` (which stays the caller's) and
// owns `dat` from now on, also when the registration fails. A null `dat` fails without asking the
// host.
Bool RegisterCommandPlugin(Int32 id, const String& str, Int32 info, BaseBitmap* icon,
                           const String& help, CommandData* dat);

// A registered plug-in of the host or of a module.
class BasePlugin {
public:
    BasePlugin() = delete;
    BasePlugin(const BasePlugin&) = delete;
    BasePlugin& operator=(const BasePlugin&) = delete;
    ~BasePlugin() = delete;

    Int32 GetInfo() const;
    BaseContainer* GetDataInstance();

    HostPlugin* Handle() { return reinterpret_cast<HostPlugin*>(this); }
    const HostPlugin* Handle() const { return reinterpret_cast<const HostPlugin*>(this); }
};

// The registered plug-in of the given id and type, or null.
BasePlugin* FindPlugin(Int32 id, PLUGINTYPE type);
