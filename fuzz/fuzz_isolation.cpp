// The module in the host, driven by the input: a scene is built from the first bytes, then the
// rest is a run of presses of the command (with random qualifier keys and option) and edits
// between them (objects made, deleted, moved, copied, selected, changed, instances relinked, the
// scene saved and opened again). One host loads and starts the built module file once per process,
// as the application does, and every input gets a new document in it, closed at the end. (The
// module stays loaded: unloading it would also unmap libFuzzer's coverage counters in it.)
//
// Checked after every press: the press succeeded; a press that leaves the document not isolated
// leaves no record on the document or any object; and a press that ends an isolation by restoring
// gives every object that was there when the isolation began the states it had then.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "actions/perform.h"
#include "fuzz_check.h"
#include "fuzz_host.h"
#include "host.h"
#include "model/scene.h"
#include "scene_file/scene_file.h"
#include "vela2023/vela_ids.h"

namespace {

constexpr std::int32_t kCommandId = ID_VELA;  // the command, and the id of every record
constexpr std::int32_t kSettingsId = ID_VELASETTINGS;
constexpr std::int32_t kKeepOptionKey = VELASETTINGS_KEEP_VISIBILITY;
constexpr std::int32_t kIsolated = HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED;
constexpr std::int32_t kNotIsolated = HOST_COMMAND_ENABLED;
constexpr std::int32_t kInstance = HOST_OBJECT_INSTANCE;
constexpr std::int32_t kInstanceLink = HOST_INSTANCE_LINK;

// Plain objects, generators that ignore or take their children, instances, and a type no plug-in
// of the host has.
constexpr std::array<std::int32_t, 8> kTypes{
    HOST_OBJECT_NULL,       HOST_OBJECT_POLYGON,  vhost::kObjectCube, vhost::kObjectSubdivision,
    vhost::kObjectSymmetry, vhost::kObjectCloner, kInstance,          424242};
constexpr std::size_t kMaxObjects = 48;
constexpr int kMaxReopenings = 2;

using vhost::Mode;
using vhost::Object;

struct States {
    Mode editor = Mode::Default;
    Mode render = Mode::Default;
    bool enabled = true;
    bool operator==(const States&) const = default;
};

States StatesOf(const Object& object) {
    return {object.EditorMode(), object.RenderMode(), object.Enabled()};
}

class Run {
public:
    Run(vhost::Host& host, FuzzedDataProvider& input) : host_(&host), input_(input) {
        host_->NewDocument("Fuzz");
        host_->ClearConsole();
    }
    ~Run() { host_->CloseDocument(Doc()); }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    void Populate() {
        const std::size_t count = input_.ConsumeIntegralInRange<std::size_t>(0, 24);
        for (std::size_t i = 0; i < count; ++i) Create();
        for (Object* object : vfuzz::AllObjects(Doc())) {
            if (object->Type() == kInstance) Relink(*object);
        }
    }

    void Steps() {
        while (input_.remaining_bytes() > 0) {
            const int what = input_.ConsumeIntegralInRange(0, 15);
            if (what < 5) {
                Press();
            } else {
                Edit(what);
            }
        }
        Press();
    }

private:
    vhost::Document& Doc() { return host_->ActiveDocument(); }

    Object* PickObject() {
        const std::vector<Object*> objects = vfuzz::AllObjects(Doc());
        if (objects.empty()) return nullptr;
        return objects[input_.ConsumeIntegralInRange<std::size_t>(0, objects.size() - 1)];
    }

    vhost::Placement PickPlace() {
        vhost::Placement where;
        if (input_.ConsumeBool()) where.parent = PickObject();
        if (input_.ConsumeBool()) {
            Object* after = where.parent != nullptr ? where.parent->Down() : Doc().FirstObject();
            for (int skip = input_.ConsumeIntegralInRange(0, 3); after != nullptr && skip > 0;
                 --skip) {
                after = after->Next();
            }
            where.after = after;
        }
        return where;
    }

    States PickStates() {
        return {static_cast<Mode>(input_.ConsumeIntegralInRange(0, 2)),
                static_cast<Mode>(input_.ConsumeIntegralInRange(0, 2)), input_.ConsumeBool()};
    }

    static void SetStates(Object& object, const States& states) {
        object.SetEditorMode(states.editor);
        object.SetRenderMode(states.render);
        object.SetEnabled(states.enabled);
    }

    void Create() {
        if (Doc().ObjectCount() >= kMaxObjects) return;
        const std::int32_t type = kTypes[input_.ConsumeIntegralInRange<std::size_t>(0, 7)];
        Object* object = Doc().CreateObject(type, "o", PickPlace());
        if (object == nullptr) return;
        SetStates(*object, PickStates());
        if (input_.ConsumeBool()) object->SetBit(vhost::kBitActive);
    }

    // Points an instance at nothing, itself, or any object; an instance's target may itself be an
    // instance, so links can run in cycles.
    void Relink(Object& instance) {
        const Object* target = input_.ConsumeBool() ? PickObject() : nullptr;
        instance.Data().SetLink(kInstanceLink, target != nullptr ? target->Id() : 0);
    }

    void Edit(int what) {
        Object* object = PickObject();
        if (object == nullptr || what == 5) {
            Create();
            return;
        }
        switch (what) {
            case 6:
                Perform(vhost::actions::DeleteObject{{object->Id()}});
                break;
            case 7:
                Move(*object, PickPlace());
                break;
            case 8:
                if (Doc().ObjectCount() < kMaxObjects) Doc().CopyObject(*object, PickPlace());
                break;
            case 9:
            case 10:
            case 14:
                Perform(vhost::actions::SelectObjects{{object->Id()},
                                                      vhost::actions::SelectHow::Toggle});
                break;
            case 11: {
                const States states = PickStates();
                Perform(vhost::actions::SetStates{object->Id(), states.editor, states.render,
                                                  states.enabled});
                break;
            }
            case 12:
                if (object->Type() == kInstance) Relink(*object);
                break;
            case 13:
                Perform(vhost::actions::DeselectObjects{});
                break;
            default:
                // Writing and parsing the scene costs more than everything else an input does;
                // a few times per input reach what it can reach.
                if (reopenings_ < kMaxReopenings) {
                    ++reopenings_;
                    SaveAndReopen();
                }
                break;
        }
    }

    // A person's action on the document; a refused one (a move into the moved object's own
    // hierarchy) changes nothing.
    vhost::actions::Outcome Perform(const vhost::actions::Action& action) {
        return vhost::actions::Perform(*host_, action);
    }

    void Move(const Object& object, vhost::Placement where) {
        Perform(vhost::actions::MoveObject{object.Id(), IdOf(where.parent), IdOf(where.after)});
    }

    static vhost::ObjectId IdOf(const Object* object) {
        return object != nullptr ? object->Id() : 0;
    }

    // The scene goes to a file's text and comes back as a new document, as a person saves, closes
    // and opens it; the records travel with it.
    void SaveAndReopen() {
        const vhost::SceneTextResult text = vhost::SerializeScene(Doc());
        vfuzz::Require(text.Ok(), "the scene can be saved: " + text.error);
        vhost::SceneLoadResult loaded = vhost::ParseScene(text.text, "saved.json");
        vfuzz::Require(loaded.Ok(), "the saved scene opens: " + loaded.error);
        vhost::Document& old = Doc();
        host_->AdoptDocument(std::move(loaded.document));
        host_->CloseDocument(old);
    }

    void SetOption(bool on) {
        vhost::Container* settings = host_->WorldContainer().GetContainerInstance(kSettingsId);
        vfuzz::Require(settings != nullptr, "the page made its settings at start-up");
        settings->SetInt32(kKeepOptionKey, on ? 1 : 0);
    }

    void Press() {
        const std::int32_t mask = input_.ConsumeIntegralInRange(0, 7);
        const bool option = input_.ConsumeBool();
        SetOption(option);
        const bool wasIsolated = host_->QueryCommandState(kCommandId) == kIsolated;
        std::unordered_map<vhost::ObjectId, States> before;
        for (const Object* object : vfuzz::AllObjects(Doc()))
            before[object->Id()] = StatesOf(*object);

        const vhost::actions::Outcome pressed =
            Perform(vhost::actions::PressCommand{kCommandId, mask});
        vfuzz::Require(pressed.commandResult, "the press succeeds");

        const std::int32_t state = host_->QueryCommandState(kCommandId);
        vfuzz::Require(state == kIsolated || state == kNotIsolated, "the state is known");
        const bool isolated = state == kIsolated;
        if (!isolated) RequireNoRecords();
        if (!wasIsolated && isolated) {
            atIsolationStart_ = std::move(before);
        } else if (wasIsolated && !isolated) {
            const bool keepOnRestore =
                (mask & HOST_QUALIFIER_CTRL) != 0 && (mask & HOST_QUALIFIER_ALT) != 0 && option;
            if ((mask & HOST_QUALIFIER_SHIFT) != 0) {
                vfuzz::Require(Doc().FirstObject() == nullptr,
                               "a press with Shift ends an isolation only when no object is left");
            } else if (!keepOnRestore && atIsolationStart_) {
                RequireStatesOf(*atIsolationStart_);
            }
            atIsolationStart_.reset();
        }
    }

    void RequireNoRecords() {
        vfuzz::Require(Doc().Data().GetContainerInstance(kCommandId) == nullptr,
                       "a document that is not isolated has no record");
        for (const Object* object : vfuzz::AllObjects(Doc())) {
            vfuzz::Require(object->Data().GetContainerInstance(kCommandId) == nullptr,
                           "no object keeps a record when the document is not isolated");
        }
    }

    void RequireStatesOf(const std::unordered_map<vhost::ObjectId, States>& states) {
        for (const auto& [id, then] : states) {
            if (const Object* object = Doc().FindById(id)) {
                vfuzz::Require(StatesOf(*object) == then,
                               "the restore gives object " + std::to_string(id) +
                                   " its states from when the isolation began");
            }
        }
    }

    vhost::Host* host_;
    FuzzedDataProvider& input_;
    std::optional<std::unordered_map<vhost::ObjectId, States>> atIsolationStart_;
    int reopenings_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Run run(vfuzz::StartedHost(VELA_MODULE_FILE), input);
    run.Populate();
    run.Steps();
    return 0;
}
