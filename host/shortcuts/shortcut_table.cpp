#include "shortcuts/shortcut_table.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/file_reading.h"
#include "platform/set_aside.h"
#include "platform/utf8_path.h"
#include "text/json_text.h"
#include "text/position_iterator.h"
#include "text/quoting.h"
#include "text/text_position.h"
#include "text/utf8.h"
#include "vela_host/host_documents.h"
#include "vela_host/host_shortcuts.h"

namespace vhost {

namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr std::int32_t kKnownQualifiers =
    HOST_QUALIFIER_SHIFT | HOST_QUALIFIER_CTRL | HOST_QUALIFIER_ALT;
// Stroke n is stored under the keys 10n (qualifiers) and 10n+1 (key code).
constexpr std::int32_t kStrokeKeyStep = 10;
// More strokes than this are not read; no keyboard sequence is that long.
constexpr std::int32_t kMaxStrokes = 64;

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

Container MakeRecord(std::int32_t command, std::int32_t address,
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

// Reading the file --------------------------------------------------------------------------------

// Builds the document and notes where each value starts, by its path ("shortcuts[2].strokes").
class LocatingReader : public nlohmann::json_sax<Json> {
public:
    LocatingReader(std::string_view text, const char* const& cursor)
        : text_(text), cursor_(cursor) {}

    // How many bytes of the text the parser has read.
    std::size_t Consumed() const { return static_cast<std::size_t>(cursor_ - text_.data()); }

    Json root;
    std::unordered_map<std::string, std::size_t> where;
    std::optional<std::size_t> errorAt;
    std::string error;

    bool null() override { return Scalar(Json(nullptr), Token::Word); }
    bool boolean(bool value) override { return Scalar(Json(value), Token::Word); }
    bool number_integer(number_integer_t value) override {
        return Scalar(Json(value), Token::Number);
    }
    bool number_unsigned(number_unsigned_t value) override {
        return Scalar(Json(value), Token::Number);
    }
    bool number_float(number_float_t value, const string_t& /*text*/) override {
        return Scalar(Json(value), Token::Number);
    }
    bool string(string_t& value) override { return Scalar(Json(value), Token::String); }
    bool binary(binary_t& value) override { return Scalar(Json::binary(value), Token::Word); }
    bool start_object(std::size_t /*elements*/) override {
        return Open(Json::object(), Consumed() - 1);
    }
    bool key(string_t& value) override {
        stack_.back().key = value;
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t /*elements*/) override {
        return Open(Json::array(), Consumed() - 1);
    }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t position, const std::string& /*last_token*/,
                     const nlohmann::detail::exception& ex) override {
        errorAt = position > 0 ? position - 1 : 0;
        // The caller gives the place in the host's own form.
        error = JsonReaderProblem(ex.what());
        return false;
    }

private:
    enum class Token { Number, String, Word };
    struct Frame {
        Json* value;
        std::string path;
        std::size_t count = 0;
        std::string key;
    };

    static bool IsNumberChar(char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
    }
    static bool IsWordChar(char c) { return c >= 'a' && c <= 'z'; }

    // Where the scalar just read begins. The reader has read a number one character further
    // than its end.
    std::size_t ScalarStart(Token token) const {
        std::size_t end = std::min(Consumed(), text_.size());
        if (token == Token::Number) {
            while (end > 0 && !IsNumberChar(text_[end - 1])) --end;
            while (end > 0 && IsNumberChar(text_[end - 1])) --end;
            return end;
        }
        if (token == Token::Word) {
            while (end > 0 && IsWordChar(text_[end - 1])) --end;
            return end;
        }
        // A string: back from its closing quote to the opening quote that no backslash escapes.
        std::size_t at = end >= 2 ? end - 2 : 0;
        while (at > 0) {
            if (text_[at] == '"') {
                std::size_t backslashes = 0;
                while (at > backslashes && text_[at - backslashes - 1] == '\\') ++backslashes;
                if (backslashes % 2 == 0) break;
            }
            --at;
        }
        return at;
    }

    // Puts `value` where the document stands and answers it in place.
    Json* Place(Json&& value, std::size_t offset) {
        std::string path;
        Json* placed = nullptr;
        if (stack_.empty()) {
            root = std::move(value);
            placed = &root;
        } else {
            Frame& frame = stack_.back();
            if (frame.value->is_array()) {
                path = frame.path + "[" + std::to_string(frame.count) + "]";
                frame.value->push_back(std::move(value));
                placed = &frame.value->back();
            } else {
                path = frame.path.empty() ? frame.key : frame.path + "." + frame.key;
                placed = &(*frame.value)[frame.key];
                *placed = std::move(value);
            }
            ++frame.count;
        }
        where.emplace(path, offset);
        lastPath_ = std::move(path);
        return placed;
    }

    bool Scalar(Json&& value, Token token) {
        Place(std::move(value), ScalarStart(token));
        return true;
    }
    bool Open(Json&& value, std::size_t offset) {
        Json* placed = Place(std::move(value), offset);
        stack_.push_back(Frame{placed, lastPath_, 0, {}});
        return true;
    }
    bool Close() {
        stack_.pop_back();
        return true;
    }

    std::string_view text_;
    const char* const& cursor_;
    std::vector<Frame> stack_;
    std::string lastPath_;
};

// Why a file was not taken.
struct Damage {
    std::size_t offset = 0;
    std::string message;
};

struct FileContents {
    std::vector<Container> entries;
    std::optional<Damage> damage;
    std::optional<std::int64_t> newerVersion;  // set when a newer host wrote the file
};

class FileReader {
public:
    explicit FileReader(const LocatingReader& reader) : reader_(reader) {}

    FileContents Read() {
        FileContents contents;
        const Json& root = reader_.root;
        if (!root.is_object()) {
            return Fail(contents, "",
                        R"(expected an object with "format", "version" and "shortcuts")");
        }
        const auto format = root.find("format");
        if (format == root.end() || !format->is_string() || *format != kFormatName()) {
            return Fail(contents, format == root.end() ? "" : "format",
                        R"(expected "format": ")" + std::string(kFormatName()) + "\"");
        }
        const auto version = root.find("version");
        if (version == root.end() || !version->is_number_integer() || *version < 1) {
            return Fail(contents, version == root.end() ? "" : "version",
                        "expected \"version\": a whole number from 1");
        }
        if (version->get<std::int64_t>() > ShortcutTable::kFormatVersion) {
            contents.newerVersion = version->get<std::int64_t>();
            return contents;
        }
        const auto shortcuts = root.find("shortcuts");
        if (shortcuts == root.end() || !shortcuts->is_array()) {
            return Fail(contents, shortcuts == root.end() ? "" : "shortcuts",
                        "expected \"shortcuts\": an array of shortcuts");
        }
        for (std::size_t i = 0; i < shortcuts->size(); ++i) {
            const std::string path = "shortcuts[" + std::to_string(i) + "]";
            if (!ReadShortcut((*shortcuts)[i], path, contents)) return contents;
        }
        return contents;
    }

private:
    static std::string_view kFormatName() { return ShortcutTable::kFormatName; }

    static std::optional<std::int32_t> Int32Of(const Json& value) {
        if (!value.is_number_integer()) return std::nullopt;
        const auto number = value.get<std::int64_t>();
        if (value.is_number_unsigned() &&
            value.get<std::uint64_t>() >
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        if (number < std::numeric_limits<std::int32_t>::min() ||
            number > std::numeric_limits<std::int32_t>::max()) {
            return std::nullopt;
        }
        return static_cast<std::int32_t>(number);
    }

    bool ReadShortcut(const Json& shortcut, const std::string& path, FileContents& contents) {
        if (!shortcut.is_object()) {
            Fail(contents, path,
                 "expected a shortcut: an object with \"command\", \"address\" "
                 "and \"strokes\"");
            return false;
        }
        const auto command = shortcut.find("command");
        const std::optional<std::int32_t> id =
            command != shortcut.end() ? Int32Of(*command) : std::nullopt;
        if (!id || *id == 0) {
            Fail(contents, command == shortcut.end() ? path : path + ".command",
                 "expected \"command\": a command id, a 32-bit whole number other than 0");
            return false;
        }
        const auto address = shortcut.find("address");
        const std::optional<std::int32_t> scope =
            address != shortcut.end() ? Int32Of(*address) : std::nullopt;
        if (!scope) {
            Fail(contents, address == shortcut.end() ? path : path + ".address",
                 "expected \"address\": a 32-bit whole number (0 for everywhere)");
            return false;
        }
        const auto strokes = shortcut.find("strokes");
        if (strokes == shortcut.end() || !strokes->is_array() || strokes->empty() ||
            strokes->size() > static_cast<std::size_t>(kMaxStrokes)) {
            Fail(contents, strokes == shortcut.end() ? path : path + ".strokes",
                 "expected \"strokes\": an array of 1 to " + std::to_string(kMaxStrokes) +
                     " strokes");
            return false;
        }
        std::vector<KeyStroke> read;
        for (std::size_t i = 0; i < strokes->size(); ++i) {
            const Json& stroke = (*strokes)[i];
            const std::optional<std::int32_t> qualifiers =
                stroke.is_array() && stroke.size() == 2 ? Int32Of(stroke[0]) : std::nullopt;
            const std::optional<std::int32_t> key =
                stroke.is_array() && stroke.size() == 2 ? Int32Of(stroke[1]) : std::nullopt;
            if (!qualifiers || !key || *key == 0) {
                Fail(contents, path + ".strokes[" + std::to_string(i) + "]",
                     "expected a stroke [qualifiers, key code]: two 32-bit whole numbers, the "
                     "key code not 0");
                return false;
            }
            read.push_back({*qualifiers, *key});
        }
        contents.entries.push_back(MakeRecord(*id, *scope, read));
        return true;
    }

    FileContents& Fail(FileContents& contents, const std::string& path, std::string message) {
        const auto found = reader_.where.find(path);
        contents.damage = Damage{found != reader_.where.end() ? found->second : 0,
                                 (path.empty() ? "" : path + ": ") + std::move(message)};
        contents.entries.clear();
        return contents;
    }

    const LocatingReader& reader_;
};

FileContents ParseFile(std::string_view text) {
    const char* cursor = text.data();
    LocatingReader reader(text, cursor);
    const PositionIterator first(text.data(), &cursor);
    const PositionIterator last(text.data() + text.size(), nullptr);
    FileContents contents;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(first, last, &reader);
    } catch (const std::exception& e) {
        reader.errorAt = reader.Consumed();
        reader.error = JsonReaderProblem(e.what());
    }
    if (!parsed) {
        contents.damage =
            Damage{reader.errorAt.value_or(reader.Consumed()), "not JSON: " + reader.error};
        return contents;
    }
    return FileReader(reader).Read();
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

std::vector<Container> ShortcutTable::FreshEntries() {
    std::vector<Container> entries;
    entries.reserve(kFreshShortcuts.size());
    for (const FreshShortcut& shortcut : kFreshShortcuts) {
        entries.push_back(MakeRecord(shortcut.command, 0, shortcut.strokes));
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
    FileContents contents = ParseFile(text);
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

std::string ShortcutTable::Serialize() const {
    std::string text = "{\n  \"format\": ";
    AppendJsonString(text, kFormatName);
    text += ",\n  \"version\": " + std::to_string(kFormatVersion) + ",\n  \"shortcuts\": [";
    const char* separator = "\n";
    for (const Container& entry : entries_) {
        text += separator;
        separator = ",\n";
        text += "    {\"command\": " + std::to_string(entry.GetInt32(HOST_SHORTCUT_PLUGINID, 0)) +
                ", \"address\": " + std::to_string(entry.GetInt32(HOST_SHORTCUT_ADDRESS, 0)) +
                ", \"strokes\": [";
        const char* strokeSeparator = "";
        for (const KeyStroke& stroke : Strokes(entry)) {
            text += strokeSeparator;
            strokeSeparator = ", ";
            text +=
                "[" + std::to_string(stroke.qualifiers) + ", " + std::to_string(stroke.key) + "]";
        }
        text += "]}";
    }
    text += entries_.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return text;
}

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
