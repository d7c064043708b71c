// The host's shortcut table: which key strokes start which command.
//
// Each entry is a container: HOST_SHORTCUT_PLUGINID names the command, HOST_SHORTCUT_ADDRESS the
// manager it is tied to (0 = everywhere), and the strokes follow as qualifier/key pairs under the
// keys 0/1, 10/11, 20/21 and so on, ending at the first pair whose key code is 0. A key code is a
// Unicode code point; qualifiers are the HOST_QUALIFIER_* bits.
//
// A fresh table holds the shortcuts of the host's own commands. With a preferences folder, the
// table is read from `shortcuts.json` there when the host starts and written back, atomically,
// after every change, so a change survives a crash of the host that comes after it. What the table
// meets on the way (a damaged file set aside, a file it may not write) is kept as reports for the
// host to show. The file keeps of each entry its command, address and strokes; other values a
// module put into a record last only as long as the run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/container.h"

namespace vhost {

// A command of the host's own, with a shortcut in the fresh table. These are not registered
// commands: the host runs them itself.
struct BuiltinCommand {
    std::int32_t id;
    std::string_view name;
};

struct KeyStroke {
    std::int32_t qualifiers = 0;
    std::int32_t key = 0;
    bool operator==(const KeyStroke&) const = default;
};

// What a key stroke did to the table (ShortcutTable::Press).
struct KeyMatch {
    enum class Kind {
        None,      // no shortcut starts with the strokes so far
        Pending,   // the strokes so far begin a longer shortcut: the next stroke decides
        Complete,  // a shortcut matched: `command` is to run
    };
    Kind kind = Kind::None;
    std::int32_t index = -1;   // the entry that matched (Complete)
    std::int32_t command = 0;  // its plug-in id (Complete)
};

class ShortcutTable {
public:
    // The name of the file the table is kept in, inside the preferences folder.
    static constexpr std::string_view kFileName = "shortcuts.json";
    static constexpr std::string_view kFormatName = "vela-host-shortcuts";
    static constexpr std::int64_t kFormatVersion = 1;
    // More strokes than this are not read; no keyboard sequence is that long.
    static constexpr std::int32_t kMaxStrokes = 64;

    // A fresh table: the host's own shortcuts, kept in memory only.
    ShortcutTable();

    // The host's own commands and the entries of a fresh table, in table order.
    static const std::vector<BuiltinCommand>& BuiltinCommands();
    static const BuiltinCommand* FindBuiltin(std::int32_t id);  // null for other ids
    static std::vector<Container> FreshEntries();

    std::int32_t Count() const;
    // Entry `index`; null past either end.
    const Container* Get(std::int32_t index) const;
    // Appends a copy of `record`. Refused (false) when it names no command (no non-zero integer
    // under HOST_SHORTCUT_PLUGINID) or has no first stroke (no non-zero key code under 1).
    bool Add(const Container& record);
    // Removes entry `index`; the entries after it move down by one. False past either end.
    bool Remove(std::int32_t index);
    // The indices of the entries bound to command `id`, in table order.
    std::vector<std::int32_t> FindFromId(std::int32_t id) const;

    // A record binding `strokes` to `command`, tied to the manager `address` (0 = everywhere).
    static Container Record(std::int32_t command, std::int32_t address,
                            const std::vector<KeyStroke>& strokes);
    // The strokes of a record: pairs 0/1, 10/11, ... up to the first key code 0.
    static std::vector<KeyStroke> Strokes(const Container& record);
    // A stroke as the host shows it: qualifiers in the order Ctrl, Shift, Alt, then the key, joined
    // with "+", e.g. "Ctrl+Shift+K". Letters show in upper case, other characters as themselves
    // (in UTF-8); the space and control keys by name ("Space", "Tab", "Enter", "Backspace",
    // "Esc", "Delete"); a code that is no character as "#" and its number.
    static std::string StrokeText(KeyStroke stroke);
    // A record as the host shows it: its strokes' texts joined with "~"; empty without strokes.
    static std::string Text(const Container& record);
    // The key code a key name stands for: one character (in UTF-8) gives its code point as it
    // is, so "k" gives 107 and "K" 75; the names of StrokeText give their codes ("Space" 32,
    // "#1" 1). 0 when `name` is neither.
    static std::int32_t KeyFromName(std::string_view name);

    // A key stroke as the keyboard delivers it. Letters match in either case, as on a keyboard: a
    // binding made from "k" fires on K and on k. Shortcuts of several strokes are followed stroke
    // by stroke; among the entries that end with the strokes so far, the first in table order
    // wins, and a complete match beats the beginning of a longer shortcut.
    KeyMatch Press(KeyStroke stroke);
    // What the last Press answered.
    const KeyMatch& LastMatch() const;
    // Forgets strokes that began a longer shortcut.
    void ResetStrokes();

    // The host's own commands that key strokes ran, oldest first.
    void NoteBuiltinRun(std::int32_t id);
    const std::vector<std::int32_t>& BuiltinRuns() const;

    // Persistence. Load reads the table from `folder` (empty: keep it in memory only). A file that
    // cannot be read or is damaged is reported (the file, the line and column, what was
    // expected). A damaged file is set aside as "shortcuts.json.damaged-<time>" and the fresh
    // table is used; a file that cannot be read or set aside, or that a newer host wrote, is left
    // alone, the fresh table is used, and this run does not write the table. A missing file is no
    // report: the fresh table is used and written on the first change.
    void Load(const std::string& folder);
    // Writes the table now; the error text, empty on success or without a folder.
    std::string Save();
    // The file the table is kept in; empty without a folder.
    std::string FilePath() const;
    // Whether changes are written to the folder.
    bool Persistent() const;
    // While saves are held, changes are written when the last hold is released, not at once: the
    // host holds them while a person's action runs, so a run that dies half-way (say, while a
    // dialog asks for a key after the command's shortcuts were taken out) leaves the table on disk
    // as it was before the action. Holds nest.
    void HoldSaves();
    void ReleaseSaves();
    // What Load and the saves after changes had to report since the last call, oldest first.
    std::vector<std::string> TakeReports();

    // The file's text for the present table (shortcuts/shortcut_file.h says what it holds).
    std::string Serialize() const;

private:
    KeyMatch Match(KeyStroke stroke);
    void SaveAfterChange();

    int saveHolds_ = 0;
    bool unsaved_ = false;
    std::vector<Container> entries_;
    std::vector<KeyStroke> pendingStrokes_;
    KeyMatch lastMatch_;
    std::vector<std::int32_t> builtinRuns_;
    std::string folder_;
    bool writable_ = false;
    std::vector<std::string> reports_;
};

}  // namespace vhost
