// Descriptions: the parameter lists the host draws for a node (here, a preferences page), the
// multi-level ids of their parameters, and the data of the messages about them.
#pragma once

#include "c4d_basebitmap.h"
#include "c4d_basecontainer.h"
#include "c4d_string.h"
#include "c4d_types.h"
#include "vela_host/host_table.h"

// The node a page instance belongs to; the host's handle.
class GeListNode {
public:
    GeListNode() = delete;
    GeListNode(const GeListNode&) = delete;
    GeListNode& operator=(const GeListNode&) = delete;
    ~GeListNode() = delete;
};

struct DescLevel {
    Int32 id = 0;
    Int32 dtype = 0;
    Int32 creator = 0;
};

// A parameter id of up to seven levels. Shares the layout of HostDescId, so message data the host
// passes can be read in place.
class DescID : private HostDescId {
public:
    DescID() : HostDescId{} {}
    explicit DescID(Int32 id) : DescID(DescLevel{id, 0, 0}) {}
    explicit DescID(const DescLevel& first);
    explicit DescID(const HostDescId& raw) : HostDescId(raw) {}

    Int32 GetDepth() const { return count; }
    // The level at `position`; the empty level past the depth.
    DescLevel operator[](Int32 position) const;
    // True when every level of this id matches the corresponding level of `other` (ids compare
    // by id, and by data type and creator where both give one).
    Bool IsPartOf(const DescID& other) const;
    friend Bool operator==(const DescID& a, const DescID& b);

    const HostDescId& Raw() const { return *this; }
};

enum class DESCFLAGS_DESC : Int32 {
    NONE = 0,
    LOADED = HOST_DESCFLAGS_DESC_LOADED,
    NEEDDEFAULTVALUE = HOST_DESCFLAGS_DESC_NEEDDEFAULTVALUE
};
enum class DESCFLAGS_GET : Int32 { NONE = 0, PARAM_GET = HOST_DESCFLAGS_GET_PARAM_GET };
enum class DESCFLAGS_SET : Int32 { NONE = 0, PARAM_SET = HOST_DESCFLAGS_SET_PARAM_SET };
enum class DESCFLAGS_ENABLE : Int32 { NONE = 0 };

// Flag sets combine and test as the host's do.
template <typename T>
inline constexpr bool kIsDescFlagSet = false;
template <>
inline constexpr bool kIsDescFlagSet<DESCFLAGS_DESC> = true;
template <>
inline constexpr bool kIsDescFlagSet<DESCFLAGS_GET> = true;
template <>
inline constexpr bool kIsDescFlagSet<DESCFLAGS_SET> = true;
template <>
inline constexpr bool kIsDescFlagSet<DESCFLAGS_ENABLE> = true;

template <typename Flags>
requires kIsDescFlagSet<Flags>
constexpr Flags operator|(Flags a, Flags b) {
    return static_cast<Flags>(static_cast<Int32>(a) | static_cast<Int32>(b));
}
template <typename Flags>
requires kIsDescFlagSet<Flags>
constexpr Flags operator&(Flags a, Flags b) {
    return static_cast<Flags>(static_cast<Int32>(a) & static_cast<Int32>(b));
}
template <typename Flags>
requires kIsDescFlagSet<Flags>
constexpr Flags& operator|=(Flags& a, Flags b) { return a = a | b; }
// True when any flag is set.
template <typename Flags>
requires kIsDescFlagSet<Flags>
constexpr Bool Any(Flags a) { return static_cast<Int32>(a) != 0; }

inline constexpr Int32 DESC_DEFAULT = HOST_DESC_DEFAULT;
inline constexpr Int32 MSG_DESCRIPTION_COMMAND = HOST_MSG_DESCRIPTION_COMMAND;
inline constexpr Int32 MSG_DESCRIPTION_GETBITMAP = HOST_MSG_DESCRIPTION_GETBITMAP;
inline constexpr Int32 CUSTOMDATATYPE_BITMAPBUTTON = HOST_CUSTOMDATA_BITMAPBUTTON;

// A description the host fills and draws; the host's handle.
class Description {
public:
    Description() = delete;
    Description(const Description&) = delete;
    Description& operator=(const Description&) = delete;
    ~Description() = delete;

    // Loads the registered description of that name. False when there is none.
    Bool LoadDescription(const String& name);
    // The settings of parameter `id`, in place; null when the description has none.
    BaseContainer* GetParameterI(const DescID& id);
    // The one parameter the host asks for, if it asks for one only; null otherwise.
    const DescID* GetSingleDescID();

    HostDescription* Handle() { return reinterpret_cast<HostDescription*>(this); }
};

// Data of MSG_DESCRIPTION_COMMAND: the button that was clicked.
struct DescriptionCommand {
    DescID _descId;
};

// Data of MSG_DESCRIPTION_GETBITMAP: the bitmap button asked about, and the slot for its bitmap,
// which passes to the host.
struct DescriptionGetBitmap {
    DescID _descId;
    BaseBitmap* _bmp = nullptr;
};

// The value of a bitmap button parameter.
struct BitmapButtonStruct {
    BitmapButtonStruct(GeListNode* node, const DescID& id, Int32 dirty);
    HostBitmapButtonData data;
};
