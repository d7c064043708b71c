#include "scene_file/value_reader.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "scene_file/scene_encoding.h"
#include "scene_file/scene_file.h"
#include "text/utf8.h"
#include "vela_host/host_objects.h"

namespace vhost::scene_file {

std::string PathNode::Text() const {
    std::vector<const PathNode*> chain;
    for (const PathNode* node = this; node != nullptr; node = node->parent) chain.push_back(node);
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

namespace {

void ExpectObject(const Json& value, const PathNode& at, std::string_view expected) {
    if (!value.is_object())
        Fail(at, "expected " + std::string(expected) + ", found " + Describe(value));
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

}  // namespace

const std::string& ReadString(const Json& value, const PathNode& at) {
    if (!value.is_string()) Fail(at, "expected a string, found " + Describe(value));
    return value.get_ref<const std::string&>();
}

namespace {

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

constexpr const char* kValueNames = "int32, int64, float, string, link, container, custom or none";

double ReadFloat(const Json& value, const PathNode& at) {
    if (value.is_number()) return value.get<double>();
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
        if (text == "inf") return std::numeric_limits<double>::infinity();
        if (text == "-inf") return -std::numeric_limits<double>::infinity();
    }
    Fail(at, R"(expected a number, "nan", "inf" or "-inf", found )" + Describe(value));
}

CustomData ReadCustom(const Json& value, const PathNode& at) {
    ExpectObject(value, at, R"({"type": ..., "base64": "..."})");
    CheckMembers(value, at, std::array<std::string_view, 2>{"type", "base64"});
    PathNode typeAt = at.Member("type");
    CustomData custom;
    custom.type = ReadInt32(Require(value, at, "type"), typeAt);
    if (custom.type < kFirstCustomType) {
        Fail(typeAt, "expected a custom data type id of " + NumberText(kFirstCustomType) +
                         " or above, found " + NumberText(custom.type));
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

}  // namespace

Container ContainerReader::Read(const Json& value, const PathNode& at, int nesting) {
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

Value ContainerReader::ReadValue(const std::string& type, const Json& value, const PathNode& at,
                                 int nesting) {
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

namespace {

// Twelve finite numbers: the offset, then the three axes.
Matrix ReadTransform(const Json& value, const PathNode& at) {
    if (!value.is_array() || value.size() != 12) {
        Fail(at, "expected an array of 12 numbers (the offset and three axes), found " +
                     Describe(value));
    }
    std::array<double, 12> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const Json& number = value[i];
        if (!number.is_number() || !std::isfinite(number.get<double>())) {
            Fail(at.Index(i), "expected a finite number, found " + Describe(number));
        }
        numbers[i] = number.get<double>();
    }
    return Matrix{{numbers[0], numbers[1], numbers[2]},
                  {numbers[3], numbers[4], numbers[5]},
                  {numbers[6], numbers[7], numbers[8]},
                  {numbers[9], numbers[10], numbers[11]}};
}

}  // namespace

std::uint64_t ReadIndex(const Json& value, const PathNode& at, std::string_view what) {
    if (!value.is_number_unsigned()) {
        Fail(at,
             "expected " + std::string(what) + " (an integer from 0), found " + Describe(value));
    }
    return value.get<std::uint64_t>();
}

void ReadObjectField(ObjectRecord& record, std::size_t field, const Json& value, const PathNode& at,
                     ContainerReader& containers) {
    PathNode fieldAt = at.Member(kObjectMembersWithGeometry[field]);
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
        case 9:
            record.data = containers.Read(value, fieldAt, 0);
            return;
        case 10:
            record.transform = ReadTransform(value, fieldAt);
            return;
        default:
            record.mesh = ReadIndex(value, fieldAt, "the index of a mesh in \"meshes\"");
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

void KeepLinkedIdsFree(Document& document, ObjectId highestLink) {
    if (highestLink == 0 || document.FindById(highestLink) != nullptr) return;
    if (Object* placeholder = document.CreateObject(HOST_OBJECT_NULL, {}, {}, highestLink)) {
        document.DeleteObject(placeholder);
    }
}

std::int64_t CheckHeader(const Json& root, const PathNode& top) {
    if (const auto format = root.find("format"); format != root.end()) {
        if (!format->is_string() || format->get_ref<const std::string&>() != kSceneFormatName) {
            Fail(top.Member("format"), "expected " + Quoted(kSceneFormatName) +
                                           " (a scene of this host), found " + Describe(*format));
        }
    }
    const auto version = root.find("version");
    if (version == root.end()) return kSceneFormatVersion;
    std::optional<std::int64_t> number = AsInteger(*version);
    if (!number)
        Fail(top.Member("version"), "expected a version number, found " + Describe(*version));
    if (*number < kSceneFormatVersion || *number > kSceneLatestVersion) {
        Fail(top.Member("version"),
             "this host reads versions " + NumberText(kSceneFormatVersion) + " to " +
                 NumberText(kSceneLatestVersion) + " of the scene format, found version " +
                 NumberText(*number) +
                 (*number > kSceneLatestVersion ? " (written by a newer host?)" : ""));
    }
    return *number;
}

namespace {

MeshFileRecord ReadMeshFileRecord(const Json& value, const PathNode& at) {
    ExpectObject(value, at,
                 R"(null or the mesh file's {"bytes": ..., "crc32": ..., "parts": ...})");
    constexpr std::array<std::string_view, 3> kMembers{"bytes", "crc32", "parts"};
    CheckMembers(value, at, kMembers);
    MeshFileRecord record;
    record.bytes = ReadIndex(Require(value, at, "bytes"), at.Member("bytes"), "a size in bytes");
    const std::uint64_t crc =
        ReadIndex(Require(value, at, "crc32"), at.Member("crc32"), "a CRC-32");
    if (crc > 0xFFFFFFFFU) {
        Fail(at.Member("crc32"),
             "expected a CRC-32 (an integer from 0 to 4294967295), found " + NumberText(crc));
    }
    record.crc32 = static_cast<std::uint32_t>(crc);
    record.parts = ReadIndex(Require(value, at, "parts"), at.Member("parts"), "a part count");
    return record;
}

}  // namespace

void ReadMeshList(const Json& meshFile, const Json& meshes, const PathNode& top,
                  SceneGeometry& geometry) {
    const PathNode fileAt = top.Member("mesh_file");
    if (!meshFile.is_null()) geometry.meshFile = ReadMeshFileRecord(meshFile, fileAt);
    const std::uint64_t parts = geometry.meshFile ? geometry.meshFile->parts : 0;
    const PathNode meshesAt = top.Member("meshes");
    if (!meshes.is_array()) {
        Fail(meshesAt, "expected an array of meshes, found " + Describe(meshes));
    }
    geometry.meshes.reserve(meshes.size());
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        const PathNode meshAt = meshesAt.Index(i);
        ExpectObject(meshes[i], meshAt, R"(a mesh {"parts": [...]})");
        CheckMembers(meshes[i], meshAt, std::array<std::string_view, 1>{"parts"});
        const PathNode partsAt = meshAt.Member("parts");
        const Json& list = Require(meshes[i], meshAt, "parts");
        if (!list.is_array()) {
            Fail(partsAt, "expected an array of part indices, found " + Describe(list));
        }
        std::vector<std::uint32_t>& mesh = geometry.meshes.emplace_back();
        mesh.reserve(list.size());
        for (std::size_t p = 0; p < list.size(); ++p) {
            const std::uint64_t part = ReadIndex(list[p], partsAt.Index(p), "a part index");
            if (part >= parts) {
                Fail(partsAt.Index(p), "part " + NumberText(part) +
                                           " is not in the mesh file, which holds " +
                                           NumberText(parts) + " parts");
            }
            mesh.push_back(static_cast<std::uint32_t>(part));
        }
    }
}

}  // namespace vhost::scene_file
