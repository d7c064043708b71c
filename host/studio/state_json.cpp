#include "studio/state_json.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <compare>
#include <map>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "host.h"
#include "model/scene.h"
#include "studio/id_runs.h"
#include "studio/request_errors.h"
#include "studio/state_members.h"
#include "text/json_text.h"
#include "text/utf8.h"
#include "vela2023/vela_ids.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

constexpr std::int32_t kIsolationRecord = ID_VELA;  // the command keeps its records under its id

// JSON text written directly: a large scene's state is too slow to build as a document first.

// The shortest text that reads back as `value`; null for what JSON has no number for.
void AppendFiniteNumber(std::string& out, double value) {
    if (std::isfinite(value)) {
        AppendNumber(out, value);
    } else {
        out += "null";
    }
}

// A text as a JSON string; bytes that are not UTF-8 become U+FFFD, as in every other answer.
void AppendText(std::string& out, std::string_view text) {
    if (IsValidUtf8(text)) {
        AppendJsonString(out, text);
    } else {
        out += JsonText(json(std::string(text)));
    }
}

void AppendMode(std::string& out, Mode mode) {
    const char* name = ModeName(mode);
    if (name != nullptr) {
        AppendJsonString(out, name);
    } else {
        out += "null";
    }
}

void AppendBool(std::string& out, bool value) { out += value ? "true" : "false"; }

void AppendTransform(std::string& out, const Matrix& m) {
    // Column-major 4x4, as three.js's Matrix4.fromArray takes it.
    const double columns[] = {m.v1.x, m.v1.y, m.v1.z, 0, m.v2.x,  m.v2.y,  m.v2.z,  0,
                              m.v3.x, m.v3.y, m.v3.z, 0, m.off.x, m.off.y, m.off.z, 1};
    out += '[';
    for (const double value : columns) {
        if (out.back() != '[') out += ',';
        AppendFiniteNumber(out, value);
    }
    out += ']';
}

// A state's value as JSON, by its type.
void AppendValue(std::string& out, const std::string& text) { AppendText(out, text); }
void AppendValue(std::string& out, Mode mode) { AppendMode(out, mode); }
void AppendValue(std::string& out, bool value) { AppendBool(out, value); }
void AppendValue(std::string& out, const LocalPlacement& transform) {
    AppendTransform(out, transform.matrix);
}

// A state of an object as the page receives it: its member's name in the JSON, where
// ObjectStates keeps it, how the host reads it from an object and, for a member the whole state
// leaves out when it has its default value, that test.
template <typename T>
struct StateField {
    std::string_view name;
    T ObjectStates::*member;
    T (*read)(const Object& object);
    bool (*isDefault)(const T& value) = nullptr;
};

// Every state of an object, in the order the page receives them (docs/studio.md, "An object's
// states"). The snapshot, the whole state, the change event and its grouping are all made from
// this table: a new state is a member of ObjectStates and its line here.
constexpr std::tuple kStateFields{
    StateField<std::string>{"name", &ObjectStates::name,
                            [](const Object& object) { return object.Name(); }},
    StateField<Mode>{"editor", &ObjectStates::editor,
                     [](const Object& object) { return object.EditorMode(); }},
    StateField<Mode>{"render", &ObjectStates::render,
                     [](const Object& object) { return object.RenderMode(); }},
    StateField<bool>{"enabled", &ObjectStates::enabled,
                     [](const Object& object) { return object.Enabled(); }},
    StateField<bool>{"selected", &ObjectStates::selected,
                     [](const Object& object) { return object.Selected(); }},
    StateField<bool>{"isolated", &ObjectStates::isolated,
                     [](const Object& object) {
                         return object.Data().GetContainerInstance(kIsolationRecord) != nullptr;
                     }},
    StateField<LocalPlacement>{
        "transform", &ObjectStates::transform,
        [](const Object& object) { return LocalPlacement{object.LocalTransform()}; },
        [](const LocalPlacement& transform) { return transform.matrix.IsIdentity(); }},
};
constexpr std::size_t kStateCount = std::tuple_size_v<decltype(kStateFields)>;

template <typename Visit, std::size_t... Index>
void VisitStates(Visit& visit, std::index_sequence<Index...> /*indices*/) {
    (visit(std::get<Index>(kStateFields), std::uint32_t{1} << Index), ...);
}

// Calls `visit(field, bit)` for each entry of the table, with the entry's bit in a set of states.
template <typename Visit>
void ForEachState(Visit&& visit) {
    VisitStates(visit, std::make_index_sequence<kStateCount>());
}

// The number of members of an aggregate: how many initialisers it takes.
struct AnyMember {
    template <typename T>
    operator T() const;  // NOLINT(google-explicit-constructor): declared only, to count with
};
template <typename Aggregate, typename... Members>
constexpr std::size_t MemberCount() {
    if constexpr (requires { Aggregate{std::declval<Members>()..., AnyMember{}}; }) {
        return MemberCount<Aggregate, Members..., AnyMember>();
    } else {
        return sizeof...(Members);
    }
}
static_assert(MemberCount<ObjectStates>() == kStateCount,
              "every member of ObjectStates is a state of the table");
static_assert(kStateCount <= 32, "a set of states is 32 bits");

template <std::size_t... Index>
constexpr std::size_t CountFlags(std::index_sequence<Index...> /*indices*/) {
    return (std::size_t{std::is_same_v<std::remove_cvref_t<decltype(std::get<Index>(kStateFields))>,
                                       StateField<bool>>} +
            ... + 0);
}
static_assert(CountFlags(std::make_index_sequence<kStateCount>()) <= 8,
              "the flags of an object are the bits of one byte");

// `"name":` after the members before it.
void AppendKey(std::string& out, std::string_view name) {
    if (out.back() != '{') out += ',';
    out += '"';
    out += name;
    out += "\":";
}

ObjectStates StatesOf(const Object& object) {
    ObjectStates states;
    ForEachState([&](const auto& field, std::uint32_t /*bit*/) {
        states.*field.member = field.read(object);
    });
    return states;
}

ObjectShape ShapeOf(const Object& object, MeshNumbers& meshes) {
    ObjectShape shape;
    shape.id = object.Id();
    shape.parent = object.Up() != nullptr ? object.Up()->Id() : 0;
    shape.type = object.Type();
    if (object.GetMesh() != nullptr) shape.mesh = meshes.NumberOf(object.GetMesh());
    if (object.Type() == HOST_OBJECT_INSTANCE)
        shape.link = object.Data().GetLink(HOST_INSTANCE_LINK);
    return shape;
}

// The bits of a transform's numbers, in a fixed order.
std::array<std::uint64_t, 12> BitsOf(const Matrix& m) {
    return {std::bit_cast<std::uint64_t>(m.off.x), std::bit_cast<std::uint64_t>(m.off.y),
            std::bit_cast<std::uint64_t>(m.off.z), std::bit_cast<std::uint64_t>(m.v1.x),
            std::bit_cast<std::uint64_t>(m.v1.y),  std::bit_cast<std::uint64_t>(m.v1.z),
            std::bit_cast<std::uint64_t>(m.v2.x),  std::bit_cast<std::uint64_t>(m.v2.y),
            std::bit_cast<std::uint64_t>(m.v2.z),  std::bit_cast<std::uint64_t>(m.v3.x),
            std::bit_cast<std::uint64_t>(m.v3.y),  std::bit_cast<std::uint64_t>(m.v3.z)};
}

// The states that differ between `was` and `now`, a bit each; none when they are the same.
std::uint32_t ChangedStates(const ObjectStates& was, const ObjectStates& now) {
    std::uint32_t changed = 0;
    ForEachState([&](const auto& field, std::uint32_t bit) {
        if (was.*field.member != now.*field.member) changed |= bit;
    });
    return changed;
}

// `,"member":value` for each of the `changed` states, as they are `now`.
void AppendChangedMembers(std::string& out, std::uint32_t changed, const ObjectStates& now) {
    ForEachState([&](const auto& field, std::uint32_t bit) {
        if ((changed & bit) == 0) return;
        AppendKey(out, field.name);
        AppendValue(out, now.*field.member);
    });
}

// Which states of an object changed, and the object's states now: objects with equal keys
// changed the same states to the same values and are sent as one entry. The states that did not
// change take no part in the comparison.
struct ChangeKey {
    std::uint32_t changed = 0;
    const ObjectStates* now = nullptr;
    bool operator<(const ChangeKey& other) const {
        if (changed != other.changed) return changed < other.changed;
        std::strong_ordering order = std::strong_ordering::equal;
        ForEachState([&](const auto& field, std::uint32_t bit) {
            if (std::is_eq(order) && (changed & bit) != 0) {
                order = now->*field.member <=> other.now->*field.member;
            }
        });
        return std::is_lt(order);
    }
};

// Whether two keys are of the same group; the same as neither ordering before the other.
bool SameChange(const ChangeKey& a, const ChangeKey& b) {
    if (a.changed != b.changed) return false;
    bool same = true;
    ForEachState([&](const auto& field, std::uint32_t bit) {
        if (same && (a.changed & bit) != 0) same = a.now->*field.member == b.now->*field.member;
    });
    return same;
}

// Objects that changed the same members to the same values.
struct ChangeGroup {
    ChangeKey key;
    IdRuns ids;
};

// Sorts changed objects into groups of equal changes, in the order of the groups' first ids;
// the objects must come in ascending order of their ids.
class ChangeGroups {
public:
    void Add(ObjectId id, const ChangeKey& key) {
        // Objects that change alike mostly come one after another (a press hides or shows whole
        // subtrees): the group of the one before is tried first.
        if (groups_.empty() || !SameChange(groups_[last_].key, key)) {
            const auto [found, added] = groupOfKey_.try_emplace(key, groups_.size());
            if (added) groups_.push_back({key, {}});
            last_ = found->second;
        }
        groups_[last_].ids.Add(id);
    }
    const std::vector<ChangeGroup>& Groups() const { return groups_; }

private:
    std::vector<ChangeGroup> groups_;
    std::map<ChangeKey, std::size_t> groupOfKey_;
    std::size_t last_ = 0;
};

// The changed objects grouped, through a list of them sorted by id.
ChangeGroups GroupChangesSortingThem(const Snapshot& before, const Snapshot& now) {
    std::vector<std::pair<ObjectId, ChangeKey>> changed;
    for (std::size_t i = 0; i < now.states.size(); ++i) {
        const std::uint32_t states = ChangedStates(before.states[i], now.states[i]);
        if (states != 0) changed.emplace_back(now.shapes[i].id, ChangeKey{states, &now.states[i]});
    }
    std::sort(changed.begin(), changed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    ChangeGroups groups;
    for (const auto& [id, key] : changed) groups.Add(id, key);
    return groups;
}

// The changed objects grouped. In one pass in the object manager's order while their ids ascend
// in it (as in every scene opened or built in one go), which spares a list and a sort of every
// changed object; through the sorted list when they do not.
ChangeGroups GroupChanges(const Snapshot& before, const Snapshot& now) {
    ChangeGroups groups;
    ObjectId last = 0;
    for (std::size_t i = 0; i < now.states.size(); ++i) {
        const std::uint32_t states = ChangedStates(before.states[i], now.states[i]);
        if (states == 0) continue;
        const ObjectId id = now.shapes[i].id;
        if (id < last) return GroupChangesSortingThem(before, now);
        groups.Add(id, ChangeKey{states, &now.states[i]});
        last = id;
    }
    return groups;
}

// The objects whose states differ as a JSON list, one entry per group of equal changes in the
// order of the groups' first ids; empty when none differs. Both snapshots are of the same tree.
std::string ChangedObjects(const Snapshot& before, const Snapshot& now) {
    const ChangeGroups groups = GroupChanges(before, now);
    if (groups.Groups().empty()) return {};
    std::string out = "[";
    for (const ChangeGroup& group : groups.Groups()) {
        if (out.size() > 1) out += ',';
        if (group.ids.OneId()) {
            out += "{\"id\":";
            AppendNumber(out, group.ids.First());
        } else {
            out += "{\"ids\":";
            group.ids.AppendJson(out);
        }
        AppendChangedMembers(out, group.key.changed, *group.key.now);
        out += '}';
    }
    out += ']';
    return out;
}

}  // namespace

std::int64_t MeshNumbers::NumberOf(const std::shared_ptr<const Mesh>& mesh) {
    if (mesh.get() == last_) return lastNumber_;
    const auto [found, added] =
        numbers_.try_emplace(mesh.get(), static_cast<std::int64_t>(meshes_.size()) + 1);
    if (added) meshes_.push_back(mesh);
    last_ = mesh.get();
    lastNumber_ = found->second;
    return found->second;
}

const Mesh* MeshNumbers::Find(std::int64_t number) const {
    if (number < 1 || number > static_cast<std::int64_t>(meshes_.size())) return nullptr;
    return meshes_[static_cast<std::size_t>(number - 1)].get();
}

bool LocalPlacement::operator==(const LocalPlacement& other) const {
    return BitsOf(matrix) == BitsOf(other.matrix);
}

std::strong_ordering LocalPlacement::operator<=>(const LocalPlacement& other) const {
    return BitsOf(matrix) <=> BitsOf(other.matrix);
}

std::string Changes::EventText(std::uint64_t version) const {
    json data = members;
    data["version"] = version;
    std::string text = JsonText(data);
    if (!objects.empty()) text.insert(1, "\"objects\":" + objects + ",");
    return text;
}

Snapshot TakeSnapshot(const StateSources& sources, Snapshot reuse) {
    Snapshot snapshot;
    snapshot.shapes = std::move(reuse.shapes);
    snapshot.states = std::move(reuse.states);
    snapshot.shapes.clear();
    snapshot.states.clear();
    const Document& document = sources.host.ActiveDocument();
    snapshot.source = &document;
    const std::size_t count = document.ObjectCount();
    snapshot.shapes.reserve(count);
    snapshot.states.reserve(count);
    document.ForEach([&](Object& object) {
        snapshot.shapes.push_back(ShapeOf(object, sources.meshes));
        snapshot.states.push_back(StatesOf(object));
        return true;
    });
    snapshot.document = DocumentJson(sources);
    snapshot.button = ButtonJson(sources.host);
    snapshot.consoleLines = sources.host.Console().size();
    snapshot.window = sources.window;
    snapshot.opened = OpenedJson(sources.host);
    snapshot.history = HistoryJson(sources.host);
    snapshot.documents = sources.documents.Json();
    snapshot.takes = TakesJson(document);
    return snapshot;
}

std::string StateMembersText(const StateSources& sources, const Snapshot& state,
                             std::uint64_t version) {
    std::string out = "{\"version\":";
    AppendNumber(out, version);
    out += ",\"document\":" + JsonText(state.document);
    out += ",\"button\":" + JsonText(state.button);
    out += ",\"console\":" + JsonText(json(ConsoleLinesFrom(sources.host, 0)));
    out += ",\"window\":" + JsonText(state.window);
    out += ",\"opened\":" + JsonText(state.opened);
    out += ",\"history\":" + JsonText(state.history);
    out += ",\"documents\":" + JsonText(state.documents);
    out += ",\"takes\":" + JsonText(state.takes);
    out += '}';
    return out;
}

std::vector<json> ConsoleLinesFrom(Host& host, std::size_t first) {
    std::vector<json> lines;
    const std::vector<ConsoleLine>& console = host.Console();
    for (std::size_t i = first; i < console.size(); ++i)
        lines.push_back(ConsoleLineJson(console[i]));
    return lines;
}

Changes ChangesBetween(const Snapshot& before, const Snapshot& now,
                       const std::vector<json>& newConsoleLines) {
    Changes changes;
    changes.members = json::object();
    changes.tree = before.source != now.source || before.shapes != now.shapes ||
                   now.consoleLines < before.consoleLines;
    if (changes.tree) return changes;
    changes.objects = ChangedObjects(before, now);
    auto member = [&](const char* name, const json& old, const json& current) {
        if (old == current) return;
        json diff = current;
        if (current.is_object() && old.is_object()) {
            diff = json::object();
            for (const auto& [key, value] : current.items()) {
                if (!old.contains(key) || old.at(key) != value) diff[key] = value;
            }
        }
        changes.members[name] = std::move(diff);
    };
    member("document", before.document, now.document);
    member("button", before.button, now.button);
    if (before.window != now.window) changes.members["window"] = now.window;
    if (before.opened != now.opened) changes.members["opened"] = now.opened;
    if (before.history != now.history) changes.members["history"] = now.history;
    if (before.documents != now.documents) changes.members["documents"] = now.documents;
    if (before.takes != now.takes) changes.members["takes"] = now.takes;
    if (!newConsoleLines.empty()) changes.members["console"] = newConsoleLines;
    return changes;
}

// The table of states in columns -------------------------------------------------------------

namespace {

void AddColumnState(StateColumns& columns, std::size_t& texts, std::size_t& /*modes*/,
                    std::size_t& /*flags*/, const std::string& value) {
    StateColumns::Text& column = columns.texts[texts++];
    column.bytes += value;
    column.starts.push_back(static_cast<std::uint32_t>(column.bytes.size()));
}

void AddColumnState(StateColumns& columns, std::size_t& /*texts*/, std::size_t& modes,
                    std::size_t& /*flags*/, Mode value) {
    columns.modes[modes++].values.push_back(static_cast<std::uint8_t>(value));
}

void AddColumnState(StateColumns& columns, std::size_t& /*texts*/, std::size_t& /*modes*/,
                    std::size_t& flags, bool value) {
    if (value)
        columns.flags.back() = static_cast<std::uint8_t>(columns.flags.back() | (1U << flags));
    ++flags;
}

// A transform's numbers compared bit for bit, so that -0 is not sent as 0.
bool Is(double value, double wanted) {
    return std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(wanted);
}

bool HasUnitAxes(const Matrix& m) {
    return Is(m.v1.x, 1) && Is(m.v1.y, 0) && Is(m.v1.z, 0) && Is(m.v2.x, 0) && Is(m.v2.y, 1) &&
           Is(m.v2.z, 0) && Is(m.v3.x, 0) && Is(m.v3.y, 0) && Is(m.v3.z, 1);
}

void AddColumnState(StateColumns& columns, std::size_t& /*texts*/, std::size_t& /*modes*/,
                    std::size_t& /*flags*/, const LocalPlacement& value) {
    // One transform state today; a second would need its own counter.
    StateColumns::Matrices& column = columns.matrices.front();
    const Matrix& m = value.matrix;
    const bool axes = !HasUnitAxes(m);
    if (!axes && Is(m.off.x, 0) && Is(m.off.y, 0) && Is(m.off.z, 0)) {
        column.kinds.push_back(StateColumns::kIdentity);
        return;
    }
    column.kinds.push_back(axes ? StateColumns::kAffine : StateColumns::kTranslation);
    if (axes) {
        column.values.insert(column.values.end(), {m.v1.x, m.v1.y, m.v1.z, m.v2.x, m.v2.y, m.v2.z,
                                                   m.v3.x, m.v3.y, m.v3.z});
    }
    column.values.insert(column.values.end(), {m.off.x, m.off.y, m.off.z});
}

void ReadColumnState(const StateColumns& columns, std::size_t index, std::size_t& /*texts*/,
                     std::size_t& /*modes*/, std::size_t& /*flags*/, LocalPlacement& value) {
    const StateColumns::Matrices& column = columns.matrices.front();
    Matrix& m = value.matrix;
    m = Matrix{};
    const double* v = column.values.data() + column.starts[index];
    switch (column.kinds[index]) {
        case StateColumns::kAffine:
            m.v1 = {v[0], v[1], v[2]};
            m.v2 = {v[3], v[4], v[5]};
            m.v3 = {v[6], v[7], v[8]};
            m.off = {v[9], v[10], v[11]};
            break;
        case StateColumns::kTranslation:
            m.off = {v[0], v[1], v[2]};
            break;
        default:
            break;
    }
}

void ReadColumnState(const StateColumns& columns, std::size_t index, std::size_t& texts,
                     std::size_t& /*modes*/, std::size_t& /*flags*/, std::string& value) {
    const StateColumns::Text& column = columns.texts[texts++];
    const std::uint32_t start = column.starts[index];
    value = column.bytes.substr(start, column.starts[index + 1] - start);
}

void ReadColumnState(const StateColumns& columns, std::size_t index, std::size_t& /*texts*/,
                     std::size_t& modes, std::size_t& /*flags*/, Mode& value) {
    value = static_cast<Mode>(columns.modes[modes++].values[index]);
}

void ReadColumnState(const StateColumns& columns, std::size_t index, std::size_t& /*texts*/,
                     std::size_t& /*modes*/, std::size_t& flags, bool& value) {
    value = ((static_cast<unsigned>(columns.flags[index]) >> flags++) & 1U) != 0U;
}

void NameColumn(StateColumns& columns, std::string_view name, const std::string& /*kind*/) {
    columns.texts.push_back({name, {}, {0}});
}
void NameColumn(StateColumns& columns, std::string_view name, Mode /*kind*/) {
    columns.modes.push_back({name, {}});
}
void NameColumn(StateColumns& columns, std::string_view name, bool /*kind*/) {
    columns.flagNames.push_back(name);
}
void NameColumn(StateColumns& columns, std::string_view name, const LocalPlacement& /*kind*/) {
    columns.matrices.push_back({name, {}, {}, {}});
}

}  // namespace

StateColumns::StateColumns() {
    const ObjectStates defaults;
    ForEachState([&](const auto& field, std::uint32_t /*bit*/) {
        NameColumn(*this, field.name, defaults.*field.member);
    });
}

void StateColumns::Add(const ObjectStates& states) {
    std::size_t text = 0;
    std::size_t mode = 0;
    std::size_t flag = 0;
    flags.push_back(0);
    ForEachState([&](const auto& field, std::uint32_t /*bit*/) {
        AddColumnState(*this, text, mode, flag, states.*field.member);
    });
}

ObjectStates StateColumns::StatesAt(std::size_t index) const {
    ObjectStates states;
    std::size_t text = 0;
    std::size_t mode = 0;
    std::size_t flag = 0;
    ForEachState([&](const auto& field, std::uint32_t /*bit*/) {
        ReadColumnState(*this, index, text, mode, flag, states.*field.member);
    });
    return states;
}

json MeshJson(const Mesh& mesh, TextureNumbers& textures) {
    json parts = json::array();
    for (const std::shared_ptr<const MeshPart>& part : mesh.parts) {
        json positions = json::array();
        json normals = json::array();
        json indices = json::array();
        for (const Point& p : part->positions) positions.insert(positions.end(), {p.x, p.y, p.z});
        for (const Point& n : part->normals) normals.insert(normals.end(), {n.x, n.y, n.z});
        for (const Triangle& t : part->triangles) indices.insert(indices.end(), {t.a, t.b, t.c});
        const Color& c = part->baseColor;
        json partJson = {{"name", part->name},
                         {"color", {c.r, c.g, c.b, c.a}},
                         {"positions", std::move(positions)},
                         {"normals", std::move(normals)},
                         {"indices", std::move(indices)}};
        AddPartLooks(partJson, *part, textures);
        parts.push_back(std::move(partJson));
    }
    return {{"parts", std::move(parts)}};
}

}  // namespace vhost::studio
