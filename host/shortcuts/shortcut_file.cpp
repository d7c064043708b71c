#include "shortcuts/shortcut_file.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

#include <nlohmann/json.hpp>

#include "shortcuts/shortcut_table.h"
#include "text/json_text.h"
#include "text/position_iterator.h"
#include "vela_host/host_shortcuts.h"

namespace vhost {

namespace {

using Json = nlohmann::json;

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

class FileReader {
public:
    explicit FileReader(const LocatingReader& reader) : reader_(reader) {}

    ShortcutFileContents Read() {
        ShortcutFileContents contents;
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

    bool ReadShortcut(const Json& shortcut, const std::string& path,
                      ShortcutFileContents& contents) {
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
            strokes->size() > static_cast<std::size_t>(ShortcutTable::kMaxStrokes)) {
            Fail(contents, strokes == shortcut.end() ? path : path + ".strokes",
                 "expected \"strokes\": an array of 1 to " +
                     std::to_string(ShortcutTable::kMaxStrokes) + " strokes");
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
        contents.entries.push_back(ShortcutTable::Record(*id, *scope, read));
        return true;
    }

    ShortcutFileContents& Fail(ShortcutFileContents& contents, const std::string& path,
                               std::string message) {
        const auto found = reader_.where.find(path);
        contents.damage =
            ShortcutFileDamage{found != reader_.where.end() ? found->second : 0,
                               (path.empty() ? "" : path + ": ") + std::move(message)};
        contents.entries.clear();
        return contents;
    }

    const LocatingReader& reader_;
};

}  // namespace

ShortcutFileContents ReadShortcutFile(std::string_view text) {
    const char* cursor = text.data();
    LocatingReader reader(text, cursor);
    const PositionIterator first(text.data(), &cursor);
    const PositionIterator last(text.data() + text.size(), nullptr);
    ShortcutFileContents contents;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(first, last, &reader);
    } catch (const std::exception& e) {
        reader.errorAt = reader.Consumed();
        reader.error = JsonReaderProblem(e.what());
    }
    if (!parsed) {
        contents.damage = ShortcutFileDamage{reader.errorAt.value_or(reader.Consumed()),
                                             "not JSON: " + reader.error};
        return contents;
    }
    return FileReader(reader).Read();
}

std::string ShortcutFileText(const std::vector<Container>& entries) {
    std::string text = "{\n  \"format\": ";
    AppendJsonString(text, ShortcutTable::kFormatName);
    text += ",\n  \"version\": " + std::to_string(ShortcutTable::kFormatVersion) +
            ",\n  \"shortcuts\": [";
    const char* separator = "\n";
    for (const Container& entry : entries) {
        text += separator;
        separator = ",\n";
        text += "    {\"command\": " + std::to_string(entry.GetInt32(HOST_SHORTCUT_PLUGINID, 0)) +
                ", \"address\": " + std::to_string(entry.GetInt32(HOST_SHORTCUT_ADDRESS, 0)) +
                ", \"strokes\": [";
        const char* strokeSeparator = "";
        for (const KeyStroke& stroke : ShortcutTable::Strokes(entry)) {
            text += strokeSeparator;
            strokeSeparator = ", ";
            text +=
                "[" + std::to_string(stroke.qualifiers) + ", " + std::to_string(stroke.key) + "]";
        }
        text += "]}";
    }
    text += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return text;
}

}  // namespace vhost
