// What an isolating press is expected to do to one object, by the keys held: the command's flags
// for each combination of qualifier keys, and the states of shown, hidden and revealed objects.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {

// Which states a press changes, and whether it adds to a running isolation.
struct Flags {
    bool editor;
    bool render;
    bool enabled;
    bool add;
};

inline constexpr std::array<Flags, 8> kFlagsByMask{{
    {true, false, false, false},  // none
    {true, false, false, true},   // Shift
    {true, true, false, false},   // Ctrl
    {true, true, false, true},    // Shift+Ctrl
    {false, false, true, false},  // Alt
    {false, false, true, true},   // Shift+Alt
    {true, true, true, false},    // Ctrl+Alt
    {true, true, true, true},     // Shift+Ctrl+Alt
}};

inline const Flags& FlagsOf(std::int32_t mask) {
    return kFlagsByMask[static_cast<std::size_t>(mask & 7)];
}

inline std::string MaskName(std::int32_t mask) {
    if (mask == 0) return "NoKeys";
    std::string name;
    if ((mask & kShift) != 0) name += "Shift";
    if ((mask & kCtrl) != 0) name += "Ctrl";
    if ((mask & kAlt) != 0) name += "Alt";
    return name;
}

// A shown object: the states the keys choose are switched on, the others stay.
inline States Shown(const States& before, const Flags& flags) {
    return States{flags.editor ? Mode::On : before.editor, flags.render ? Mode::On : before.render,
                  flags.enabled ? true : before.enabled};
}

// A hidden object: the states the keys choose are switched off, the others stay.
inline States Hidden(const States& before, const Flags& flags) {
    return States{flags.editor ? Mode::Off : before.editor,
                  flags.render ? Mode::Off : before.render, flags.enabled ? false : before.enabled};
}

// An object an isolating walk hid when it passed and then revealed for an instance that refers to
// it. With Shift held the revealing follows the rules of adding, under which an isolation begun
// with Alt held (here: the same press) changes only the enabled state.
inline States RevealedAfterHiding(const States& before, const Flags& flags) {
    const States hidden = Hidden(before, flags);
    const bool beganWithAlt = flags.enabled;
    const bool modesAllowed = !flags.add || !beganWithAlt;
    return States{flags.editor && modesAllowed ? Mode::On : hidden.editor,
                  flags.render && modesAllowed ? Mode::On : hidden.render,
                  flags.enabled ? true : hidden.enabled};
}

}  // namespace velatest
