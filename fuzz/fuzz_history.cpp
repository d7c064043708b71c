// The history of edits, driven by the input through the host's actions: two open documents get
// random runs of edits (objects added, deleted, moved, renamed, placed, copied and pasted, also
// into the other document, their states set, instances linked, takes added and made current),
// undos, redos, switches between the documents and presses of the real module. One host loads and
// starts the module once per process, as fuzz_isolation's does; every input gets two new
// documents, closed at the end, and an empty clipboard.
//
// Checked, each document on its own (a document's history is its own):
// - every edit done is one step, and a refused edit changes nothing;
// - an undo gives back the scene text the document had before the step it takes back, a redo the
//   text it had after it; nothing to undo or redo is refused only when there is none;
// - before every press and at the end, undoing everything gives back the scene the document had
//   at its last press (or when it was made), and redoing everything then the scene it had;
// - a press ends the history of the document it acted on, and only of that one;
// - a press in a take other than the main take leaves the scene text as it was;
// - a press that restores gives every object with a record the states its record holds, and
//   leaves no record behind.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "actions/history.h"
#include "actions/perform.h"
#include "fuzz_check.h"
#include "fuzz_host.h"
#include "host.h"
#include "model/scene.h"
#include "scene_file/scene_file.h"
#include "vela2023/vela_ids.h"

namespace {

namespace actions = vhost::actions;
using vhost::Object;
using vhost::ObjectId;

constexpr std::int32_t kCommandId = ID_VELA;  // the command, and the id of every record
constexpr std::int32_t kIsolated = HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED;
constexpr std::array<std::int32_t, 8> kTypes{
    HOST_OBJECT_NULL,     HOST_OBJECT_POLYGON,  vhost::kObjectCube,   vhost::kObjectSubdivision,
    HOST_OBJECT_INSTANCE, HOST_OBJECT_INSTANCE, vhost::kObjectCloner, 424242};
constexpr std::array<const char*, 5> kNames{"Main", "Wheel", "Wheel FL", "", "\xff\xfe"};
constexpr std::array<const char*, 4> kTakes{"Main", "Night", "Day", "Wet"};
constexpr std::size_t kMaxObjects = 40;
constexpr int kMaxSteps = 160;

std::string TextOf(const vhost::Document& document) {
    const vhost::SceneTextResult text = vhost::SerializeScene(document);
    vfuzz::Require(text.Ok(), "the scene can be saved: " + text.error);
    return text.text + text.meshFile;
}

// What a document's history must give back: the scene text after each step done since its last
// press, the first one at that press, and how many of them are done now.
struct Track {
    std::vector<std::string> texts;
    std::size_t done = 0;
};

class Run {
public:
    Run(vhost::Host& host, FuzzedDataProvider& input) : host_(host), input_(input) {
        host_.Clipboard().Clear();
        other_ = host_.NewDocument("Other").Serial();
        first_ = host_.NewDocument("Fuzz").Serial();
        Populate();
        for (const std::uint64_t serial : {first_, other_}) Restart(serial);
    }
    ~Run() {
        for (const std::uint64_t serial : {first_, other_}) {
            if (vhost::Document* document = host_.FindDocument(serial)) {
                host_.CloseDocument(*document);
            }
        }
        host_.Clipboard().Clear();
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void Steps() {
        for (int step = 0; step < kMaxSteps && input_.remaining_bytes() > 0; ++step) {
            const int what = input_.ConsumeIntegralInRange(0, 19);
            if (what < 2) {
                Press();
            } else if (what < 4) {
                UndoOrRedo(what == 2);
            } else if (what == 4) {
                const std::uint64_t to = Active().Serial() == first_ ? other_ : first_;
                Require(actions::Perform(host_, actions::SwitchDocument{to}).Done(),
                        "an open document can be made the active one");
            } else {
                Edit(what);
            }
        }
        for (const std::uint64_t serial : {first_, other_}) {
            host_.SetActiveDocument(*host_.FindDocument(serial));
            UndoAllAndRedoAll();
        }
    }

private:
    static void Require(bool holds, const std::string& what) { vfuzz::Require(holds, what); }

    vhost::Document& Active() { return host_.ActiveDocument(); }
    Track& TrackOf(const vhost::Document& document) { return tracks_[document.Serial()]; }
    actions::History& HistoryOf(const vhost::Document& document) {
        return actions::HistoryOf(host_, document);
    }

    // A few objects made directly, as a file holds them, before any step.
    void Populate() {
        const std::size_t count = input_.ConsumeIntegralInRange<std::size_t>(0, 12);
        for (std::size_t i = 0; i < count; ++i) {
            const std::vector<Object*> objects = vfuzz::AllObjects(Active());
            vhost::Placement where;
            if (!objects.empty() && input_.ConsumeBool()) {
                where.parent =
                    objects[input_.ConsumeIntegralInRange<std::size_t>(0, objects.size() - 1)];
            }
            Object* made = Active().CreateObject(
                kTypes[input_.ConsumeIntegralInRange<std::size_t>(0, kTypes.size() - 2)], "o",
                where);
            if (made != nullptr && input_.ConsumeBool()) made->SetBit(vhost::kBitActive);
        }
    }

    void Restart(std::uint64_t serial) {
        const vhost::Document& document = *host_.FindDocument(serial);
        tracks_[serial] = Track{{TextOf(document)}, 0};
    }

    ObjectId PickId(const vhost::Document& document) {
        const std::vector<Object*> objects = vfuzz::AllObjects(document);
        if (objects.empty() || input_.ConsumeIntegralInRange(0, 15) == 0) {
            return input_.ConsumeIntegralInRange<ObjectId>(0, 3);  // none, or perhaps gone
        }
        return objects[input_.ConsumeIntegralInRange<std::size_t>(0, objects.size() - 1)]->Id();
    }
    ObjectId PickId() { return PickId(Active()); }

    // A place among the document's objects: mostly one that is there (the top level or under an
    // object, last or after one of the parent's children), sometimes any ids at all.
    std::pair<ObjectId, ObjectId> PickPlace(const vhost::Document& document) {
        if (input_.ConsumeIntegralInRange(0, 7) == 0) return {PickId(document), PickId(document)};
        const ObjectId parent = input_.ConsumeBool() ? 0 : PickId(document);
        const Object* above = document.FindById(parent);
        std::vector<ObjectId> children;
        for (const Object* child = above != nullptr ? above->Down() : document.FirstObject();
             child != nullptr; child = child->Next()) {
            children.push_back(child->Id());
        }
        if (children.empty() || input_.ConsumeBool()) return {parent, 0};
        return {parent,
                children[input_.ConsumeIntegralInRange<std::size_t>(0, children.size() - 1)]};
    }
    std::pair<ObjectId, ObjectId> PickPlace() { return PickPlace(Active()); }

    double PickNumber() {
        switch (input_.ConsumeIntegralInRange(0, 12)) {
            case 0:
                return std::numeric_limits<double>::quiet_NaN();
            case 1:
                return std::numeric_limits<double>::infinity();
            default:
                return input_.ConsumeFloatingPointInRange(-1000.0, 1000.0);
        }
    }
    vhost::Vector PickVector() { return {PickNumber(), PickNumber(), PickNumber()}; }

    vhost::Mode PickMode() { return static_cast<vhost::Mode>(input_.ConsumeIntegralInRange(0, 2)); }

    void Edit(int what) {
        const bool full = Active().ObjectCount() >= kMaxObjects;
        switch (what) {
            case 5:
                if (!full) {
                    const auto [parent, after] = PickPlace();
                    Record(Active(), actions::AddObject{
                                         .type = kTypes[input_.ConsumeIntegralInRange<std::size_t>(
                                             0, kTypes.size() - 1)],
                                         .name = "added",
                                         .parent = parent,
                                         .after = after,
                                         .editor = PickMode(),
                                         .enabled = input_.ConsumeBool()});
                }
                break;
            case 6:
                Record(Active(), actions::DeleteObject{{PickId()}});
                break;
            case 7:
            case 8: {
                const ObjectId moved = PickId();
                const auto [parent, after] = PickPlace();
                Record(Active(), actions::MoveObject{moved, parent, after});
                break;
            }
            case 9:
                Record(
                    Active(),
                    actions::RenameObject{
                        PickId(),
                        kNames[input_.ConsumeIntegralInRange<std::size_t>(0, kNames.size() - 1)]});
                break;
            case 10:
                Record(Active(), actions::TransformObject{PickId(), PickVector(), PickVector(),
                                                          PickVector()});
                break;
            case 11:
                // Not a step: the clipboard is the host's, and the document does not change.
                Record(Active(), actions::CopyObjects{{PickId(), PickId()}});
                break;
            case 12: {
                vhost::Document& into =
                    input_.ConsumeBool()
                        ? Active()
                        : *host_.FindDocument(Active().Serial() == first_ ? other_ : first_);
                if (into.ObjectCount() < kMaxObjects) {
                    const auto [parent, after] = PickPlace(into);
                    Record(into, actions::PasteObjects{into.Serial(), parent, after});
                }
                break;
            }
            case 13:
            case 14:
                Record(Active(),
                       actions::SetStates{PickId(), PickMode(), PickMode(), input_.ConsumeBool()});
                break;
            case 15:
            case 16:
                Record(Active(), actions::LinkInstance{PickId(), PickId()});
                break;
            case 17:
                Record(Active(), actions::NewTake{PickTake()});
                break;
            default:
                Record(Active(), actions::UseTake{PickTake()});
                break;
        }
    }

    std::string PickTake() {
        return kTakes[input_.ConsumeIntegralInRange<std::size_t>(0, kTakes.size() - 1)];
    }

    // An edit of `document`: done, it is one new step and the text after it is kept; refused,
    // or an action that is no edit, it leaves the text as it was.
    void Record(vhost::Document& document, const actions::Action& action) {
        Track& track = TrackOf(document);
        const std::size_t stepsBefore = HistoryOf(document).UndoCount();
        const actions::Outcome outcome = actions::Perform(host_, action);
        const std::string text = TextOf(document);
        if (!outcome.Done() || outcome.step.empty()) {
            Require(text == track.texts[track.done],
                    std::string(actions::NameOf(action)) + ", refused or no edit, changes nothing");
            Require(HistoryOf(document).UndoCount() == stepsBefore, "nor the history");
            return;
        }
        Require(HistoryOf(document).UndoCount() == stepsBefore + 1 &&
                    HistoryOf(document).RedoCount() == 0,
                std::string(actions::NameOf(action)) + " is one step, and nothing is left to redo");
        track.texts.resize(track.done + 1);
        track.texts.push_back(text);
        ++track.done;
    }

    void UndoOrRedo(bool undo) {
        Track& track = TrackOf(Active());
        const actions::Outcome outcome = undo ? actions::Perform(host_, actions::Undo{})
                                              : actions::Perform(host_, actions::Redo{});
        const bool possible = undo ? track.done > 0 : track.done + 1 < track.texts.size();
        Require(outcome.Done() == possible,
                undo ? "an undo is refused only with nothing to undo: " + outcome.message
                     : "a redo is refused only with nothing to redo: " + outcome.message);
        if (!outcome.Done()) {
            Require(outcome.refusal ==
                        (undo ? actions::Refusal::NothingToUndo : actions::Refusal::NothingToRedo),
                    "the refusal says there is nothing");
            return;
        }
        track.done = undo ? track.done - 1 : track.done + 1;
        Require(TextOf(Active()) == track.texts[track.done],
                undo ? "an undo gives back the scene from before its step"
                     : "a redo gives back the scene from after its step");
    }

    // Undoing everything gives the scene of the last press; redoing as many steps gives back the
    // scene of now.
    void UndoAllAndRedoAll() {
        Track& track = TrackOf(Active());
        const std::size_t done = track.done;
        for (std::size_t i = 0; i < done; ++i) {
            Require(actions::Perform(host_, actions::Undo{}).Done(),
                    "every step done can be undone");
        }
        Require(!actions::Perform(host_, actions::Undo{}).Done(), "then nothing is left to undo");
        Require(TextOf(Active()) == track.texts.front(),
                "undoing everything gives back the scene of the last press");
        for (std::size_t i = 0; i < done; ++i) {
            Require(actions::Perform(host_, actions::Redo{}).Done(),
                    "every step undone can be redone");
        }
        Require(TextOf(Active()) == track.texts[done],
                "redoing everything undone gives back the scene it had");
    }

    bool InMainTake() {
        const vhost::TakeData* takes = Active().Takes();
        return takes != nullptr && takes->CurrentTake() == takes->Takes().front().get();
    }

    void Press() {
        UndoAllAndRedoAll();
        vhost::Document& acted = Active();
        const std::uint64_t other = acted.Serial() == first_ ? other_ : first_;
        const std::size_t otherSteps = HistoryOf(*host_.FindDocument(other)).UndoCount();
        const std::int32_t mask = input_.ConsumeIntegralInRange(0, 7);
        if (input_.ConsumeBool()) {
            actions::Perform(host_,
                             actions::SelectObjects{
                                 {PickId()}, actions::SelectHow::Toggle, input_.ConsumeBool()});
        }
        const bool wasIsolated = host_.QueryCommandState(kCommandId) == kIsolated;
        const bool inMain = InMainTake();
        std::unordered_map<ObjectId, std::array<std::int32_t, 3>> recorded;
        for (const Object* object : vfuzz::AllObjects(acted)) {
            if (const vhost::Container* record = object->Data().GetContainerInstance(kCommandId)) {
                recorded[object->Id()] = {record->GetInt32(VELA_SAVED_EDITOR_MODE, 2),
                                          record->GetInt32(VELA_SAVED_RENDER_MODE, 2),
                                          record->GetBool(VELA_SAVED_ENABLED, true) ? 1 : 0};
            }
        }
        const std::string before = TextOf(acted);

        actions::Perform(host_, actions::PressCommand{kCommandId, mask});

        Require(HistoryOf(acted).UndoCount() == 0 && HistoryOf(acted).RedoCount() == 0,
                "a press ends the history of the document it acted on");
        Require(HistoryOf(*host_.FindDocument(other)).UndoCount() == otherSteps,
                "and only of that one");
        if (!inMain) {
            Require(TextOf(acted) == before, "a press outside the main take changes nothing");
        } else if (wasIsolated && mask == 0) {
            RequireRestored(acted, recorded);
        }
        Restart(acted.Serial());
    }

    void RequireRestored(
        const vhost::Document& document,
        const std::unordered_map<ObjectId, std::array<std::int32_t, 3>>& recorded) {
        Require(host_.QueryCommandState(kCommandId) != kIsolated, "a plain press restores");
        for (const auto& [id, states] : recorded) {
            const Object* object = document.FindById(id);
            Require(object != nullptr, "a restore removes no object");
            Require(static_cast<std::int32_t>(object->EditorMode()) == states[0] &&
                        static_cast<std::int32_t>(object->RenderMode()) == states[1] &&
                        (object->Enabled() ? 1 : 0) == states[2],
                    "the restore gives object " + std::to_string(id) + " its recorded states");
        }
        for (const Object* object : vfuzz::AllObjects(document)) {
            Require(object->Data().GetContainerInstance(kCommandId) == nullptr,
                    "no record is left after a restore");
        }
    }

    vhost::Host& host_;
    FuzzedDataProvider& input_;
    std::uint64_t first_ = 0;
    std::uint64_t other_ = 0;
    std::unordered_map<std::uint64_t, Track> tracks_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Run run(vfuzz::StartedHost(VELA_MODULE_FILE), input);
    run.Steps();
    return 0;
}
