#include "actions/perform.h"

#include <array>
#include <cmath>
#include <numbers>
#include <type_traits>
#include <utility>

#include "actions/edit_steps.h"
#include "actions/history.h"
#include "host.h"
#include "import/scene_opening.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_file.h"
#include "shortcuts/shortcut_table.h"
#include "text/quoting.h"
#include "text/utf8.h"

namespace vhost::actions {

namespace {

Outcome NoObject(ObjectId id) {
    return Outcome::Refused(Refusal::NoSuchObject, "there is no object " + std::to_string(id));
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
        return Outcome::Refused(Refusal::NotAChild, "object " + std::to_string(after) +
                                                        " is not a child of the parent given");
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

// The transform that moves by `position`, turns by `degrees` about X, then Y, then Z (each about
// the parent's axes, three.js's XYZ order: the matrix is Rx * Ry * Rz) and scales the turned
// axes by `scale`.
Matrix ComposeTransform(const Vector& position, const Vector& degrees, const Vector& scale) {
    constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
    const double a = std::cos(degrees.x * kRadiansPerDegree);
    const double b = std::sin(degrees.x * kRadiansPerDegree);
    const double c = std::cos(degrees.y * kRadiansPerDegree);
    const double d = std::sin(degrees.y * kRadiansPerDegree);
    const double e = std::cos(degrees.z * kRadiansPerDegree);
    const double f = std::sin(degrees.z * kRadiansPerDegree);
    Matrix matrix;
    matrix.off = position;
    matrix.v1 = {c * e * scale.x, (a * f + b * e * d) * scale.x, (b * f - a * e * d) * scale.x};
    matrix.v2 = {-c * f * scale.y, (a * e - b * f * d) * scale.y, (b * e + a * f * d) * scale.y};
    matrix.v3 = {d * scale.z, -b * c * scale.z, a * c * scale.z};
    return matrix;
}

// Each kind of action, done. `Doer` keeps what every kind may need.
struct Doer {
    Host& host;
    const MayClose& mayClose;
    Progress* progress;

    Document& Active() const { return host.ActiveDocument(); }

    // An edit checked in full becomes a step of the document's history, which does it.
    Outcome Record(Document& document, std::unique_ptr<Step> step) const {
        return HistoryOf(host, document).Do(std::move(step));
    }
    Outcome Record(std::unique_ptr<Step> step) const { return Record(Active(), std::move(step)); }

    // A press is a barrier of the history: no step done before it can be undone, nor one undone
    // before it done again, afterwards. The command changes states and isolation records
    // without a step, so such a step would write values the press made stale into the scene, or
    // take away or bring back objects the isolation's records are counted with (see
    // actions/history.h). Only the document the command acted on is concerned; if the command
    // has closed it meanwhile, its history went with it.
    void EndHistoryAtPress(const Document& acted) const {
        if (host.FindDocument(acted.Serial()) == &acted) HistoryOf(host, acted).Clear();
    }

    Outcome operator()(const PressCommand& press) const {
        if (host.FindCommand(press.command) == nullptr) {
            return Outcome::Refused(
                Refusal::NoSuchCommand,
                "the command " + std::to_string(press.command) + " is not registered");
        }
        Document& acted = Active();
        Outcome outcome;
        outcome.commandResult = InvokeHolding(host, press.command, press.keys);
        EndHistoryAtPress(acted);
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
                Document& acted = Active();
                InvokeHolding(host, match.command, stroke.keys);
                EndHistoryAtPress(acted);
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
        const Object* object = Active().FindById(set.object);
        if (object == nullptr) return NoObject(set.object);
        return Record(StatesStep(Active(), *object, {set.editor, set.render, set.enabled}));
    }

    // A new instance's reference must be an object of the document that will not be above it.
    Outcome CheckNewLink(const AddObject& add, const Placement& where) const {
        if (add.link == 0) return {};
        if (add.type != HOST_OBJECT_INSTANCE) {
            return Outcome::Refused(Refusal::NotAnInstance,
                                    "only an instance object refers to another object");
        }
        if (Active().FindById(add.link) == nullptr) return NoObject(add.link);
        for (const Object* above = where.parent; above != nullptr; above = above->Up()) {
            if (above->Id() == add.link) {
                return Outcome::Refused(Refusal::LinkLoop,
                                        "an instance cannot refer to an object above it");
            }
        }
        return {};
    }

    Outcome operator()(const AddObject& add) const {
        if (host.Types().Find(add.type) == nullptr) {
            return Outcome::Refused(Refusal::NoSuchType,
                                    "unknown object type " + std::to_string(add.type));
        }
        Placement where;
        if (Outcome placed = FindPlace(Active(), add.parent, add.after, where); !placed.Done()) {
            return placed;
        }
        if (Outcome linked = CheckNewLink(add, where); !linked.Done()) return linked;
        if (add.id != 0 && Active().FindById(add.id) != nullptr) {
            return Outcome::Refused(Refusal::IdTaken, "the id " + std::to_string(add.id) +
                                                          " belongs to another object");
        }
        Outcome outcome = Record(AddStep(Active(), add));
        outcome.created = outcome.pasted.at(0);
        outcome.pasted.clear();
        return outcome;
    }

    Outcome operator()(const DeleteObject& erase) const {
        std::vector<const Object*> objects;
        for (const ObjectId id : erase.objects) {
            const Object* object = Active().FindById(id);
            if (object == nullptr) return NoObject(id);
            objects.push_back(object);
        }
        if (objects.empty()) return NoObject(0);
        return Record(DeleteStep(Active(), objects));
    }

    Outcome operator()(const MoveObject& move) const {
        Object* object = Active().FindById(move.object);
        if (object == nullptr) return NoObject(move.object);
        Placement where;
        if (Outcome placed = FindPlace(Active(), move.parent, move.after, where); !placed.Done()) {
            return placed;
        }
        for (const Object* above = where.parent; above != nullptr; above = above->Up()) {
            if (above == object) {
                return Outcome::Refused(Refusal::OwnHierarchy, "cannot move object " +
                                                                   std::to_string(move.object) +
                                                                   " into its own hierarchy");
            }
        }
        return Record(MoveStep(Active(), *object, move.parent, move.after, move.first));
    }

    Outcome operator()(const LinkInstance& link) const {
        Object* instance = Active().FindById(link.instance);
        if (instance == nullptr) return NoObject(link.instance);
        if (instance->Type() != HOST_OBJECT_INSTANCE) {
            return Outcome::Refused(
                Refusal::NotAnInstance,
                "object " + std::to_string(link.instance) + " is not an instance object");
        }
        if (link.target != 0 && Active().FindById(link.target) == nullptr) {
            return NoObject(link.target);
        }
        for (const Object* above = instance; above != nullptr; above = above->Up()) {
            if (above->Id() == link.target) {
                return Outcome::Refused(
                    Refusal::LinkLoop,
                    "an instance cannot refer to itself or to an object above it");
            }
        }
        return Record(LinkStep(Active(), *instance, link.target));
    }

    // A document without takes has, once it gets them, only the main take: the names a refusal
    // sees are those.
    static TakeData& TakesSeen(Document& document, TakeData& fresh) {
        return document.Takes() != nullptr ? *document.Takes() : fresh;
    }

    Outcome operator()(const NewTake& take) const {
        TakeData fresh;
        if (TakesSeen(Active(), fresh).Find(take.name) != nullptr) {
            return Outcome::Refused(Refusal::TakeTaken,
                                    "the document already has a take " + Quoted(take.name));
        }
        return Record(NewTakeStep(Active(), take.name));
    }

    Outcome operator()(const UseTake& use) const {
        TakeData fresh;
        TakeData& seen = TakesSeen(Active(), fresh);
        if (seen.Find(use.name) == nullptr) {
            std::string known;
            for (const auto& each : seen.Takes()) {
                known += (known.empty() ? "" : ", ") + each->Name();
            }
            return Outcome::Refused(Refusal::NoSuchTake,
                                    "no take " + Quoted(use.name) + " (there are: " + known + ")");
        }
        return Record(UseTakeStep(Active(), use.name));
    }

    Outcome operator()(const NewDocument& made) const {
        host.NewDocument(made.name);
        return {};
    }

    Outcome operator()(const OpenDocument& open) const {
        ImportReport report;
        SceneLoadResult loaded = OpenScene(PathFromUtf8(open.path), &report, progress);
        if (loaded.cancelled) {
            return Outcome::Refused(Refusal::Cancelled,
                                    "opening " + Quoted(open.name.empty() ? open.path : open.name) +
                                        " was cancelled; nothing changed");
        }
        if (!loaded.document)
            return Outcome::Refused(Refusal::FileProblem, std::move(loaded.error));
        Document& previous = Active();
        if (open.closeActive && mayClose && !mayClose(previous)) {
            return Outcome::Refused(Refusal::KeptDocument,
                                    Quoted(previous.Name()) + " has changes that are not saved");
        }
        if (!open.name.empty()) loaded.document->SetName(open.name);
        host.AdoptDocument(std::move(loaded.document));
        if (open.closeActive) host.CloseDocument(previous);
        // Told only once the file is open, so an open the person called off says nothing. A
        // dropped file is named as the person knows it, not by the folder it was kept in.
        Outcome opened;
        opened.leftOut = report.Lines(open.name.empty() ? open.path : open.name);
        for (const std::string& line : opened.leftOut) {
            host.WriteConsole({HOST_LOGGER_DEFAULT, HOST_TARGETAUDIENCE_ALL, HOST_WRITEMETA_DEFAULT,
                               line, "host", 0});
        }
        return opened;
    }

    Outcome operator()(const SaveDocument& save) const {
        const SceneSaveResult saved = SaveScene(Active(), PathFromUtf8(save.path), progress);
        if (saved.cancelled) {
            return Outcome::Refused(
                Refusal::Cancelled,
                "saving to " + Quoted(save.path) + " was cancelled; the file is as it was");
        }
        if (!saved.Ok()) return Outcome::Refused(Refusal::FileProblem, saved.error);
        if (save.nameAfterFile) Active().SetName(Utf8FromPath(PathFromUtf8(save.path).filename()));
        return {};
    }

    Outcome operator()(const RenameObject& rename) const {
        const Object* object = Active().FindById(rename.object);
        if (object == nullptr) return NoObject(rename.object);
        if (rename.name.empty())
            return Outcome::Refused(Refusal::BadName, "an object needs a name");
        if (!IsValidUtf8(rename.name)) {
            return Outcome::Refused(
                Refusal::BadName,
                "the name " + Quoted(rename.name) + " is not UTF-8 text, which a scene file holds");
        }
        return Record(RenameStep(Active(), *object, rename.name));
    }

    Outcome operator()(const TransformObject& transform) const {
        const Object* object = Active().FindById(transform.object);
        if (object == nullptr) return NoObject(transform.object);
        const Matrix matrix =
            ComposeTransform(transform.position, transform.rotation, transform.scale);
        if (!matrix.IsFinite()) {
            return Outcome::Refused(Refusal::NotFinite, "a position, rotation or scale of object " +
                                                            std::to_string(transform.object) +
                                                            " is not a finite number");
        }
        std::unique_ptr<Step> step = TransformStep(Active(), *object, matrix);
        if (transform.continues) return HistoryOf(host, Active()).Continue(std::move(step));
        return Record(std::move(step));
    }

    // The copies are made apart first, so a refusal leaves the clipboard as it was.
    Outcome operator()(const CopyObjects& copy) const {
        if (copy.objects.empty())
            return Outcome::Refused(Refusal::NothingToCopy, "nothing to copy");
        std::vector<Object*> objects;
        if (Outcome found = FindAll(Active(), copy.objects, objects); !found.Done()) {
            return found;
        }
        auto copies = std::make_unique<Document>("Clipboard");
        for (const Object* object : objects) {
            if (!HasAncestorAmong(*object, objects)) copies->CopyObject(*object, {});
        }
        Document& clipboard = host.Clipboard();
        clipboard.Clear();
        for (const Object* each = copies->FirstObject(); each != nullptr; each = each->Next()) {
            clipboard.CopyObject(*each, {});
        }
        return {};
    }

    Outcome operator()(const PasteObjects& paste) const {
        Document* into = paste.document == 0 ? &Active() : host.FindDocument(paste.document);
        if (into == nullptr) {
            return Outcome::Refused(
                Refusal::NoSuchDocument,
                "the document to paste into is not open (it may have been closed)");
        }
        if (host.Clipboard().FirstObject() == nullptr) {
            return Outcome::Refused(Refusal::EmptyClipboard, "nothing has been copied");
        }
        Placement where;
        if (Outcome placed = FindPlace(*into, paste.parent, paste.after, where); !placed.Done()) {
            return placed;
        }
        return Record(*into, PasteStep(*into, host.Clipboard(), paste.parent, paste.after));
    }

    Outcome operator()(const SwitchDocument& to) const {
        Document* document = host.FindDocument(to.document);
        if (document == nullptr) return NotOpen();
        host.SetActiveDocument(*document);
        return {};
    }

    Outcome operator()(const CloseDocument& close) const {
        Document* document = close.document == 0 ? &Active() : host.FindDocument(close.document);
        if (document == nullptr) return NotOpen();
        if (mayClose && !mayClose(*document)) {
            return Outcome::Refused(Refusal::KeptDocument,
                                    Quoted(document->Name()) + " has changes that are not saved");
        }
        host.CloseDocument(*document);
        return {};
    }

    Outcome operator()(const Undo& /*undo*/) const { return HistoryOf(host, Active()).Undo(); }
    Outcome operator()(const Redo& /*redo*/) const { return HistoryOf(host, Active()).Redo(); }

    static Outcome NotOpen() {
        return Outcome::Refused(Refusal::NoSuchDocument,
                                "that document is not open (it may have been closed)");
    }

    static bool HasAncestorAmong(const Object& object, const std::vector<Object*>& objects) {
        for (const Object* above = object.Up(); above != nullptr; above = above->Up()) {
            if (std::find(objects.begin(), objects.end(), above) != objects.end()) return true;
        }
        return false;
    }
};

// The names in the order of the alternatives of Action.
constexpr std::array<std::string_view, std::variant_size_v<Action>> kNames{
    "press", "key",      "select",   "deselect", "set",  "add",  "delete", "move",
    "link",  "take new", "take use", "new",      "open", "save", "rename", "transform",
    "copy",  "paste",    "document", "close",    "undo", "redo"};

}  // namespace

std::string_view NameOf(const Action& action) { return kNames.at(action.index()); }

Outcome Perform(Host& host, const Action& action, const MayClose& mayClose, Progress* progress) {
    return std::visit(Doer{host, mayClose, progress}, action);
}

}  // namespace vhost::actions
