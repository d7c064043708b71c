// The host's basic types and the constants the module uses, under the host's own names.
#pragma once

#include <cstdint>

#include "vela_host/host_table.h"

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using Float = double;
using Bool = bool;
using Utf32Char = char32_t;

// Object bits and visibility modes.
inline constexpr Int32 BIT_ACTIVE = HOST_BIT_ACTIVE;
inline constexpr Int32 MODE_ON = HOST_MODE_ON;
inline constexpr Int32 MODE_OFF = HOST_MODE_OFF;
inline constexpr Int32 MODE_UNDEF = HOST_MODE_UNDEF;

// Object types and parameters.
inline constexpr Int32 Onull = HOST_OBJECT_NULL;
inline constexpr Int32 Opolygon = HOST_OBJECT_POLYGON;
inline constexpr Int32 Oinstance = HOST_OBJECT_INSTANCE;
inline constexpr Int32 INSTANCEOBJECT_LINK = HOST_INSTANCE_LINK;

// Object plug-in info flags.
inline constexpr Int32 OBJECT_GENERATOR = HOST_OBJECT_INFO_GENERATOR;
inline constexpr Int32 OBJECT_INPUT = HOST_OBJECT_INFO_INPUT;

// Command plug-in info flags and states.
inline constexpr Int32 PLUGINFLAG_HIDEPLUGINMENU = HOST_COMMAND_INFO_HIDE_PLUGIN_MENU;
inline constexpr Int32 CMD_ENABLED = HOST_COMMAND_ENABLED;
inline constexpr Int32 CMD_VALUE = HOST_COMMAND_CHECKED;

// Input devices and channels.
inline constexpr Int32 BFM_INPUT_KEYBOARD = HOST_INPUT_DEVICE_KEYBOARD;
inline constexpr Int32 BFM_INPUT_QUALIFIER = HOST_INPUT_CHANNEL_QUALIFIER;

// The interface version the module is built for.
inline constexpr Int32 API_VERSION = HOST_INTERFACE_VERSION;

enum class QUALIFIER : Int32 {
    NONE = 0,
    SHIFT = HOST_QUALIFIER_SHIFT,
    CTRL = HOST_QUALIFIER_CTRL,
    ALT = HOST_QUALIFIER_ALT
};

enum class OBJECTSTATE : Int32 { EDITOR = 0, RENDER = 1, DEFORM = 2 };

enum class GETACTIVEOBJECTFLAGS : Int32 { NONE = HOST_ACTIVE_OBJECTS_NONE };

enum class EVENT : Int32 { NONE = HOST_EVENT_NONE };

enum class PLUGINTYPE : Int32 {
    COMMAND = HOST_PLUGIN_COMMAND,
    OBJECT = HOST_PLUGIN_OBJECT,
    PREFS = HOST_PLUGIN_PREFS
};
