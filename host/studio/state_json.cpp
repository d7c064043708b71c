#include "studio/state_json.h"

#include "host.h"
#include "model/scene.h"
#include "platform/utf8_path.h"
#include "studio/request_errors.h"
#include "vela2023/vela_ids.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

constexpr std::int32_t kVelaCommand = ID_VELA;
constexpr std::int32_t kIsolationRecord = ID_VELA;  // the command keeps its records under its id

json TransformJson(const Matrix& m) {
    // Column-major 4x4, as three.js's Matrix4.fromArray takes it.
    return json::array({m.v1.x, m.v1.y, m.v1.z, 0, m.v2.x, m.v2.y, m.v2.z, 0, m.v3.x, m.v3.y,
                        m.v3.z, 0, m.off.x, m.off.y, m.off.z, 1});
}

json StatesOf(const Object& object) {
    return {{"name", object.Name()},
            {"editor", ModeName(object.EditorMode())},
            {"render", ModeName(object.RenderMode())},
            {"enabled", object.Enabled()},
            {"selected", object.Selected()},
            {"isolated", object.Data().GetContainerInstance(kIsolationRecord) != nullptr}};
}

// The members that place and draw an object; any change of them is a change of the tree.
json ShapeOf(const Object& object, const ObjectTypes& types, MeshNumbers& meshes) {
    const ObjectType* type = types.Find(object.Type());
    json shape = {{"id", object.Id()},
                  {"parent", object.Up() != nullptr ? object.Up()->Id() : 0},
                  {"type", type != nullptr ? type->token : std::to_string(object.Type())}};
    if (!object.LocalTransform().IsIdentity()) {
        shape["transform"] = TransformJson(object.LocalTransform());
    }
    if (object.GetMesh() != nullptr) shape["mesh"] = meshes.NumberOf(object.GetMesh());
    if (object.Type() == HOST_OBJECT_INSTANCE) {
        const ObjectId link = object.Data().GetLink(HOST_INSTANCE_LINK);
        if (link != 0) shape["link"] = link;
    }
    return shape;
}

json DocumentJson(const StateSources& sources) {
    return {{"name", sources.host.ActiveDocument().Name()},
            {"path", sources.record.path},
            {"changed", sources.record.Changed(sources.host)}};
}

// The button as the host last drew it: the state the command answered at the last refresh.
json ButtonJson(Host& host) {
    const RegisteredCommand* command = host.FindCommand(kVelaCommand);
    if (command == nullptr) {
        return {{"name", "Vela Button"}, {"pressed", false}, {"enabled", false}, {"icon", nullptr}};
    }
    return {{"name", command->name},
            {"pressed", (command->lastState & HOST_COMMAND_CHECKED) != 0},
            {"enabled", (command->lastState & HOST_COMMAND_ENABLED) != 0},
            {"icon", command->icon != nullptr ? json("/api/icon") : json(nullptr)}};
}

json OpenedJson(Host& host) {
    json opened = json::array();
    const std::vector<std::string>& files = host.OpenedFiles();
    for (std::size_t i = 0; i < files.size(); ++i) {
        opened.push_back({{"kind", "file"},
                          {"name", Utf8FromPath(PathFromUtf8(files[i]).filename())},
                          {"url", "/api/opened/" + std::to_string(i)}});
    }
    for (const std::string& url : host.OpenedWebAddresses()) {
        opened.push_back({{"kind", "web"}, {"url", url}});
    }
    return opened;
}

json ConsoleLineJson(const ConsoleLine& line) {
    json out = {{"text", line.text}};
    if (!line.file.empty()) {
        out["file"] = line.file;
        out["line"] = line.line;
    }
    return out;
}

}  // namespace

bool DocumentRecord::Changed(Host& host) const {
    return editedByHand || host.GetActivity().sceneChanges != changesAtStart;
}

std::int64_t MeshNumbers::NumberOf(const std::shared_ptr<const Mesh>& mesh) {
    const auto [found, added] =
        numbers_.try_emplace(mesh.get(), static_cast<std::int64_t>(meshes_.size()) + 1);
    if (added) meshes_.push_back(mesh);
    return found->second;
}

const Mesh* MeshNumbers::Find(std::int64_t number) const {
    if (number < 1 || number > static_cast<std::int64_t>(meshes_.size())) return nullptr;
    return meshes_[static_cast<std::size_t>(number - 1)].get();
}

Snapshot TakeSnapshot(const StateSources& sources) {
    Snapshot snapshot;
    json shapes = json::array();
    const Document& document = sources.host.ActiveDocument();
    shapes.push_back(reinterpret_cast<std::uintptr_t>(&document));
    document.ForEach([&](Object& object) {
        shapes.push_back(ShapeOf(object, sources.host.Types(), sources.meshes));
        snapshot.objects[object.Id()] = StatesOf(object);
        return true;
    });
    snapshot.tree = JsonText(shapes);
    snapshot.document = DocumentJson(sources);
    snapshot.button = ButtonJson(sources.host);
    snapshot.consoleLines = sources.host.Console().size();
    snapshot.window = sources.window;
    snapshot.opened = OpenedJson(sources.host);
    return snapshot;
}

json WholeState(const StateSources& sources, std::uint64_t version) {
    json objects = json::array();
    sources.host.ActiveDocument().ForEach([&](Object& object) {
        json entry = ShapeOf(object, sources.host.Types(), sources.meshes);
        entry.update(StatesOf(object));
        objects.push_back(std::move(entry));
        return true;
    });
    json console = ConsoleLinesFrom(sources.host, 0);
    return {{"version", version},
            {"document", DocumentJson(sources)},
            {"button", ButtonJson(sources.host)},
            {"objects", std::move(objects)},
            {"console", std::move(console)},
            {"window", sources.window},
            {"opened", OpenedJson(sources.host)}};
}

std::vector<json> ConsoleLinesFrom(Host& host, std::size_t first) {
    std::vector<json> lines;
    const std::vector<ConsoleLine>& console = host.Console();
    for (std::size_t i = first; i < console.size(); ++i)
        lines.push_back(ConsoleLineJson(console[i]));
    return lines;
}

json ChangesBetween(const Snapshot& before, const Snapshot& now,
                    const std::vector<json>& newConsoleLines, bool& tree) {
    tree = before.tree != now.tree || now.consoleLines < before.consoleLines;
    if (tree) return json::object();
    json changes = json::object();
    json objects = json::array();
    for (const auto& [id, states] : now.objects) {
        const json& was = before.objects.at(id);
        json changed = {{"id", id}};
        for (const auto& [member, value] : states.items()) {
            if (was.at(member) != value) changed[member] = value;
        }
        if (changed.size() > 1) objects.push_back(std::move(changed));
    }
    if (!objects.empty()) changes["objects"] = std::move(objects);
    auto member = [&](const char* name, const json& old, const json& current) {
        if (old == current) return;
        json diff = current;
        if (current.is_object() && old.is_object()) {
            diff = json::object();
            for (const auto& [key, value] : current.items()) {
                if (!old.contains(key) || old.at(key) != value) diff[key] = value;
            }
        }
        changes[name] = std::move(diff);
    };
    member("document", before.document, now.document);
    member("button", before.button, now.button);
    if (before.window != now.window) changes["window"] = now.window;
    if (before.opened != now.opened) changes["opened"] = now.opened;
    if (!newConsoleLines.empty()) changes["console"] = newConsoleLines;
    return changes.empty() ? json(nullptr) : changes;
}

json MeshJson(const Mesh& mesh) {
    json parts = json::array();
    for (const std::shared_ptr<const MeshPart>& part : mesh.parts) {
        json positions = json::array();
        json normals = json::array();
        json indices = json::array();
        for (const Point& p : part->positions) positions.insert(positions.end(), {p.x, p.y, p.z});
        for (const Point& n : part->normals) normals.insert(normals.end(), {n.x, n.y, n.z});
        for (const Triangle& t : part->triangles) indices.insert(indices.end(), {t.a, t.b, t.c});
        const Color& c = part->baseColor;
        parts.push_back({{"name", part->name},
                         {"color", {c.r, c.g, c.b, c.a}},
                         {"positions", std::move(positions)},
                         {"normals", std::move(normals)},
                         {"indices", std::move(indices)}});
    }
    return {{"parts", std::move(parts)}};
}

}  // namespace vhost::studio
