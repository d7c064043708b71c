#include "shortcuts/shortcut_table.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/file_reading.h"
#include "platform/set_aside.h"
#include "platform/utf8_path.h"
#include "shortcuts/shortcut_file.h"
#include "text/quoting.h"
#include "text/text_position.h"
#include "text/utf8.h"
#include "vela_host/host_input.h"
#include "vela_host/host_shortcuts.h"

namespace vhost {

namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kKnownQualifiers =
    HOST_QUALIFIER_SHIFT | HOST_QUALIFIER_CTRL | HOST_QUALIFIER_ALT;
// Stroke n is stored under the keys 10n (qualifiers) and 10n+1 (key code).
constexpr std::int32_t kStrokeKeyStep = 10;

// The host's own commands, with ids of the host's own. A command a module registers under one of
// these ids takes its place in key dispatch.
// clang-format off
const std::vector<BuiltinCommand> kBuiltins{
    {12105, "Undo"},
    {12297, "Redo"},
    {200000088, "Move"},
    {200000089, "Scale"},
    {200000090, "Rotate"},
    {200000083, "Live Selection"},
    {12161, "Render View"},
    {12099, "Render to Picture Viewer"},
    {13038, "Frame Selected"},
    {13039, "Frame Scene"},
    {12094, "New Scene"},
    {12095, "Open"},
    {12098, "Save"},
    {12109, "Delete"},
    {12112, "Select All"},
    {12254, "Toggle Grid"},
};
// clang-format on

struct FreshShortcut {
    std::int32_t command;
    std::vector<KeyStroke> strokes;
};

constexpr std::int32_t kCtrl = HOST_QUALIFIER_CTRL;
constexpr std::int32_t kShift = HOST_QUALIFIER_SHIFT;
constexpr std::int32_t kAlt = HOST_QUALIFIER_ALT;

// Commands with two shortcuts have them apart, as a table grown by hand has.
const std::vector<FreshShortcut> kFreshShortcuts{
    {12105, {{kCtrl, 'Z'}}},
    {200000088, {{0, 'E'}}},
    {12161, {{kCtrl, 'R'}}},
    {200000089, {{0, 'T'}}},
    {12297, {{kCtrl, 'Y'}}},
    {200000090, {{0, 'R'}}},
    {13038, {{0, 'S'}}},
    {12105, {{kAlt, 8}}},
    {12099, {{kShift, 'R'}}},
    {12098, {{kCtrl, 'S'}}},
    {12297, {{kCtrl | kShift, 'Z'}}},
    {12095, {{kCtrl, 'O'}}},
    {12094, {{kCtrl, 'N'}}},
    {12112, {{kCtrl, 'A'}}},
    {12109, {{0, 127}}},
    {200000083, {{0, '9'}}},
    {13039, {{0, 'H'}}},
    {12254, {{kCtrl, 'G'}, {0, 'G'}}},
};

std::int32_t FoldCase(std::int32_t key) { return key >= 'a' && key <= 'z' ? key - 'a' + 'A' : key; }

bool SameStroke(KeyStroke pressed, KeyStroke bound) {
    return (pressed.qualifiers & kKnownQualifiers) == (bound.qualifiers & kKnownQualifiers) &&
           FoldCase(pressed.key) == FoldCase(bound.key);
}

struct KeyName {
    std::int32_t key;
    std::string_view name;
};
constexpr KeyName kKeyNames[] = {
    {' ', "Space"}, {'\t', "Tab"}, {'\r', "Enter"}, {8, "Backspace"}, {27, "Esc"}, {127, "Delete"},
};

bool IsCharacter(std::int32_t code) {
    return code >= 0x20 && code <= 0x10FFFF && !(code >= 0x7F && code <= 0x9F) &&
           !(code >= 0xD800 && code <= 0xDFFF);
}

// The code point of `text` when it is exactly one well-formed UTF-8 character; 0 otherwise.
std::int32_t SingleCodePoint(std::string_view text) {
    const Utf8Character character = DecodeUtf8(text);
    return character.length != 0 && character.length == text.size()
               ? static_cast<std::int32_t>(character.code)
               : 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldCase(static_cast<unsigned char>(x)) ==
                      FoldCase(static_cast<unsigned char>(y));
           });
}

}  // namespace

// The table ---------------------------------------------------------------------------------------

ShortcutTable::ShortcutTable() : entries_(FreshEntries()) {}

const std::vector<BuiltinCommand>& ShortcutTable::BuiltinCommands() { return kBuiltins; }

const BuiltinCommand* ShortcutTable::FindBuiltin(std::int32_t id) {
    const auto found = std::find_if(kBuiltins.begin(), kBuiltins.end(),
                                    [id](const BuiltinCommand& c) { return c.id == id; });
    return found != kBuiltins.end() ? &*found : nullptr;
}

Container ShortcutTable::Record(std::int32_t command, std::int32_t address,
                                const std::vector<KeyStroke>& strokes) {
    Container record;
    record.SetInt32(HOST_SHORTCUT_PLUGINID, command);
    record.SetInt32(HOST_SHORTCUT_ADDRESS, address);
    std::int32_t key = 0;
    for (const KeyStroke& stroke : strokes) {
        record.SetInt32(key, stroke.qualifiers);
        record.SetInt32(key + 1, stroke.key);
        key += kStrokeKeyStep;
    }
    return record;
}

std::vector<Container> ShortcutTable::FreshEntries() {
    std::vector<Container> entries;
    entries.reserve(kFreshShortcuts.size());
    for (const FreshShortcut& shortcut : kFreshShortcuts) {
        entries.push_back(Record(shortcut.command, 0, shortcut.strokes));
    }
    return entries;
}

std::int32_t ShortcutTable::Count() const { return static_cast<std::int32_t>(entries_.size()); }

const Container* ShortcutTable::Get(std::int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return &entries_[static_cast<std::size_t>(index)];
}

bool ShortcutTable::Add(const Container& record) {
    if (record.GetInt32(HOST_SHORTCUT_PLUGINID, 0) == 0 || record.GetInt32(1, 0) == 0) {
        return false;
    }
    entries_.push_back(record);
    pendingStrokes_.clear();
    SaveAfterChange();
    return true;
}

bool ShortcutTable::Remove(std::int32_t index) {
    if (index < 0 || index >= Count()) return false;
    entries_.erase(entries_.begin() + index);
    pendingStrokes_.clear();
    SaveAfterChange();
    return true;
}

std::vector<std::int32_t> ShortcutTable::FindFromId(std::int32_t id) const {
    std::vector<std::int32_t> indices;
    for (std::int32_t i = 0; i < Count(); ++i) {
        if (entries_[static_cast<std::size_t>(i)].GetInt32(HOST_SHORTCUT_PLUGINID, 0) == id) {
            indices.push_back(i);
        }
    }
    return indices;
}

std::vector<KeyStroke> ShortcutTable::Strokes(const Container& record) {
    std::vector<KeyStroke> strokes;
    for (std::int32_t n = 0; n < kMaxStrokes; ++n) {
        const std::int32_t key = record.GetInt32(n * kStrokeKeyStep + 1, 0);
        if (key == 0) break;
        strokes.push_back({record.GetInt32(n * kStrokeKeyStep, 0), key});
    }
    return strokes;
}

std::string ShortcutTable::StrokeText(KeyStroke stroke) {
    std::string text;
    if ((stroke.qualifiers & HOST_QUALIFIER_CTRL) != 0) text += "Ctrl+";
    if ((stroke.qualifiers & HOST_QUALIFIER_SHIFT) != 0) text += "Shift+";
    if ((stroke.qualifiers & HOST_QUALIFIER_ALT) != 0) text += "Alt+";
    for (const KeyName& named : kKeyNames) {
        if (named.key == stroke.key) return text + std::string(named.name);
    }
    if (!IsCharacter(stroke.key)) return text + "#" + std::to_string(stroke.key);
    AppendUtf8(text, static_cast<char32_t>(FoldCase(stroke.key)));
    return text;
}

std::string ShortcutTable::Text(const Container& record) {
    std::string text;
    for (const KeyStroke& stroke : Strokes(record)) {
        if (!text.empty()) text += "~";
        text += StrokeText(stroke);
    }
    return text;
}

std::int32_t ShortcutTable::KeyFromName(std::string_view name) {
    for (const KeyName& named : kKeyNames) {
        if (EqualsIgnoringCase(name, named.name)) return named.key;
    }
    if (name.size() > 1 && name[0] == '#') {
        std::int64_t number = 0;
        for (const char c : name.substr(1)) {
            if (c < '0' || c > '9') return 0;
            number = number * 10 + (c - '0');
            if (number > std::numeric_limits<std::int32_t>::max()) return 0;
        }
        return static_cast<std::int32_t>(number);
    }
    return SingleCodePoint(name);
}

// Key strokes -------------------------------------------------------------------------------------

KeyMatch ShortcutTable::Press(KeyStroke stroke) {
    lastMatch_ = Match(stroke);
    return lastMatch_;
}

const KeyMatch& ShortcutTable::LastMatch() const { return lastMatch_; }

KeyMatch ShortcutTable::Match(KeyStroke stroke) {
    std::vector<KeyStroke> sequence = pendingStrokes_;
    sequence.push_back(stroke);
    bool begunLonger = false;
    for (std::int32_t i = 0; i < Count(); ++i) {
        const Container& entry = entries_[static_cast<std::size_t>(i)];
        const std::vector<KeyStroke> bound = Strokes(entry);
        if (bound.size() < sequence.size() ||
            !std::equal(sequence.begin(), sequence.end(), bound.begin(), SameStroke)) {
            continue;
        }
        if (bound.size() == sequence.size()) {
            pendingStrokes_.clear();
            return KeyMatch{KeyMatch::Kind::Complete, i, entry.GetInt32(HOST_SHORTCUT_PLUGINID, 0)};
        }
        begunLonger = true;
    }
    if (begunLonger) {
        pendingStrokes_ = std::move(sequence);
        return KeyMatch{KeyMatch::Kind::Pending};
    }
    // A stroke that does not go on with the strokes before it starts afresh.
    const bool hadPending = !pendingStrokes_.empty();
    pendingStrokes_.clear();
    return hadPending ? Match(stroke) : KeyMatch{};
}

void ShortcutTable::ResetStrokes() { pendingStrokes_.clear(); }

void ShortcutTable::NoteBuiltinRun(std::int32_t id) { builtinRuns_.push_back(id); }

const std::vector<std::int32_t>& ShortcutTable::BuiltinRuns() const { return builtinRuns_; }

// Persistence -------------------------------------------------------------------------------------

std::string ShortcutTable::FilePath() const {
    return folder_.empty() ? std::string() : Utf8FromPath(PathFromUtf8(folder_) / kFileName);
}

bool ShortcutTable::Persistent() const { return !folder_.empty() && writable_; }

void ShortcutTable::Load(const std::string& folder) {
    std::vector<std::string>& reports = reports_;
    entries_ = FreshEntries();
    pendingStrokes_.clear();
    folder_ = folder;
    writable_ = false;
    if (folder.empty()) return;
    const fs::path file = PathFromUtf8(FilePath());
    const std::string shown = FilePath();
    const std::string fresh = "the host starts with its own shortcuts";

    std::string text;
    const FileReading read = ReadWholeFile(file, text);
    if (!read.opened) {
        std::error_code ignored;
        if (!fs::exists(file, ignored) && !fs::is_symlink(file, ignored)) {
            writable_ = true;  // nothing there yet: the first change writes it
            return;
        }
        reports.push_back(shown + ": cannot read the shortcut table: " + ErrnoText(read.error) +
                          "; " + fresh + " and leaves the file as it is");
        return;
    }
    if (read.error != 0) {
        reports.push_back(shown + ": cannot read the shortcut table: it is " +
                          (read.error == EISDIR ? "a folder" : "unreadable") + "; " + fresh +
                          " and leaves it as it is");
        return;
    }
    ShortcutFileContents contents = ReadShortcutFile(text);
    if (contents.newerVersion) {
        reports.push_back(shown + ": the shortcut table was written by a newer host (" +
                          "format version " + std::to_string(*contents.newerVersion) +
                          "; this host reads version " + std::to_string(kFormatVersion) + "); " +
                          fresh + " and leaves the file as it is");
        return;
    }
    if (contents.damage) {
        std::string report = PlaceText(shown, PositionAt(text, contents.damage->offset)) +
                             ": the shortcut table is damaged: " + contents.damage->message + "; ";
        const SetAside aside = SetFileAside(file);
        if (aside.error) {
            report += "it could not be set aside (" + aside.error.message() + "), so " + fresh +
                      " and leaves the file as it is";
        } else {
            report += "it was set aside as " + Quoted(Utf8FromPath(aside.path)) + ", and " + fresh;
            writable_ = true;
        }
        reports.push_back(std::move(report));
        return;
    }
    entries_ = std::move(contents.entries);
    writable_ = true;
}

std::string ShortcutTable::Serialize() const { return ShortcutFileText(entries_); }

std::string ShortcutTable::Save() {
    if (!Persistent()) return {};
    std::error_code error;
    fs::create_directories(PathFromUtf8(folder_), error);
    if (error) {
        return "cannot save the shortcut table to " + Quoted(FilePath()) +
               ": cannot create the folder: " + error.message();
    }
    std::string failed = WriteFileAtomically(PathFromUtf8(FilePath()), Serialize());
    if (!failed.empty())
        failed = "cannot save the shortcut table to " + Quoted(FilePath()) + ": " + failed;
    return failed;
}

void ShortcutTable::SaveAfterChange() {
    if (saveHolds_ > 0) {
        unsaved_ = true;
        return;
    }
    if (std::string error = Save(); !error.empty()) {
        reports_.push_back(std::move(error) + "; the change holds for this run only");
    }
}

void ShortcutTable::HoldSaves() { ++saveHolds_; }

void ShortcutTable::ReleaseSaves() {
    if (saveHolds_ == 0 || --saveHolds_ > 0 || !unsaved_) return;
    unsaved_ = false;
    SaveAfterChange();
}

std::vector<std::string> ShortcutTable::TakeReports() { return std::exchange(reports_, {}); }

}  // namespace vhost
