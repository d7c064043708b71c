#include "scene_file/scene_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/object_types.h"
#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "text/json_text.h"
#include "text/position_iterator.h"
#include "text/quoting.h"
#include "text/text_position.h"
#include "text/utf8.h"

namespace vhost {

namespace {

using Json = nlohmann::json;

constexpr std::int32_t kFirstCustomType = HOST_TYPE_CUSTOM_FIRST;
constexpr std::int32_t kNullObjectType = 5140;

const ObjectTypes& KnownTypes() {
    static const ObjectTypes types;
    return types;
}

// Numbers ----------------------------------------------------------------------------------------

template <typename Number>
void AppendNumber(std::string& out, Number value) {
    std::array<char, 32> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), end);
}

template <typename Number>
std::string NumberText(Number value) {
    std::string out;
    AppendNumber(out, value);
    return out;
}

// Floats: the shortest text that reads back as the same number, always with a point or an
// exponent so a reader sees a float; values JSON has no numbers for are strings.
void AppendFloat(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "\"nan\"";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "\"inf\"" : "\"-inf\"";
        return;
    }
    std::size_t start = out.size();
    AppendNumber(out, value);
    if (out.find_first_of(".e", start) == std::string::npos) out += ".0";
}

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendBase64(std::string& out, const std::vector<std::byte>& bytes) {
    std::size_t i = 0;
    auto at = [&bytes](std::size_t k) { return static_cast<unsigned>(bytes[k]); };
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned group = (at(i) << 16U) | (at(i + 1) << 8U) | at(i + 2);
        out += kBase64Alphabet[(group >> 18U) & 63U];
        out += kBase64Alphabet[(group >> 12U) & 63U];
        out += kBase64Alphabet[(group >> 6U) & 63U];
        out += kBase64Alphabet[group & 63U];
    }
    std::size_t rest = bytes.size() - i;
    if (rest == 0) return;
    unsigned group = at(i) << 16U;
    if (rest == 2) group |= at(i + 1) << 8U;
    out += kBase64Alphabet[(group >> 18U) & 63U];
    out += kBase64Alphabet[(group >> 12U) & 63U];
    out += rest == 2 ? kBase64Alphabet[(group >> 6U) & 63U] : '=';
    out += '=';
}

// Strict base64: padded to a multiple of four, no whitespace, unused bits zero. Null otherwise.
std::optional<std::vector<std::byte>> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<std::byte> bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned group = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned digit = 0;
        char c = text[i];
        if (i >= text.size() - padding) {
            digit = 0;  // '=' counts as zero bits
        } else if (const char* found = std::strchr(kBase64Alphabet, c);
                   found != nullptr && c != 0) {
            digit = static_cast<unsigned>(found - kBase64Alphabet);
        } else {
            return std::nullopt;
        }
        group = (group << 6U) | digit;
        if (i % 4 != 3) continue;
        bytes.push_back(static_cast<std::byte>((group >> 16U) & 0xFFU));
        bytes.push_back(static_cast<std::byte>((group >> 8U) & 0xFFU));
        bytes.push_back(static_cast<std::byte>(group & 0xFFU));
        group = 0;
    }
    if (padding > 0) {
        // The bits under the padding must be zero, or two texts would mean the same bytes.
        for (std::size_t k = 0; k < padding; ++k) {
            if (bytes.back() != std::byte{0}) return std::nullopt;
            bytes.pop_back();
        }
    }
    return bytes;
}

// Writing ----------------------------------------------------------------------------------------

// Where the text goes: kept whole for SerializeScene, or passed to a file in large pieces.
class Sink {
public:
    explicit Sink(int fd = -1) : fd_(fd) {}

    std::string& Buffer() { return text_; }

    // Hands what has been collected to the file once enough has piled up.
    void Pass() {
        if (fd_ >= 0 && text_.size() >= kPiece) Flush();
    }

    // Writes what is left; the first failure's errno, 0 when all went well.
    int Flush() {
        if (fd_ < 0) return error_;
        if (error_ == 0) error_ = WriteAll(fd_, text_);
        text_.clear();
        return error_;
    }

    std::string Take() { return std::move(text_); }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 20U;
    int fd_;
    int error_ = 0;
    std::string text_;
};

// The scene cannot be written so that it reads back the same.
struct Refusal {
    std::string message;
};

class SceneWriter {
public:
    explicit SceneWriter(Sink& sink) : sink_(sink), out_(sink.Buffer()) {}

    void Write(const Document& document) {
        out_ += "{\n  \"format\": ";
        AppendJsonString(out_, kSceneFormatName);
        out_ += ",\n  \"version\": ";
        AppendNumber(out_, kSceneFormatVersion);
        out_ += ",\n  \"name\": ";
        Text(document.Name(), "its name");
        out_ += ",\n  \"data\": ";
        WriteContainer(document.Data(), 2, 0);
        out_ += ",\n  \"takes\": ";
        WriteTakes(document.Takes());
        out_ += ",\n  \"objects\": [";
        const char* separator = "\n";
        for (const Object* object = document.FirstObject(); object != nullptr;
             object = NextInTreeOrder(object)) {
            out_ += separator;
            separator = ",\n";
            WriteObject(*object);
            sink_.Pass();
        }
        out_ += document.FirstObject() != nullptr ? "\n  ]\n}\n" : "]\n}\n";
    }

private:
    static const Object* NextInTreeOrder(const Object* object) {
        if (object->Down() != nullptr) return object->Down();
        while (object != nullptr && object->Next() == nullptr) object = object->Up();
        return object != nullptr ? object->Next() : nullptr;
    }

    void WriteTakes(const TakeData* takes) {
        if (takes == nullptr) {
            out_ += "null";
            return;
        }
        out_ += "[";
        const char* separator = "\n    ";
        for (const auto& take : takes->Takes()) {
            out_ += separator;
            separator = ",\n    ";
            out_ += "{\"name\": ";
            Text(take->Name(), "a take's name");
            out_ += take->IsMain() ? ", \"main\": true" : ", \"main\": false";
            out_ += take.get() == takes->CurrentTake() ? ", \"current\": true}"
                                                       : ", \"current\": false}";
        }
        out_ += "\n  ]";
    }

    void WriteObject(const Object& object) {
        object_ = &object;
        out_ += "    {\n      \"id\": ";
        AppendNumber(out_, object.Id());
        out_ += ",\n      \"parent\": ";
        if (object.Up() != nullptr) {
            AppendNumber(out_, object.Up()->Id());
        } else {
            out_ += "null";
        }
        out_ += ",\n      \"type\": ";
        if (const ObjectType* type = KnownTypes().Find(object.Type())) {
            AppendJsonString(out_, type->token);
        } else {
            AppendNumber(out_, object.Type());
        }
        out_ += ",\n      \"name\": ";
        Text(object.Name(), "its name");
        out_ += ",\n      \"editor\": ";
        WriteMode(object.EditorMode(), "editor");
        out_ += ",\n      \"render\": ";
        WriteMode(object.RenderMode(), "render");
        out_ += object.Enabled() ? ",\n      \"enabled\": true" : ",\n      \"enabled\": false";
        out_ += object.Selected() ? ",\n      \"selected\": true" : ",\n      \"selected\": false";
        out_ += ",\n      \"bits\": ";
        AppendNumber(out_, object.Bits() & ~kBitActive);
        out_ += ",\n      \"data\": ";
        WriteContainer(object.Data(), 6, 0);
        out_ += "\n    }";
        object_ = nullptr;
    }

    void WriteMode(Mode mode, const char* which) {
        const char* name = ModeName(mode);
        if (name == nullptr) {
            Refuse(std::string("its ") + which + " mode " +
                   NumberText(static_cast<std::int32_t>(mode)) + " is not a visibility mode");
        }
        AppendJsonString(out_, name);
    }

    // Containers nest at most kSceneMaxContainerNesting deep, so this recursion is bounded.
    void WriteContainer(const Container& container, int indent, int nesting) {
        out_ += "{\"id\": ";
        AppendNumber(out_, container.Id());
        out_ += ", \"entries\": [";
        if (container.Entries().empty()) {
            out_ += "]}";
            return;
        }
        const char* separator = "\n";
        for (const Container::Entry& entry : container.Entries()) {
            out_ += separator;
            separator = ",\n";
            out_.append(static_cast<std::size_t>(indent) + 2, ' ');
            out_ += "{\"key\": ";
            AppendNumber(out_, entry.key);
            out_ += ", ";
            keys_.push_back(entry.key);
            WriteValue(entry.value, indent + 2, nesting);
            keys_.pop_back();
            out_ += '}';
        }
        out_ += '\n';
        out_.append(static_cast<std::size_t>(indent), ' ');
        out_ += "]}";
    }

    void WriteValue(const Value& value, int indent, int nesting) {
        if (const CustomData* custom = value.AsCustom()) {
            if (custom->type < kFirstCustomType) {
                Refuse("custom data type " + NumberText(custom->type) +
                       " is below 1000000, where custom type ids begin");
            }
            out_ += R"("custom": {"type": )";
            AppendNumber(out_, custom->type);
            out_ += R"(, "base64": ")";
            AppendBase64(out_, custom->record);
            out_ += "\"}";
            return;
        }
        switch (static_cast<ValueType>(value.TypeNumber())) {
            case ValueType::None:
                out_ += "\"none\": null";
                return;
            case ValueType::Int32:
                out_ += "\"int32\": ";
                AppendNumber(out_, value.AsInt32());
                return;
            case ValueType::Int64:
                out_ += "\"int64\": ";
                AppendNumber(out_, value.AsInt64());
                return;
            case ValueType::Float:
                out_ += "\"float\": ";
                AppendFloat(out_, value.AsFloat());
                return;
            case ValueType::String:
                out_ += "\"string\": ";
                Text(value.AsString(), "the string");
                return;
            case ValueType::Link:
                out_ += "\"link\": ";
                if (value.AsLink() == 0) {
                    out_ += "null";
                } else {
                    AppendNumber(out_, value.AsLink());
                }
                return;
            case ValueType::Container:
                if (nesting >= kSceneMaxContainerNesting) {
                    Refuse("containers are nested more than " +
                           NumberText(kSceneMaxContainerNesting) + " levels deep");
                }
                out_ += "\"container\": ";
                WriteContainer(*value.AsContainer(), indent, nesting + 1);
                return;
        }
        Refuse("value type " + NumberText(value.TypeNumber()) + " is unknown");
    }

    void Text(std::string_view text, const char* what) {
        if (!IsValidUtf8(text)) Refuse(std::string(what) + " is not valid UTF-8: " + Quoted(text));
        AppendJsonString(out_, text);
    }

    [[noreturn]] void Refuse(const std::string& what) const {
        std::string where;
        if (object_ != nullptr) {
            where = "object " + NumberText(object_->Id()) + " (" + Quoted(object_->Name()) + ")";
        } else {
            where = "the document";
        }
        if (!keys_.empty()) {
            where += ", data key ";
            for (std::size_t i = 0; i < keys_.size(); ++i) {
                if (i > 0) where += " > ";
                AppendNumber(where, keys_[i]);
            }
        }
        throw Refusal{where + ": " + what};
    }

    Sink& sink_;
    std::string& out_;
    const Object* object_ = nullptr;  // whose fields are being written; null: the document's
    std::vector<std::int32_t> keys_;  // container keys leading to the value being written
};

// Reading: values --------------------------------------------------------------------------------

// Where a value lies in the document, as a chain of nodes on the stack of the code reading it;
// turned into text (`objects[12].data.entries[3]`) only for a message.
struct PathNode {
    static constexpr std::size_t kMember = std::numeric_limits<std::size_t>::max();
    const PathNode* parent = nullptr;
    std::string_view member;  // the member's name, when index is kMember
    std::size_t index = kMember;

    PathNode Member(std::string_view name) const { return {this, name, kMember}; }
    PathNode Index(std::size_t i) const { return {this, {}, i}; }

    std::string Text() const {
        std::vector<const PathNode*> chain;
        for (const PathNode* node = this; node != nullptr; node = node->parent)
            chain.push_back(node);
        std::string text;
        std::reverse(chain.begin(), chain.end());
        for (const PathNode* link : chain) {
            const PathNode& node = *link;
            if (node.index != kMember) {
                text += '[';
                AppendNumber(text, node.index);
                text += ']';
            } else if (!node.member.empty()) {
                if (!text.empty()) text += '.';
                text += node.member;
            }
        }
        return text;
    }
};

// A scene that does not say what it must, with the path to the place and, once known, the
// offset in the text of the object or top-level member it lies in.
struct ReadError {
    std::string path;
    std::string message;
    std::optional<std::size_t> offset;
};

[[noreturn]] void Fail(const PathNode& at, std::string message) {
    throw ReadError{at.Text(), std::move(message), std::nullopt};
}

std::string Describe(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::string: {
            const auto& text = value.get_ref<const std::string&>();
            constexpr std::size_t kShown = 40;
            const std::string_view shown = FirstCharacters(text, kShown);
            return shown.size() == text.size() ? Quoted(text) : Quoted(shown) + "...";
        }
        default:
            return value.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

const Json& Require(const Json& object, const PathNode& at, std::string_view name) {
    auto found = object.find(name);
    if (found == object.end()) Fail(at, "missing member \"" + std::string(name) + "\"");
    return *found;
}

void ExpectObject(const Json& value, const PathNode& at, std::string_view expected) {
    if (!value.is_object())
        Fail(at, "expected " + std::string(expected) + ", found " + Describe(value));
}

template <std::size_t N>
std::string UnexpectedMember(std::string_view name, const std::array<std::string_view, N>& known) {
    std::string list;
    for (std::string_view expected : known) {
        if (!list.empty()) list += ", ";
        list += expected;
    }
    return "unexpected member " + Quoted(name) + "; the members here are " + list;
}

template <std::size_t N>
void CheckMembers(const Json& object, const PathNode& at,
                  const std::array<std::string_view, N>& known) {
    for (auto member = object.begin(); member != object.end(); ++member) {
        const std::string& name = member.key();
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            Fail(at, UnexpectedMember(name, known));
        }
    }
}

std::optional<std::int64_t> AsInteger(const Json& value) {
    if (value.is_number_unsigned()) {
        auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(number);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    return std::nullopt;
}

std::int32_t ReadInt32(const Json& value, const PathNode& at) {
    std::optional<std::int64_t> number = AsInteger(value);
    if (!number || *number < std::numeric_limits<std::int32_t>::min() ||
        *number > std::numeric_limits<std::int32_t>::max()) {
        Fail(at, "expected an integer from -2147483648 to 2147483647, found " + Describe(value));
    }
    return static_cast<std::int32_t>(*number);
}

std::int64_t ReadInt64(const Json& value, const PathNode& at) {
    std::optional<std::int64_t> number = AsInteger(value);
    if (!number) {
        Fail(at, "expected an integer from -9223372036854775808 to 9223372036854775807, found " +
                     Describe(value));
    }
    return *number;
}

// The largest object id a file may give. Ids read from a file (links to absent objects included)
// move the process's id counter past them; from this bound on, it counts for 2^63 more objects
// before it could wrap around to 0 (no object) and hand out ids that are taken.
constexpr ObjectId kMaxFileObjectId = 9223372036854775807U;

// An object id; 0 (no object) is given as null where that is allowed.
ObjectId ReadObjectId(const Json& value, const PathNode& at, const char* nullMeaning = nullptr) {
    if (nullMeaning != nullptr && value.is_null()) return 0;
    if (value.is_number_unsigned() && value.get<std::uint64_t>() > 0) {
        if (value.get<std::uint64_t>() > kMaxFileObjectId) {
            Fail(at, "object ids go up to " + std::to_string(kMaxFileObjectId) + ", found " +
                         Describe(value));
        }
        return value.get<std::uint64_t>();
    }
    std::string expected = "expected an object id (an integer above 0)";
    if (nullMeaning != nullptr) expected += std::string(" or null for ") + nullMeaning;
    Fail(at, expected + ", found " + Describe(value));
}

bool ReadBool(const Json& value, const PathNode& at) {
    if (!value.is_boolean()) Fail(at, "expected true or false, found " + Describe(value));
    return value.get<bool>();
}

const std::string& ReadString(const Json& value, const PathNode& at) {
    if (!value.is_string()) Fail(at, "expected a string, found " + Describe(value));
    return value.get_ref<const std::string&>();
}

Mode ReadMode(const Json& value, const PathNode& at) {
    if (value.is_string()) {
        if (std::optional<Mode> mode = ModeFromName(value.get_ref<const std::string&>())) {
            return *mode;
        }
    }
    Fail(at, R"(expected "default", "on" or "off", found )" + Describe(value));
}

std::int32_t ReadObjectType(const Json& value, const PathNode& at) {
    if (value.is_string()) {
        const auto& token = value.get_ref<const std::string&>();
        if (const ObjectType* type = KnownTypes().FindByToken(token)) return type->type;
        std::string names;
        for (const ObjectType& type : KnownTypes().All()) {
            if (!names.empty()) names += ", ";
            names += type.token;
        }
        Fail(at, "unknown object type " + Quoted(token) + "; expected one of " + names +
                     ", or a type number");
    }
    std::optional<std::int64_t> number = AsInteger(value);
    if (!number || *number <= 0 || *number > std::numeric_limits<std::int32_t>::max()) {
        Fail(at,
             "expected an object type name (such as \"null\") or a type number from 1 to "
             "2147483647, found " +
                 Describe(value));
    }
    return static_cast<std::int32_t>(*number);
}

// Containers: read with their links noted, so ids that name no object can be kept free.
class ContainerReader {
public:
    ObjectId HighestLink() const { return highestLink_; }

    // `nesting` is the level of the container: 0 for a data container. Recursion is bounded by
    // kSceneMaxContainerNesting.
    Container Read(const Json& value, const PathNode& at, int nesting) {
        ExpectObject(value, at, R"(a container {"id": ..., "entries": [...]})");
        CheckMembers(value, at, std::array<std::string_view, 2>{"id", "entries"});
        PathNode idAt = at.Member("id");
        Container container(ReadInt32(Require(value, at, "id"), idAt));
        PathNode entriesAt = at.Member("entries");
        const Json& entries = Require(value, at, "entries");
        if (!entries.is_array())
            Fail(entriesAt, "expected an array of entries, found " + Describe(entries));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            PathNode entryAt = entriesAt.Index(i);
            const Json& entry = entries[i];
            ExpectObject(entry, entryAt, R"(an entry such as {"key": 1000, "int32": 1})");
            PathNode keyAt = entryAt.Member("key");
            std::int32_t key = ReadInt32(Require(entry, entryAt, "key"), keyAt);
            if (entry.size() != 2) {
                Fail(entryAt, "expected \"key\" and one value member (" + std::string(kValueNames) +
                                  "), found " + NumberText(entry.size()) + " members");
            }
            auto member = entry.begin();
            if (member.key() == "key") ++member;
            PathNode valueAt = entryAt.Member(member.key());
            Value read = ReadValue(member.key(), member.value(), valueAt, nesting);
            if (container.Has(key)) {
                Fail(keyAt, "key " + NumberText(key) + " appears twice in this container");
            }
            container.Set(key, std::move(read));
        }
        return container;
    }

private:
    static constexpr const char* kValueNames =
        "int32, int64, float, string, link, container, custom or none";

    Value ReadValue(const std::string& type, const Json& value, const PathNode& at, int nesting) {
        if (type == "int32") return Value::Int32(ReadInt32(value, at));
        if (type == "int64") return Value::Int64(ReadInt64(value, at));
        if (type == "float") return Value::Float(ReadFloat(value, at));
        if (type == "string") return Value::String(ReadString(value, at));
        if (type == "link") {
            ObjectId target = ReadObjectId(value, at, "an empty link");
            highestLink_ = std::max(highestLink_, target);
            return Value::Link(target);
        }
        if (type == "container") {
            if (nesting >= kSceneMaxContainerNesting) {
                Fail(at, "containers nest at most " + NumberText(kSceneMaxContainerNesting) +
                             " levels deep");
            }
            return Value::Nested(Read(value, at, nesting + 1));
        }
        if (type == "custom") return Value::Custom(ReadCustom(value, at));
        if (type == "none") {
            if (!value.is_null()) Fail(at, "expected null, found " + Describe(value));
            return Value();
        }
        Fail(at.parent != nullptr ? *at.parent : at,
             "unknown value type " + Quoted(type) + "; expected " + kValueNames);
    }

    static double ReadFloat(const Json& value, const PathNode& at) {
        if (value.is_number()) return value.get<double>();
        if (value.is_string()) {
            const auto& text = value.get_ref<const std::string&>();
            if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
            if (text == "inf") return std::numeric_limits<double>::infinity();
            if (text == "-inf") return -std::numeric_limits<double>::infinity();
        }
        Fail(at, R"(expected a number, "nan", "inf" or "-inf", found )" + Describe(value));
    }

    static CustomData ReadCustom(const Json& value, const PathNode& at) {
        ExpectObject(value, at, R"({"type": ..., "base64": "..."})");
        CheckMembers(value, at, std::array<std::string_view, 2>{"type", "base64"});
        PathNode typeAt = at.Member("type");
        CustomData custom;
        custom.type = ReadInt32(Require(value, at, "type"), typeAt);
        if (custom.type < kFirstCustomType) {
            Fail(typeAt, "expected a custom data type id of 1000000 or above, found " +
                             NumberText(custom.type));
        }
        PathNode bytesAt = at.Member("base64");
        const std::string& text = ReadString(Require(value, at, "base64"), bytesAt);
        std::optional<std::vector<std::byte>> bytes = DecodeBase64(text);
        if (!bytes) {
            Fail(bytesAt,
                 "expected base64 text (A-Z, a-z, 0-9, + and /, padded with = to a "
                 "multiple of four characters), found " +
                     Describe(Require(value, at, "base64")));
        }
        custom.record = std::move(*bytes);
        return custom;
    }

    ObjectId highestLink_ = 0;
};

// One element of "objects", checked, before it is placed in the tree.
struct ObjectRecord {
    std::size_t index = 0;   // in "objects"
    std::size_t offset = 0;  // of its first character in the text
    ObjectId id = 0;
    ObjectId parent = 0;
    std::int32_t type = 0;
    std::string name;
    Mode editor = Mode::Default;
    Mode render = Mode::Default;
    bool enabled = true;
    bool selected = false;
    std::int32_t bits = 0;
    Container data{0};
};

constexpr std::string_view kNotAnObject =
    R"(expected an object {"id": ..., "parent": ..., ...}, found )";

constexpr std::array<std::string_view, 10> kObjectMembers{
    "id", "parent", "type", "name", "editor", "render", "enabled", "selected", "bits", "data"};

// Reads member `field` (an index into kObjectMembers) of the object at `at` into `record`.
void ReadObjectField(ObjectRecord& record, std::size_t field, const Json& value, const PathNode& at,
                     ContainerReader& containers) {
    PathNode fieldAt = at.Member(kObjectMembers[field]);
    switch (field) {
        case 0:
            record.id = ReadObjectId(value, fieldAt);
            return;
        case 1:
            record.parent = ReadObjectId(value, fieldAt, "an object at the top level");
            return;
        case 2:
            record.type = ReadObjectType(value, fieldAt);
            return;
        case 3:
            record.name = ReadString(value, fieldAt);
            return;
        case 4:
            record.editor = ReadMode(value, fieldAt);
            return;
        case 5:
            record.render = ReadMode(value, fieldAt);
            return;
        case 6:
            record.enabled = ReadBool(value, fieldAt);
            return;
        case 7:
            record.selected = ReadBool(value, fieldAt);
            return;
        case 8:
            record.bits = ReadInt32(value, fieldAt);
            if ((record.bits & kBitActive) != 0) {
                Fail(fieldAt,
                     "bit " + NumberText(kBitActive) +
                         " is the selection, which is given as \"selected\"; expected bits "
                         "without it");
            }
            return;
        default:
            record.data = containers.Read(value, fieldAt, 0);
            return;
    }
}

void ReadTakes(const Json& value, const PathNode& at, Document& document) {
    if (value.is_null()) {
        document.RemoveTakeData();
        return;
    }
    if (!value.is_array() || value.empty()) {
        Fail(at,
             "expected an array of takes that begins with the main take, or null for a "
             "document without takes, found " +
                 Describe(value));
    }
    document.EnsureTakeData();
    TakeData& takes = *document.Takes();
    Take* current = nullptr;
    std::size_t currentIndex = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        PathNode takeAt = at.Index(i);
        const Json& entry = value[i];
        ExpectObject(entry, takeAt, R"(a take {"name": ..., "main": ..., "current": ...})");
        CheckMembers(entry, takeAt, std::array<std::string_view, 3>{"name", "main", "current"});
        PathNode nameAt = takeAt.Member("name");
        PathNode mainAt = takeAt.Member("main");
        PathNode currentAt = takeAt.Member("current");
        const std::string& name = ReadString(Require(entry, takeAt, "name"), nameAt);
        bool isMain = ReadBool(Require(entry, takeAt, "main"), mainAt);
        bool isCurrent = ReadBool(Require(entry, takeAt, "current"), currentAt);
        Take* take = nullptr;
        if (i == 0) {
            if (!isMain) Fail(mainAt, "the first take is the main take; expected true");
            take = takes.MainTake();
            // The host names its main take itself; takes cannot be renamed.
            if (name != take->Name()) {
                Fail(nameAt,
                     "the main take is named " + Quoted(take->Name()) + ", found " + Quoted(name));
            }
        } else {
            if (isMain) Fail(mainAt, "only the first take is the main take; expected false");
            take = takes.AddTake(name);
        }
        if (isCurrent) {
            if (current != nullptr) {
                Fail(currentAt, "takes[" + NumberText(currentIndex) +
                                    "] is the current take already; at most one take is current");
            }
            current = take;
            currentIndex = i;
        }
    }
    takes.SetCurrent(current);
}

void CheckHeader(const Json& root, const PathNode& top) {
    if (const auto format = root.find("format"); format != root.end()) {
        if (!format->is_string() || format->get_ref<const std::string&>() != kSceneFormatName) {
            Fail(top.Member("format"), "expected " + Quoted(kSceneFormatName) +
                                           " (a scene of this host), found " + Describe(*format));
        }
    }
    if (const auto version = root.find("version"); version != root.end()) {
        std::optional<std::int64_t> number = AsInteger(*version);
        if (!number)
            Fail(top.Member("version"), "expected a version number, found " + Describe(*version));
        if (*number != kSceneFormatVersion) {
            Fail(top.Member("version"),
                 "this host reads version " + NumberText(kSceneFormatVersion) +
                     " of the scene format, found version " + NumberText(*number) +
                     (*number > kSceneFormatVersion ? " (written by a newer host?)" : ""));
        }
    }
}

// Reading: the text ------------------------------------------------------------------------------

constexpr std::array<std::string_view, 6> kRootMembers{"format", "version", "name",
                                                       "data",   "takes",   "objects"};

// Reads a scene from the parser's events. The top level is built as JSON values (whose depth is
// limited). The elements of "objects" are not: each member of an object is read as it arrives
// (its data container as a small JSON value), and the object is placed in the document as soon
// as it is complete. A scene of a million objects never exists as a million JSON values.
class SceneReader {
public:
    SceneReader(std::string_view text, std::string_view source)
        : text_(text),
          source_(source),
          cursor_(text.data()),
          document_(std::make_unique<Document>()) {}

    SceneLoadResult Run() {
        SceneLoadResult result;
        try {
            PositionIterator first(text_.data(), &cursor_);
            PositionIterator last(text_.data() + text_.size(), &cursor_);
            if (!Json::sax_parse(first, last, this)) {
                result.error = error_.empty() ? source_ + ": the scene could not be read" : error_;
                return result;
            }
            Finish();
            result.document = std::move(document_);
        } catch (const ReadError& error) {
            result.error = Message(error);
        } catch (const std::bad_alloc&) {
            result.error = source_ + ": not enough memory to read the scene";
        } catch (const std::exception& error) {
            result.error = source_ + ": " + Printable(error.what());
        }
        return result;
    }

    // The parser's events ------------------------------------------------------------------------

    bool null() { return Scalar(Json(nullptr)); }
    bool boolean(bool value) { return Scalar(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return Scalar(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return Scalar(Json(value)); }
    bool number_float(Json::number_float_t value, const std::string& /*text*/) {
        return Scalar(Json(value));
    }
    bool string(std::string& value) { return Scalar(Json(std::move(value))); }
    bool binary(Json::binary_t& /*value*/) { return Syntax(Offset(), "unexpected binary value"); }

    bool start_object(std::size_t /*elements*/) {
        if (!Enter()) return false;
        if (stack_.empty()) {
            root_ = Json::object();
            stack_.push_back(&root_);
            return true;
        }
        if (stack_.back() == objectsArray_) {
            BeginElement(Offset() - 1);
            stack_.push_back(&elementMarker_);
            return true;
        }
        stack_.push_back(Store(Json::object()));
        return true;
    }

    bool key(std::string& name) {
        Json* object = stack_.back();
        if (object == &elementMarker_) return ElementKey(name);
        if (object->contains(name)) return Syntax(Offset() - 1, "duplicate member " + Quoted(name));
        if (stack_.size() == 1) {
            rootMemberOffsets_[name] = Offset() - 1;
            rootMember_ = name;
        }
        member_ = &(*object)[name];
        return true;
    }

    bool end_object() { return Leave(); }

    bool start_array(std::size_t /*elements*/) {
        if (!Enter()) return false;
        if (stack_.empty())
            return Syntax(Offset() - 1, "expected a scene (a JSON object), found an array");
        bool isObjects = stack_.size() == 1 && rootMember_ == "objects";
        if (stack_.back() == objectsArray_) {
            BeginElement(Offset() - 1);
            return RefuseElement(
                {elementAt_.Text(), std::string(kNotAnObject) + "an array", std::nullopt});
        }
        stack_.push_back(Store(Json::array()));
        if (isObjects) {
            objectsArray_ = stack_.back();
            // The header decides how the rest is read, so it comes before the objects.
            try {
                for (const char* name : {"format", "version"}) {
                    if (!root_.contains(name)) {
                        Fail(PathNode{}, "missing member \"" + std::string(name) +
                                             R"(" (the header comes before "objects"))");
                    }
                }
                CheckHeader(root_, PathNode{});
            } catch (ReadError& error) {
                error.offset = RootMemberOffset(error.path);
                error_ = Message(error);
                return false;
            }
        }
        return true;
    }

    bool end_array() { return Leave(); }

    bool parse_error(std::size_t position, const std::string& /*lastToken*/,
                     const Json::exception& error) {
        // The place is given in the same form as in every other message, not the parser's.
        // `position` counts the characters read, the offending one included.
        return Syntax(position > 0 ? position - 1 : 0,
                      "invalid JSON: " + JsonReaderProblem(error.what()));
    }

private:
    std::size_t Offset() const { return static_cast<std::size_t>(cursor_ - text_.data()); }

    std::string Message(const ReadError& error) const {
        std::string text = source_;
        if (error.offset) {
            text += ':';
            AppendNumber(text, PositionAt(text_, *error.offset).line);
        }
        text += ": ";
        if (!error.path.empty()) text += error.path + ": ";
        return text + error.message;
    }

    bool Syntax(std::size_t offset, const std::string& message) {
        error_ = PlaceText(source_, PositionAt(text_, offset)) + ": " + message;
        return false;
    }

    std::optional<std::size_t> RootMemberOffset(const std::string& path) const {
        std::string name = path.substr(0, path.find_first_of(".["));
        auto found = rootMemberOffsets_.find(name);
        if (found == rootMemberOffsets_.end()) return std::nullopt;
        return found->second;
    }

    bool Enter() {
        if (++depth_ > kSceneMaxJsonDepth) {
            return Syntax(Offset() - 1, "nested deeper than " + NumberText(kSceneMaxJsonDepth) +
                                            " levels; scene files nest containers at most " +
                                            NumberText(kSceneMaxContainerNesting) + " deep");
        }
        return true;
    }

    bool Leave() {
        --depth_;
        Json* closed = stack_.back();
        stack_.pop_back();
        if (closed == &elementMarker_) return FinishElement();
        if (!stack_.empty() && stack_.back() == &elementMarker_) return ElementValue(*closed);
        return true;
    }

    bool Scalar(Json&& value) {
        if (stack_.empty()) {
            return Syntax(Offset() > 0 ? Offset() - 1 : 0,
                          "expected a scene (a JSON object), found " + Describe(value));
        }
        if (stack_.back() == &elementMarker_) return ElementValue(value);
        if (stack_.back() == objectsArray_) {
            BeginElement(Offset() > 0 ? Offset() - 1 : 0);
            return RefuseElement(
                {elementAt_.Text(), std::string(kNotAnObject) + Describe(value), std::nullopt});
        }
        Store(std::move(value));
        return true;
    }

    // Puts `value` where the parser is: the next element of the open array, or the value of
    // the last key. A member of an element of "objects" is kept apart.
    Json* Store(Json&& value) {
        Json* parent = stack_.back();
        if (parent == &elementMarker_) {
            memberValue_ = std::move(value);
            return &memberValue_;
        }
        if (parent->is_array()) {
            parent->push_back(std::move(value));
            return &parent->back();
        }
        *member_ = std::move(value);
        return member_;
    }

    // Elements of "objects" ----------------------------------------------------------------------

    void BeginElement(std::size_t offset) {
        record_ = ObjectRecord{};
        record_.index = elementCount_++;
        record_.offset = offset;
        elementAt_ = PathNode{&objectsAt_, {}, record_.index};
        membersSeen_ = 0;
    }

    // Refuses the scene for `error`, placed at the current element unless it has a place.
    bool RefuseElement(ReadError&& error) {
        if (!error.offset) error.offset = record_.offset;
        error_ = Message(error);
        return false;
    }

    bool ElementKey(const std::string& name) {
        const auto* known = std::find(kObjectMembers.begin(), kObjectMembers.end(), name);
        if (known == kObjectMembers.end()) {
            return RefuseElement(
                {elementAt_.Text(), UnexpectedMember(name, kObjectMembers), std::nullopt});
        }
        memberIndex_ = static_cast<std::size_t>(known - kObjectMembers.begin());
        std::uint32_t bit = 1U << memberIndex_;
        if ((membersSeen_ & bit) != 0)
            return Syntax(Offset() - 1, "duplicate member " + Quoted(name));
        membersSeen_ |= bit;
        return true;
    }

    // The value of the current member of the current element is complete.
    bool ElementValue(const Json& value) {
        try {
            ReadObjectField(record_, memberIndex_, value, elementAt_, containers_);
        } catch (ReadError& error) {
            return RefuseElement(std::move(error));
        }
        memberValue_ = Json();
        return true;
    }

    bool FinishElement() {
        try {
            for (std::size_t i = 0; i < kObjectMembers.size(); ++i) {
                if ((membersSeen_ & (1U << i)) == 0) {
                    Fail(elementAt_, "missing member \"" + std::string(kObjectMembers[i]) + "\"");
                }
            }
            Place(std::move(record_));
        } catch (ReadError& error) {
            return RefuseElement(std::move(error));
        }
        return true;
    }

    // Objects ------------------------------------------------------------------------------------

    // Puts the object under its parent, or keeps it until its parent has been placed.
    void Place(ObjectRecord&& record) {
        PathNode objectsAt{nullptr, "objects", PathNode::kMember};
        if (document_->FindById(record.id) != nullptr || waitingIds_.contains(record.id)) {
            Fail(objectsAt.Index(record.index).Member("id"),
                 "id " + NumberText(record.id) + " is used by an earlier object; ids are unique");
        }
        Object* parent = nullptr;
        if (record.parent != 0) {
            parent = document_->FindById(record.parent);
            if (parent == nullptr) {
                waitingIds_.emplace(record.id, record.index);
                waiting_[record.parent].push_back(std::move(record));
                return;
            }
        }
        ObjectId placed = Create(record, parent)->Id();
        // Children listed before this object can now follow it, and theirs after them.
        std::vector<ObjectId> work{placed};
        while (!work.empty()) {
            ObjectId id = work.back();
            work.pop_back();
            auto children = waiting_.find(id);
            if (children == waiting_.end()) continue;
            std::vector<ObjectRecord> list = std::move(children->second);
            waiting_.erase(children);
            Object* under = document_->FindById(id);
            for (ObjectRecord& child : list) {
                waitingIds_.erase(child.id);
                work.push_back(Create(child, under)->Id());
            }
        }
    }

    Object* Create(ObjectRecord& record, Object* parent) {
        Object* object = document_->CreateObject(record.type, record.name,
                                                 Placement{parent, nullptr}, record.id);
        if (object == nullptr) {
            PathNode objectsAt{nullptr, "objects", PathNode::kMember};
            throw ReadError{objectsAt.Index(record.index).Member("id").Text(),
                            "the host refused the id " + NumberText(record.id), record.offset};
        }
        object->SetEditorMode(record.editor);
        object->SetRenderMode(record.render);
        object->SetEnabled(record.enabled);
        std::int32_t bits = record.bits | (record.selected ? kBitActive : 0);
        if (bits != 0) object->SetBit(bits);
        object->Data() = std::move(record.data);
        return object;
    }

    // Objects still waiting at the end have a parent that is not in the scene, or lie on or below
    // a cycle of parents. The earliest of them leads to the cause.
    void RefuseWaiting() const {
        std::unordered_map<ObjectId, const ObjectRecord*> byId;
        const ObjectRecord* start = nullptr;
        for (const auto& [parent, list] : waiting_) {
            for (const ObjectRecord& record : list) {
                byId.emplace(record.id, &record);
                if (start == nullptr || record.index < start->index) start = &record;
            }
        }
        if (start == nullptr) return;
        PathNode objectsAt{nullptr, "objects", PathNode::kMember};
        std::unordered_set<ObjectId> seen;
        const ObjectRecord* record = start;
        while (true) {
            seen.insert(record->id);
            auto parent = byId.find(record->parent);
            if (parent == byId.end()) {
                throw ReadError{objectsAt.Index(record->index).Member("parent").Text(),
                                "no object of the scene has the id " + NumberText(record->parent),
                                record->offset};
            }
            record = parent->second;
            if (!seen.contains(record->id)) continue;
            std::string cycle = NumberText(record->id);
            for (const ObjectRecord* step = byId.at(record->parent);;
                 step = byId.at(step->parent)) {
                cycle += " -> " + NumberText(step->id);
                if (step == record) break;
            }
            throw ReadError{objectsAt.Index(record->index).Member("parent").Text(),
                            "the parents form a cycle: " + cycle, record->offset};
        }
    }

    // The whole text has been read: check the top level and complete the document.
    void Finish() {
        PathNode top;
        // The place of an error in a top-level member is the line of its name.
        auto located = [this](auto&& step) {
            try {
                step();
            } catch (ReadError& error) {
                if (!error.offset) error.offset = RootMemberOffset(error.path);
                throw;
            }
        };
        // What the file is comes first: any other JSON file is told apart by its header.
        Require(root_, top, "format");
        Require(root_, top, "version");
        located([&] { CheckHeader(root_, top); });
        CheckMembers(root_, top, kRootMembers);
        for (std::string_view name : kRootMembers) Require(root_, top, name);
        located([&] {
            if (!root_.at("objects").is_array()) {
                Fail(top.Member("objects"),
                     "expected an array of objects, found " + Describe(root_.at("objects")));
            }
        });
        located([&] { document_->SetName(ReadString(root_.at("name"), top.Member("name"))); });
        located(
            [&] { document_->Data() = containers_.Read(root_.at("data"), top.Member("data"), 0); });
        located([&] { ReadTakes(root_.at("takes"), top.Member("takes"), *document_); });
        RefuseWaiting();
        // A link to an id that is in no document must stay empty: the model moves its id
        // counter past every id given to CreateObject, so the highest such id is given once.
        ObjectId highest = containers_.HighestLink();
        if (highest != 0 && document_->FindById(highest) == nullptr) {
            if (Object* placeholder = document_->CreateObject(kNullObjectType, {}, {}, highest)) {
                document_->DeleteObject(placeholder);
            }
        }
    }

    std::string_view text_;
    std::string source_;
    const char* cursor_;
    std::string error_;

    int depth_ = 0;
    Json root_;
    std::vector<Json*> stack_;  // the open objects and arrays
    Json* member_ = nullptr;    // the value of the last key
    std::string rootMember_;    // the last key of the top level
    std::unordered_map<std::string, std::size_t> rootMemberOffsets_;

    Json* objectsArray_ = nullptr;  // the top level's "objects", which keeps no elements
    Json elementMarker_;            // stands on the stack for the element of "objects" being read
    PathNode objectsAt_{nullptr, "objects", PathNode::kMember};
    PathNode elementAt_;
    ObjectRecord record_;            // the element being read
    std::uint32_t membersSeen_ = 0;  // bit i: kObjectMembers[i]
    std::size_t memberIndex_ = 0;    // the member being read
    Json memberValue_;               // its value, when that is an object or an array
    std::size_t elementCount_ = 0;

    ContainerReader containers_;
    std::unique_ptr<Document> document_;
    // Objects whose parent has not been placed yet, by parent id, in the order of the file.
    std::unordered_map<ObjectId, std::vector<ObjectRecord>> waiting_;
    std::unordered_map<ObjectId, std::size_t> waitingIds_;
};

// Files ------------------------------------------------------------------------------------------

}  // namespace

SceneTextResult SerializeScene(const Document& document) {
    SceneTextResult result;
    try {
        Sink sink;
        SceneWriter(sink).Write(document);
        result.text = sink.Take();
    } catch (const Refusal& refusal) {
        result.error = "the scene cannot be saved: " + refusal.message;
    } catch (const std::bad_alloc&) {
        result.error = "not enough memory to write the scene";
    }
    return result;
}

SceneSaveResult SaveScene(const Document& document, const std::filesystem::path& path) {
    SceneSaveResult result;
    result.error = WriteFileAtomically(
        path, [&document](int fd, const std::filesystem::path& temporary) -> std::string {
            try {
                Sink sink(fd);
                SceneWriter(sink).Write(document);
                if (int error = sink.Flush(); error != 0) {
                    return "writing " + Quoted(Utf8FromPath(temporary)) +
                           " failed: " + ErrnoText(error);
                }
            } catch (const Refusal& refusal) {
                return refusal.message;
            } catch (const std::bad_alloc&) {
                return "not enough memory to write the scene";
            }
            return {};
        });
    if (!result.error.empty()) {
        result.error =
            "cannot save the scene to " + Quoted(Utf8FromPath(path)) + ": " + result.error;
    }
    return result;
}

SceneLoadResult ParseScene(std::string_view text, std::string_view sourceName) {
    try {
        return SceneReader(text, sourceName).Run();
    } catch (const std::bad_alloc&) {
        SceneLoadResult result;
        result.error = std::string(sourceName) + ": not enough memory to read the scene";
        return result;
    }
}

SceneLoadResult LoadScene(const std::filesystem::path& path) {
    const std::string name = Utf8FromPath(path);
    std::string text;
    if (const FileReading read = ReadWholeFile(path, text); read.error != 0) {
        SceneLoadResult result;
        if (!read.opened) {
            result.error = name + ": cannot open the scene file: " + ErrnoText(read.error);
        } else if (read.error == ENOMEM) {
            result.error = name + ": not enough memory to read the scene file";
        } else {
            result.error = name + ": cannot read the scene file: " + ErrnoText(read.error);
        }
        return result;
    }
    return ParseScene(text, name);
}

}  // namespace vhost
