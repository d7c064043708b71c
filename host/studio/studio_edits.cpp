// The person's edits of the active document's objects, and undo and redo: each is the action a
// session script runs (actions/action.h), done through Perform, so it becomes one step of the
// document's history. A refused action answers the action's own sentence.
#include <algorithm>
#include <cctype>
#include <limits>
#include <string>
#include <vector>

#include "actions/perform.h"
#include "host.h"
#include "studio/request_errors.h"
#include "studio/studio_actions.h"
#include "text/quoting.h"

namespace vhost::studio {

namespace {

using nlohmann::json;

// The answer's status for a refusal: 404 for an object that is not there, 409 when the document
// is not as the request expects (nothing to undo, nothing copied, a document closed meanwhile),
// 400 for a request that no document could take.

// Does `action`; refuses the request with the action's sentence when it is refused.
actions::Outcome Done(Host& host, const actions::Action& action) {
    actions::Outcome outcome = actions::Perform(host, action);
    if (!outcome.Done()) RefuseAction(outcome);
    return outcome;
}

// An object of the active document named by the body's `name` member (an id); 0 when the member
// is absent or 0 (the top level).
ObjectId OptionalObject(Host& host, const json& body, const char* name) {
    if (!body.contains(name) || body.at(name).is_null()) return 0;
    const json& value = body.at(name);
    if (!value.is_number_integer()) {
        Refuse(400, std::string("\"") + name + "\" must be an object's id, or 0 for none.");
    }
    const std::int64_t id = value.get<std::int64_t>();
    if (id == 0) return 0;
    if (id < 0 || static_cast<std::uint64_t>(id) > std::numeric_limits<ObjectId>::max() ||
        host.ActiveDocument().FindById(static_cast<ObjectId>(id)) == nullptr) {
        Refuse(404, "There is no object " + std::to_string(id) + ".");
    }
    return static_cast<ObjectId>(id);
}

const Object& RequiredObject(Host& host, const json& body, const char* name) {
    const ObjectId id = OptionalObject(host, body, name);
    if (id == 0) Refuse(400, std::string("The request needs \"") + name + "\", an object's id.");
    return *host.ActiveDocument().FindById(id);
}

// The objects of `ids`, each once; an object below another one given goes with that one.
std::vector<ObjectId> TopmostObjects(Host& host, const json& body) {
    if (!body.contains("ids") || !body.at("ids").is_array() || body.at("ids").empty()) {
        Refuse(400, "\"ids\" must be a list of object ids.");
    }
    std::vector<const Object*> objects;
    for (const json& id : body.at("ids")) {
        const json one = {{"id", id}};
        objects.push_back(&RequiredObject(host, one, "id"));
    }
    std::vector<ObjectId> topmost;
    for (const Object* object : objects) {
        bool below = false;
        for (const Object* above = object->Up(); above != nullptr && !below; above = above->Up()) {
            below = std::find(objects.begin(), objects.end(), above) != objects.end();
        }
        if (!below && std::find(topmost.begin(), topmost.end(), object->Id()) == topmost.end()) {
            topmost.push_back(object->Id());
        }
    }
    return topmost;
}

// A vector member [x, y, z]; a number JSON cannot hold (null) reads as not a number, so that the
// action refuses it with its sentence.
Vector VectorField(const json& body, const char* name, const Vector& otherwise) {
    if (!body.contains(name)) return otherwise;
    const json& value = body.at(name);
    if (!value.is_array() || value.size() != 3) {
        Refuse(400, std::string("\"") + name + "\" must be three numbers [x, y, z].");
    }
    double xyz[3] = {};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const json& number = value.at(axis);
        if (number.is_null()) {
            xyz[axis] = std::numeric_limits<double>::quiet_NaN();
        } else if (number.is_number()) {
            xyz[axis] = number.get<double>();
        } else {
            Refuse(400, std::string("\"") + name + "\" must be three numbers [x, y, z].");
        }
    }
    return {xyz[0], xyz[1], xyz[2]};
}

// The types the Create menu makes, as scripts name them.
constexpr const char* kCreatable[] = {"null",  "cube",  "sphere", "cylinder", "cone",
                                      "plane", "light", "camera", "instance"};

const ObjectType& CreatableType(Host& host, const std::string& token) {
    const bool listed =
        std::find(std::begin(kCreatable), std::end(kCreatable), token) != std::end(kCreatable);
    const ObjectType* type = listed ? host.Types().FindByToken(token) : nullptr;
    if (type == nullptr) {
        Refuse(400, Quoted(token) +
                        " is not a type the studio creates: null, cube, sphere, cylinder, cone, "
                        "plane, light, camera or instance.");
    }
    return *type;
}

json StepAnswer(const actions::Outcome& outcome) { return {{"step", outcome.step}}; }

}  // namespace

json StudioActions::Rename(const json& body) {
    const Object& object = RequiredObject(host_, body, "id");
    const actions::Outcome renamed =
        Done(host_, actions::RenameObject{object.Id(), RequiredString(body, "name")});
    return StepAnswer(renamed);
}

json StudioActions::Transform(const json& body) {
    const Object& object = RequiredObject(host_, body, "id");
    const actions::TransformObject transform{.object = object.Id(),
                                             .position = VectorField(body, "position", {}),
                                             .rotation = VectorField(body, "rotation", {}),
                                             .scale = VectorField(body, "scale", {1.0, 1.0, 1.0}),
                                             .continues = OptionalBool(body, "continues", false)};
    const actions::Outcome transformed = Done(host_, transform);
    return StepAnswer(transformed);
}

json StudioActions::Create(const json& body) {
    const ObjectType& type = CreatableType(host_, RequiredString(body, "type"));
    const ObjectId parent = OptionalObject(host_, body, "parent");
    const ObjectId after = OptionalObject(host_, body, "after");
    const ObjectId link = OptionalObject(host_, body, "link");
    std::string name = type.name;
    if (link != 0) name = host_.ActiveDocument().FindById(link)->Name() + " Instance";
    const actions::Outcome added =
        Done(host_,
             actions::AddObject{
                 .type = type.type, .name = name, .parent = parent, .after = after, .link = link});
    return {{"step", added.step}, {"ids", json::array({added.created})}};
}

json StudioActions::Delete(const json& body) {
    const actions::Outcome deleted =
        Done(host_, actions::DeleteObject{TopmostObjects(host_, body)});
    return {{"step", deleted.step}};
}

// The body names the new parent and the sibling the object goes before (none: last), as a drop
// on a row's edge does; the action takes the sibling it goes after.
json StudioActions::Move(const json& body) {
    const Object& object = RequiredObject(host_, body, "id");
    const ObjectId parent = OptionalObject(host_, body, "parent");
    const ObjectId beforeId = OptionalObject(host_, body, "before");
    for (const Object* above = host_.ActiveDocument().FindById(parent); above != nullptr;
         above = above->Up()) {
        if (above == &object) {
            Refuse(400, Quoted(object.Name()) + " cannot go inside itself or an object below it.");
        }
    }
    actions::MoveObject move{.object = object.Id(), .parent = parent};
    if (beforeId != 0) {
        const Object& before = *host_.ActiveDocument().FindById(beforeId);
        const ObjectId beforeParent = before.Up() != nullptr ? before.Up()->Id() : 0;
        if (beforeParent != parent) {
            Refuse(400, Quoted(before.Name()) + " is not a child of the parent given.");
        }
        if (&before == &object || before.Pred() == &object) return {{"step", nullptr}};
        move.after = before.Pred() != nullptr ? before.Pred()->Id() : 0;
        move.first = before.Pred() == nullptr;
    }
    const actions::Outcome moved = Done(host_, move);
    return StepAnswer(moved);
}

json StudioActions::Copy(const json& body) {
    Done(host_, actions::CopyObjects{TopmostObjects(host_, body)});
    return json::object();
}

// A copy and a delete: the copy is no step of the history, so the cut is undone as the delete.
json StudioActions::Cut(const json& body) {
    const std::vector<ObjectId> objects = TopmostObjects(host_, body);
    Done(host_, actions::CopyObjects{objects});
    const actions::Outcome deleted = Done(host_, actions::DeleteObject{objects});
    return {{"step", deleted.step}};
}

json StudioActions::Paste(const json& body) {
    std::uint64_t document = 0;
    if (body.contains("document")) {
        if (!body.at("document").is_number_unsigned()) {
            Refuse(400, "\"document\" must be the serial of an open document.");
        }
        document = body.at("document").get<std::uint64_t>();
    }
    actions::PasteObjects paste{.document = document};
    if (document == 0) {
        paste.parent = OptionalObject(host_, body, "parent");
        paste.after = OptionalObject(host_, body, "after");
    }
    const actions::Outcome pasted = Done(host_, paste);
    return {{"step", pasted.step}, {"ids", pasted.pasted}};
}

json StudioActions::Undo(const json& /*body*/) {
    const actions::Outcome undone = Done(host_, actions::Undo{});
    return StepAnswer(undone);
}

json StudioActions::Redo(const json& /*body*/) {
    const actions::Outcome redone = Done(host_, actions::Redo{});
    return StepAnswer(redone);
}

}  // namespace vhost::studio
