#include "actions/perform.h"

#include <array>
#include <type_traits>
#include <utility>

#include "host.h"
#include "import/scene_opening.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_file.h"
#include "shortcuts/shortcut_table.h"
#include "text/quoting.h"

namespace vhost::actions {

namespace {

Outcome Refused(Refusal refusal, std::string message) {
    Outcome outcome;
    outcome.refusal = refusal;
    outcome.message = std::move(message);
    return outcome;
}

Outcome NoObject(ObjectId id) {
    return Refused(Refusal::NoSuchObject, "there is no object " + std::to_string(id));
}

// The objects `ids` name, all of them, or the refusal of the first id that names none.
Outcome FindAll(const Document& document, const std::vector<ObjectId>& ids,
                std::vector<Object*>& objects) {
    objects.reserve(ids.size());
    for (const ObjectId id : ids) {
        Object* object = document.FindById(id);
        if (object == nullptr) return NoObject(id);
        objects.push_back(object);
    }
    return {};
}

// The place `parent` and `after` name (0: the top level, last among the children), or why none.
Outcome FindPlace(const Document& document, ObjectId parent, ObjectId after, Placement& where) {
    if (parent != 0 && (where.parent = document.FindById(parent)) == nullptr) {
        return NoObject(parent);
    }
    if (after != 0 && (where.after = document.FindById(after)) == nullptr) return NoObject(after);
    if (where.after != nullptr && where.after->Up() != where.parent) {
        return Refused(Refusal::NotAChild,
                       "object " + std::to_string(after) + " is not a child of the parent given");
    }
    return {};
}

// The one place that holds keys around a command: the keyboard reports `keys` while it runs and
// what it held before afterwards.
bool InvokeHolding(Host& host, std::int32_t command, std::int32_t keys) {
    const std::int32_t held = host.Qualifiers();
    host.SetQualifiers(keys);
    const bool result = host.InvokeCommand(command);
    host.SetQualifiers(held);
    return result;
}

void SetSelected(Object& object, bool selected) {
    if (selected) {
        object.SetBit(kBitActive);
    } else {
        object.DelBit(kBitActive);
    }
}

// Each kind of action, done. `Doer` keeps what every kind may need.
struct Doer {
    Host& host;
    const MayClose& mayClose;

    Document& Active() const { return host.ActiveDocument(); }

    Outcome operator()(const PressCommand& press) const {
        if (host.FindCommand(press.command) == nullptr) {
            return Refused(Refusal::NoSuchCommand,
                           "the command " + std::to_string(press.command) + " is not registered");
        }
        Outcome outcome;
        outcome.commandResult = InvokeHolding(host, press.command, press.keys);
        return outcome;
    }

    // A stroke that only begins a shortcut of several strokes is taken and waits for the next.
    // A complete shortcut runs a registered command, or is noted in the table's log of the
    // host's own commands; a shortcut whose command is neither (its module has gone) runs
    // nothing and the stroke is not taken.
    Outcome operator()(const StrokeKey& stroke) const {
        ShortcutTable& table = host.Shortcuts();
        const KeyMatch match = table.Press(KeyStroke{stroke.keys, stroke.key});
        Outcome outcome;
        if (match.kind == KeyMatch::Kind::Pending) {
            outcome.keyTaken = true;
        } else if (match.kind == KeyMatch::Kind::Complete) {
            if (host.FindCommand(match.command) != nullptr) {
                InvokeHolding(host, match.command, stroke.keys);
                outcome.keyTaken = true;
            } else if (ShortcutTable::FindBuiltin(match.command) != nullptr) {
                table.NoteBuiltinRun(match.command);
                outcome.keyTaken = true;
            }
        }
        return outcome;
    }

    Outcome operator()(const SelectObjects& select) const {
        std::vector<Object*> objects;
        if (Outcome found = FindAll(Active(), select.objects, objects); !found.Done()) {
            return found;
        }
        if (select.how == SelectHow::Replace) Active().DeselectAll();
        for (Object* object : objects) {
            const bool selected = select.how != SelectHow::Toggle || !object->Selected();
            if (select.children) {
                Document::ForEachInSubtree(
                    *object, [selected](Object& each) { SetSelected(each, selected); });
            } else {
                SetSelected(*object, selected);
            }
        }
        return {};
    }

    Outcome operator()(const DeselectObjects& deselect) const {
        std::vector<Object*> objects;
        if (Outcome found = FindAll(Active(), deselect.objects, objects); !found.Done()) {
            return found;
        }
        if (deselect.objects.empty()) Active().DeselectAll();
        for (Object* object : objects) object->DelBit(kBitActive);
        return {};
    }

    Outcome operator()(const SetStates& set) const {
        Object* object = Active().FindById(set.object);
        if (object == nullptr) return NoObject(set.object);
        if (set.editor) object->SetEditorMode(*set.editor);
        if (set.render) object->SetRenderMode(*set.render);
        if (set.enabled) object->SetEnabled(*set.enabled);
        return {};
    }

    Outcome operator()(const AddObject& add) const {
        if (host.Types().Find(add.type) == nullptr) {
            return Refused(Refusal::NoSuchType, "unknown object type " + std::to_string(add.type));
        }
        Placement where;
        if (Outcome placed = FindPlace(Active(), add.parent, add.after, where); !placed.Done()) {
            return placed;
        }
        Object* object = Active().CreateObject(add.type, add.name, where, add.id);
        if (object == nullptr) {
            return Refused(Refusal::IdTaken,
                           "the id " + std::to_string(add.id) + " belongs to another object");
        }
        object->SetEditorMode(add.editor);
        object->SetRenderMode(add.render);
        object->SetEnabled(add.enabled);
        if (add.selected) object->SetBit(kBitActive);
        Outcome outcome;
        outcome.created = object->Id();
        return outcome;
    }

    Outcome operator()(const DeleteObject& erase) const {
        Object* object = Active().FindById(erase.object);
        if (object == nullptr) return NoObject(erase.object);
        Active().DeleteObject(object);
        return {};
    }

    Outcome operator()(const MoveObject& move) const {
        Object* object = Active().FindById(move.object);
        if (object == nullptr) return NoObject(move.object);
        Placement where;
        if (Outcome placed = FindPlace(Active(), move.parent, move.after, where); !placed.Done()) {
            return placed;
        }
        if (!Active().MoveObject(object, where)) {
            return Refused(
                Refusal::OwnHierarchy,
                "cannot move object " + std::to_string(move.object) + " into its own hierarchy");
        }
        return {};
    }

    Outcome operator()(const LinkInstance& link) const {
        Object* instance = Active().FindById(link.instance);
        if (instance == nullptr) return NoObject(link.instance);
        if (instance->Type() != HOST_OBJECT_INSTANCE) {
            return Refused(Refusal::NotAnInstance, "object " + std::to_string(link.instance) +
                                                       " is not an instance object");
        }
        if (link.target == 0) {
            instance->Data().Remove(HOST_INSTANCE_LINK);
            return {};
        }
        if (Active().FindById(link.target) == nullptr) return NoObject(link.target);
        instance->Data().SetLink(HOST_INSTANCE_LINK, link.target);
        return {};
    }

    // A document without takes has, once it gets them, only the main take: the names a refusal
    // sees are those.
    static TakeData& TakesSeen(Document& document, TakeData& fresh) {
        return document.Takes() != nullptr ? *document.Takes() : fresh;
    }

    Outcome operator()(const NewTake& take) const {
        TakeData fresh;
        if (TakesSeen(Active(), fresh).Find(take.name) != nullptr) {
            return Refused(Refusal::TakeTaken,
                           "the document already has a take " + Quoted(take.name));
        }
        Active().EnsureTakeData();
        Active().Takes()->AddTake(take.name);
        return {};
    }

    Outcome operator()(const UseTake& use) const {
        TakeData fresh;
        TakeData& seen = TakesSeen(Active(), fresh);
        if (seen.Find(use.name) == nullptr) {
            std::string known;
            for (const auto& each : seen.Takes()) {
                known += (known.empty() ? "" : ", ") + each->Name();
            }
            return Refused(Refusal::NoSuchTake,
                           "no take " + Quoted(use.name) + " (there are: " + known + ")");
        }
        Active().EnsureTakeData();
        Active().Takes()->SetCurrent(Active().Takes()->Find(use.name));
        return {};
    }

    Outcome operator()(const NewDocument& made) const {
        host.NewDocument(made.name);
        return {};
    }

    Outcome operator()(const OpenDocument& open) const {
        ImportReport report;
        SceneLoadResult loaded = OpenScene(PathFromUtf8(open.path), &report);
        if (!loaded.document) return Refused(Refusal::FileProblem, std::move(loaded.error));
        Document& previous = Active();
        if (open.closeActive && mayClose && !mayClose(previous)) {
            return Refused(Refusal::KeptDocument,
                           Quoted(previous.Name()) + " has changes that are not saved");
        }
        if (!open.name.empty()) loaded.document->SetName(open.name);
        host.AdoptDocument(std::move(loaded.document));
        if (open.closeActive) host.CloseDocument(previous);
        // Told only once the file is open, so an open the person called off says nothing. A
        // dropped file is named as the person knows it, not by the folder it was kept in.
        Outcome opened;
        opened.leftOut = report.Lines(open.name.empty() ? open.path : open.name);
        WriteToConsole(host, opened.leftOut);
        return opened;
    }

    Outcome operator()(const SaveDocument& save) const {
        const SceneSaveResult saved = SaveScene(Active(), PathFromUtf8(save.path));
        if (!saved.Ok()) return Refused(Refusal::FileProblem, saved.error);
        if (save.nameAfterFile) Active().SetName(Utf8FromPath(PathFromUtf8(save.path).filename()));
        return {};
    }
};

// The names in the order of the alternatives of Action.
constexpr std::array<std::string_view, std::variant_size_v<Action>> kNames{
    "press", "key",  "select",   "deselect", "set", "add",  "delete",
    "move",  "link", "take new", "take use", "new", "open", "save"};

}  // namespace

std::string_view NameOf(const Action& action) { return kNames.at(action.index()); }

Outcome Perform(Host& host, const Action& action, const MayClose& mayClose) {
    return std::visit(Doer{host, mayClose}, action);
}

}  // namespace vhost::actions
