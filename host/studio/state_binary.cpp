#include "studio/state_binary.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <map>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "host.h"
#include "model/object_types.h"
#include "studio/request_errors.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

static_assert(std::endian::native == std::endian::little,
              "the columns are written as the machine keeps them, which the form says is "
              "little-endian");

constexpr std::string_view kMagic = "VST1";
constexpr std::size_t kAlignment = 8;

template <typename T>
constexpr std::string_view TypeTag() {
    if constexpr (std::is_same_v<T, std::uint8_t>) return "u8";
    if constexpr (std::is_same_v<T, std::uint16_t>) return "u16";
    if constexpr (std::is_same_v<T, std::uint32_t>) return "u32";
    if constexpr (std::is_same_v<T, std::int32_t>) return "i32";
    if constexpr (std::is_same_v<T, double>) return "f64";
}

std::size_t SizeOfTag(std::string_view tag) {
    if (tag == "u8") return 1;
    if (tag == "u16") return 2;
    if (tag == "u32" || tag == "i32") return 4;
    if (tag == "f64") return 8;
    return 0;
}

struct Column {
    std::string name;
    std::string_view type;
    std::size_t length = 0;
    std::string bytes;
};

template <typename T>
Column MakeColumn(std::string name, const T* values, std::size_t length) {
    Column column{std::move(name), TypeTag<T>(), length, {}};
    column.bytes.resize(length * sizeof(T));
    if (length > 0) std::memcpy(column.bytes.data(), values, column.bytes.size());
    return column;
}

template <typename T>
Column MakeColumn(std::string name, const std::vector<T>& values) {
    return MakeColumn(std::move(name), values.data(), values.size());
}

// Ids in 4 bytes each while they fit, else as doubles (the page's numbers).
Column IdColumn(std::string name, const std::vector<std::uint64_t>& ids) {
    const bool small = std::all_of(ids.begin(), ids.end(), [](std::uint64_t id) {
        return id <= std::numeric_limits<std::uint32_t>::max();
    });
    if (small)
        return MakeColumn(std::move(name), std::vector<std::uint32_t>(ids.begin(), ids.end()));
    return MakeColumn(std::move(name), std::vector<double>(ids.begin(), ids.end()));
}

// Type numbers as indexes into the table of their names, in the order first met.
struct TypeTable {
    std::vector<std::string> names;
    std::vector<std::uint32_t> indexes;
};

TypeTable TypesOf(const std::vector<ObjectShape>& shapes, const TypeNameOf& typeName) {
    TypeTable table;
    std::map<std::int32_t, std::uint32_t> indexOf;
    table.indexes.reserve(shapes.size());
    for (const ObjectShape& shape : shapes) {
        const auto [found, added] =
            indexOf.try_emplace(shape.type, static_cast<std::uint32_t>(table.names.size()));
        if (added) table.names.push_back(typeName(shape.type));
        table.indexes.push_back(found->second);
    }
    return table;
}

std::vector<Column> ShapeColumns(const std::vector<ObjectShape>& shapes, TypeTable& types) {
    const std::size_t count = shapes.size();
    std::vector<std::uint64_t> ids(count);
    std::vector<std::uint64_t> links(count);
    std::vector<std::uint64_t> meshes(count);
    std::vector<std::int32_t> parents(count, -1);
    std::unordered_map<ObjectId, std::int32_t> indexOf;
    indexOf.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const ObjectShape& shape = shapes[i];
        ids[i] = shape.id;
        links[i] = shape.link;
        meshes[i] = static_cast<std::uint64_t>(shape.mesh);
        const auto parent = indexOf.find(shape.parent);
        if (shape.parent != 0 && parent != indexOf.end()) parents[i] = parent->second;
        indexOf.emplace(shape.id, static_cast<std::int32_t>(i));
    }
    std::vector<Column> columns;
    columns.push_back(IdColumn("id", ids));
    columns.push_back(MakeColumn("parent", parents));
    if (types.names.size() <= std::numeric_limits<std::uint16_t>::max() + std::size_t{1}) {
        columns.push_back(MakeColumn(
            "type", std::vector<std::uint16_t>(types.indexes.begin(), types.indexes.end())));
    } else {
        columns.push_back(MakeColumn("type", types.indexes));
    }
    columns.push_back(IdColumn("link", links));
    columns.push_back(IdColumn("mesh", meshes));
    return columns;
}

std::vector<Column> StateColumnsOf(const std::vector<ObjectStates>& states,
                                   std::vector<std::string_view>& flagNames) {
    StateColumns table;
    for (const ObjectStates& object : states) table.Add(object);
    std::vector<Column> columns;
    for (const StateColumns::Text& text : table.texts) {
        columns.push_back(MakeColumn(std::string(text.name),
                                     reinterpret_cast<const std::uint8_t*>(text.bytes.data()),
                                     text.bytes.size()));
        columns.push_back(MakeColumn(std::string(text.name) + ".start", text.starts));
    }
    for (const StateColumns::Bytes& mode : table.modes) {
        columns.push_back(MakeColumn(std::string(mode.name), mode.values));
    }
    columns.push_back(MakeColumn("flags", table.flags));
    for (const StateColumns::Matrices& matrix : table.matrices) {
        columns.push_back(MakeColumn(std::string(matrix.name) + "Kind", matrix.kinds));
        columns.push_back(MakeColumn(std::string(matrix.name), matrix.values));
    }
    flagNames = table.flagNames;
    return columns;
}

std::size_t Aligned(std::size_t size) { return (size + kAlignment - 1) / kAlignment * kAlignment; }

static_assert(static_cast<int>(Mode::On) == 0 && static_cast<int>(Mode::Off) == 1 &&
                  static_cast<int>(Mode::Default) == 2,
              "a mode is sent as its number, which names its entry of `modes`");

// The modes' names by their numbers.
json ModeNames() {
    return json::array({ModeName(Mode::On), ModeName(Mode::Off), ModeName(Mode::Default)});
}

// Reading
// ------------------------------------------------------------------------------------------

struct ColumnView {
    std::string type;
    std::size_t length = 0;
    const char* data = nullptr;
};

class ColumnReader {
public:
    ColumnReader(const json& objects, std::string_view data) {
        for (const json& column : objects.at("columns")) {
            const auto type = column.at("type").get<std::string>();
            const std::size_t size = SizeOfTag(type);
            const auto offset = column.at("offset").get<std::size_t>();
            const auto length = column.at("length").get<std::size_t>();
            if (size == 0) throw StateFormError("A column has the unknown type " + type + ".");
            if (offset % kAlignment != 0 || offset > data.size() ||
                length > (data.size() - offset) / size) {
                throw StateFormError("A column lies outside the body.");
            }
            columns_[column.at("name").get<std::string>()] =
                ColumnView{type, length, data.data() + offset};
        }
    }

    // Column `name`'s values as numbers; it must have `length` of them.
    std::vector<double> Numbers(const std::string& name, std::size_t length) const {
        const auto found = columns_.find(name);
        if (found == columns_.end()) throw StateFormError("The column " + name + " is missing.");
        const ColumnView& column = found->second;
        if (column.length != length) {
            throw StateFormError("The column " + name + " does not have " + std::to_string(length) +
                                 " values.");
        }
        std::vector<double> values(length);
        for (std::size_t i = 0; i < length; ++i) values[i] = ValueAt(column, i);
        return values;
    }

    // A column of bytes as they are.
    std::string_view Bytes(const std::string& name) const {
        const auto found = columns_.find(name);
        if (found == columns_.end() || found->second.type != "u8") {
            throw StateFormError("The column " + name + " of bytes is missing.");
        }
        return {found->second.data, found->second.length};
    }

    std::size_t LengthOf(const std::string& name) const {
        const auto found = columns_.find(name);
        if (found == columns_.end()) throw StateFormError("The column " + name + " is missing.");
        return found->second.length;
    }

private:
    template <typename T>
    static double Read(const char* at) {
        T value{};
        std::memcpy(&value, at, sizeof(T));
        return static_cast<double>(value);
    }

    static double ValueAt(const ColumnView& column, std::size_t i) {
        if (column.type == "u8") return Read<std::uint8_t>(column.data + i);
        if (column.type == "u16") return Read<std::uint16_t>(column.data + i * 2);
        if (column.type == "u32") return Read<std::uint32_t>(column.data + i * 4);
        if (column.type == "i32") return Read<std::int32_t>(column.data + i * 4);
        return Read<double>(column.data + i * 8);
    }

    std::map<std::string, ColumnView> columns_;
};

// A count read from the form; ids and indexes are whole and not negative unless said.
std::uint64_t Whole(double value, const char* what) {
    if (!(value >= 0 && value < 0x1p64) ||
        value != static_cast<double>(static_cast<std::uint64_t>(value))) {
        throw StateFormError(std::string("An object has an invalid ") + what + ".");
    }
    return static_cast<std::uint64_t>(value);
}

void ReadShapes(const ColumnReader& reader, std::size_t count, DecodedState& state) {
    const std::vector<double> ids = reader.Numbers("id", count);
    const std::vector<double> parents = reader.Numbers("parent", count);
    const std::vector<double> types = reader.Numbers("type", count);
    const std::vector<double> links = reader.Numbers("link", count);
    const std::vector<double> meshes = reader.Numbers("mesh", count);
    state.shapes.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        ObjectShape& shape = state.shapes[i];
        shape.id = Whole(ids[i], "id");
        const double parent = parents[i];
        if (parent != -1) {
            if (Whole(parent, "parent") >= i) throw StateFormError("A parent follows its child.");
            shape.parent = state.shapes[static_cast<std::size_t>(parent)].id;
        }
        const std::uint64_t type = Whole(types[i], "type");
        if (type >= state.typeNames.size()) {
            throw StateFormError("An object's type is not in the table of types.");
        }
        shape.type = static_cast<std::int32_t>(type);
        shape.link = Whole(links[i], "link");
        shape.mesh = static_cast<std::int64_t>(Whole(meshes[i], "mesh"));
    }
}

// The numbers each kind of transform takes.
constexpr std::size_t kValuesOfKind[] = {0, 3, 12};

void ReadMatrices(const ColumnReader& reader, std::size_t count, StateColumns::Matrices& matrix) {
    const std::string name(matrix.name);
    matrix.values = reader.Numbers(name, reader.LengthOf(name));
    std::size_t next = 0;
    for (const double kind : reader.Numbers(name + "Kind", count)) {
        if (Whole(kind, "transform") > StateColumns::kAffine) {
            throw StateFormError("An object has an unknown kind of transform.");
        }
        const std::size_t needed = kValuesOfKind[static_cast<std::size_t>(kind)];
        if (matrix.values.size() - next < needed) throw StateFormError("The transforms run short.");
        matrix.kinds.push_back(static_cast<std::uint8_t>(kind));
        matrix.starts.push_back(next);
        next += needed;
    }
    if (next != matrix.values.size()) throw StateFormError("There are transforms left over.");
}

void ReadStates(const ColumnReader& reader, const json& objects, std::size_t count,
                DecodedState& state) {
    StateColumns table;
    for (StateColumns::Text& text : table.texts) {
        const std::string name(text.name);
        const std::vector<double> starts = reader.Numbers(name + ".start", count + 1);
        text.bytes = reader.Bytes(name);
        const std::string& bytes = text.bytes;
        for (std::size_t i = 0; i <= count; ++i) {
            const std::uint64_t start = Whole(starts[i], "text");
            if (start > bytes.size() || (i == 0 && start != 0) ||
                (i > 0 && start < text.starts.back())) {
                throw StateFormError("The texts' starts are out of order.");
            }
            if (i > 0) text.starts.push_back(static_cast<std::uint32_t>(start));
        }
    }
    for (StateColumns::Bytes& mode : table.modes) {
        for (const double value : reader.Numbers(std::string(mode.name), count)) {
            if (Whole(value, "mode") > 2) throw StateFormError("An object has an unknown mode.");
            mode.values.push_back(static_cast<std::uint8_t>(value));
        }
    }
    if (objects.at("flags") != json(table.flagNames)) {
        throw StateFormError("The flags are not those of this host.");
    }
    for (StateColumns::Matrices& matrix : table.matrices) ReadMatrices(reader, count, matrix);
    for (const double bits : reader.Numbers("flags", count)) {
        if (Whole(bits, "set of flags") > 0xFF)
            throw StateFormError("An object has unknown flags.");
        table.flags.push_back(static_cast<std::uint8_t>(bits));
    }
    for (std::size_t i = 0; i < count; ++i) state.states.push_back(table.StatesAt(i));
}

json Transform16(const Matrix& m) {
    json columns = json::array();
    for (const double value : {m.v1.x, m.v1.y, m.v1.z, 0.0, m.v2.x, m.v2.y, m.v2.z, 0.0, m.v3.x,
                               m.v3.y, m.v3.z, 0.0, m.off.x, m.off.y, m.off.z, 1.0}) {
        columns.push_back(value);
    }
    return columns;
}

}  // namespace

std::string EncodeWholeState(std::string_view membersJson, const std::vector<ObjectShape>& shapes,
                             const std::vector<ObjectStates>& states, const TypeNameOf& typeName) {
    TypeTable types = TypesOf(shapes, typeName);
    std::vector<Column> columns = ShapeColumns(shapes, types);
    std::vector<std::string_view> flagNames;
    for (Column& column : StateColumnsOf(states, flagNames)) columns.push_back(std::move(column));

    json described = json::array();
    std::size_t offset = 0;
    for (const Column& column : columns) {
        described.push_back({{"name", column.name},
                             {"type", column.type},
                             {"offset", offset},
                             {"length", column.length}});
        offset += Aligned(column.bytes.size());
    }
    const json objects = {{"count", shapes.size()},
                          {"types", types.names},
                          {"modes", ModeNames()},
                          {"flags", flagNames},
                          {"columns", std::move(described)}};
    std::string header(membersJson);
    header.pop_back();  // the members' closing brace
    header += (header.size() > 1 ? ",\"objects\":" : "\"objects\":") + JsonText(objects) + "}";

    std::string body(kMagic);
    const auto headerLength = static_cast<std::uint32_t>(header.size());
    body.append(reinterpret_cast<const char*>(&headerLength), sizeof headerLength);
    body += header;
    body.reserve(Aligned(body.size()) + offset);
    body.resize(Aligned(body.size()), '\0');
    for (const Column& column : columns) {
        body += column.bytes;
        body.resize(Aligned(body.size()), '\0');
    }
    return body;
}

std::string WholeStateBody(const StateSources& sources, std::uint64_t version) {
    const Snapshot state = TakeSnapshot(sources);
    const ObjectTypes& types = sources.host.Types();
    return EncodeWholeState(StateMembersText(sources, state, version), state.shapes, state.states,
                            [&types](std::int32_t type) {
                                const ObjectType* known = types.Find(type);
                                return known != nullptr ? known->token : std::to_string(type);
                            });
}

DecodedState DecodeWholeState(std::string_view body) {
    constexpr std::size_t kPrefix = 8;
    if (body.size() < kPrefix || body.substr(0, kMagic.size()) != kMagic) {
        throw StateFormError("This is not a whole state of the studio.");
    }
    std::uint32_t headerLength = 0;
    std::memcpy(&headerLength, body.data() + kMagic.size(), sizeof headerLength);
    if (headerLength > body.size() - kPrefix)
        throw StateFormError("The header runs past the body.");
    const std::size_t dataStart = Aligned(kPrefix + headerLength);
    const std::string_view data =
        dataStart <= body.size() ? body.substr(dataStart) : std::string_view();
    DecodedState state;
    try {
        state.members = json::parse(body.substr(kPrefix, headerLength));
        const json objects = state.members.at("objects");
        state.members.erase("objects");
        const auto count = objects.at("count").get<std::size_t>();
        state.typeNames = objects.at("types").get<std::vector<std::string>>();
        if (objects.at("modes") != ModeNames()) {
            throw StateFormError("The modes are not those of this host.");
        }
        const ColumnReader reader(objects, data);
        ReadShapes(reader, count, state);
        ReadStates(reader, objects, count, state);
    } catch (const json::exception& error) {
        throw StateFormError(std::string("The header is not of the form: ") + error.what());
    }
    return state;
}

json WholeStateJson(const DecodedState& state) {
    json out = state.members;
    json objects = json::array();
    for (std::size_t i = 0; i < state.shapes.size(); ++i) {
        const ObjectShape& shape = state.shapes[i];
        const ObjectStates& states = state.states[i];
        json object = {{"id", shape.id},
                       {"parent", shape.parent},
                       {"type", state.typeNames[static_cast<std::size_t>(shape.type)]},
                       {"name", json::parse(JsonText(json(states.name)))},
                       {"editor", ModeName(states.editor)},
                       {"render", ModeName(states.render)},
                       {"enabled", states.enabled},
                       {"selected", states.selected},
                       {"isolated", states.isolated}};
        if (!states.transform.matrix.IsIdentity()) {
            object["transform"] = Transform16(states.transform.matrix);
        }
        if (shape.mesh != 0) object["mesh"] = shape.mesh;
        if (shape.link != 0) object["link"] = shape.link;
        objects.push_back(std::move(object));
    }
    out["objects"] = std::move(objects);
    return out;
}

}  // namespace vhost::studio
