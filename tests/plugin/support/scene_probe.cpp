#include "support/scene_probe.h"

#include "support/plugin_session.h"

namespace velatest {

SavedRecord RecordOfStates(const States& s) {
    return SavedRecord{static_cast<std::int32_t>(s.editor), static_cast<std::int32_t>(s.render),
                       s.enabled};
}

States StatesOf(const vhost::Object& object) {
    return States{object.EditorMode(), object.RenderMode(), object.Enabled()};
}

void SetStates(vhost::Object& object, const States& states) {
    object.SetEditorMode(states.editor);
    object.SetRenderMode(states.render);
    object.SetEnabled(states.enabled);
}

std::optional<SavedRecord> RecordOf(const vhost::Object& object) {
    const vhost::Container* record = object.Data().GetContainerInstance(kCommandId);
    if (record == nullptr) return std::nullopt;
    return SavedRecord{record->GetInt32(kSavedEditorKey, 2), record->GetInt32(kSavedRenderKey, 2),
                       record->GetBool(kSavedEnabledKey, true)};
}

std::optional<DocumentRecord> DocumentRecordOf(const vhost::Document& document) {
    const vhost::Container* record = document.Data().GetContainerInstance(kCommandId);
    if (record == nullptr) return std::nullopt;
    return DocumentRecord{record->GetInt32(kDocStateKey, 0),
                          record->GetBool(kDocBegunWithAltKey, false)};
}

void PutRecord(vhost::Object& object, const SavedRecord& record) {
    vhost::Container container(kCommandId);
    container.SetInt32(kSavedEditorKey, record.editor);
    container.SetInt32(kSavedRenderKey, record.render);
    container.SetBool(kSavedEnabledKey, record.enabled);
    object.Data().SetContainer(kCommandId, container);
}

std::vector<vhost::Object*> AllObjects(const vhost::Document& document) {
    std::vector<vhost::Object*> objects;
    document.ForEach([&objects](vhost::Object& object) {
        objects.push_back(&object);
        return true;
    });
    return objects;
}

std::vector<vhost::Object*> Subtree(vhost::Object& root) {
    std::vector<vhost::Object*> objects{&root};
    vhost::Object* current = root.Down();
    while (current != nullptr) {
        objects.push_back(current);
        if (current->Down() != nullptr) {
            current = current->Down();
            continue;
        }
        while (current != &root && current->Next() == nullptr) current = current->Up();
        current = current == &root ? nullptr : current->Next();
    }
    return objects;
}

vhost::Object& AddObject(vhost::Document& document, std::int32_t type, std::string_view name,
                         vhost::Object* parent, const States& states, bool selected) {
    vhost::Object* object = document.CreateObject(type, name, vhost::Placement{parent, nullptr});
    SetStates(*object, states);
    if (selected) object->SetBit(vhost::kBitActive);
    return *object;
}

void LinkInstance(vhost::Object& instance, const vhost::Object* target) {
    instance.Data().SetLink(kInstanceLink, target != nullptr ? target->Id() : 0);
}

SceneView ViewOf(const vhost::Document& document) {
    SceneView view;
    for (vhost::Object* object : AllObjects(document)) {
        view[object->Id()] = ObjectView{StatesOf(*object), object->Selected(), RecordOf(*object)};
    }
    return view;
}

std::string ToString(Mode mode) {
    const char* name = vhost::ModeName(mode);
    return name != nullptr ? name : "mode " + std::to_string(static_cast<int>(mode));
}

std::string ToString(const States& states) {
    return "editor " + ToString(states.editor) + ", render " + ToString(states.render) + ", " +
           (states.enabled ? "enabled" : "disabled");
}

std::string ToString(const std::optional<SavedRecord>& record) {
    if (!record) return "no record";
    return "record {" + std::to_string(record->editor) + ", " + std::to_string(record->render) +
           ", " + (record->enabled ? "true" : "false") + "}";
}

std::ostream& operator<<(std::ostream& out, const States& states) {
    return out << ToString(states);
}

std::ostream& operator<<(std::ostream& out, const SavedRecord& record) {
    return out << ToString(std::optional<SavedRecord>(record));
}

std::ostream& operator<<(std::ostream& out, const DocumentRecord& record) {
    return out << "document record {state " << record.state << ", begun with Alt "
               << (record.begunWithAlt ? "true" : "false") << "}";
}

}  // namespace velatest
