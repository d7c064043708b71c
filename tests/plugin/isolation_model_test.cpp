// The command against a reference model: random scenes, random presses with random keys and
// option, random edits between the presses. Before each press the scene is copied into the model,
// the model works out what the press must do, and afterwards every object of the scene is compared
// with it. Independently of the model, every isolation that a press ends by restoring must give the
// objects that were there when it began exactly their states from then.
//
// The run is repeatable: its seed is printed, and VELA_MODEL_SEED sets it. VELA_MODEL_CASES sets
// the number of cases.

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "support/expected_states.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kDefaultCases = 1000;
#else
constexpr int kDefaultCases = 3000;
#endif

// Object types the scenes are made of, and whether the host's plug-in for the type takes its
// children as input.
struct TypeInfo {
    std::int32_t type;
    bool input;
    const char* name;
};
constexpr TypeInfo kTypes[] = {
    {kNull, false, "null"},           {kPolygon, false, "polygon"},
    {kCube, false, "cube"},           {kSphere, false, "sphere"},
    {kSubdivision, true, "subdiv"},   {kSymmetry, true, "symmetry"},
    {kCloner, true, "cloner"},        {kInstance, false, "instance"},
    {kInstance, false, "instance"},   {kInstance, false, "instance"},
    {kUnknownType, false, "unknown"},
};

bool TakesItsChildren(std::int32_t type) {
    for (const TypeInfo& info : kTypes) {
        if (info.type == type) return info.input;
    }
    return false;
}

// The reference model --------------------------------------------------------------------------

struct Node {
    vhost::ObjectId id = 0;
    std::int32_t type = 0;
    int link = -1;  // index of the object an instance refers to in this document, or -1
    States states;
    bool selected = false;
    std::optional<SavedRecord> record;
    int parent = -1;
    std::vector<int> children;
    std::uint32_t messages = 0;  // walk messages received
};

// A copy of a document's tree, indexed in tree order.
struct Scene {
    std::vector<Node> nodes;
    std::vector<int> top;
    std::optional<DocumentRecord> docRecord;

    bool Isolated() const { return docRecord && docRecord->state != 0; }
};

Scene CopyOf(const vhost::Document& document) {
    Scene scene;
    std::unordered_map<vhost::ObjectId, int> index;
    const std::vector<vhost::Object*> objects = AllObjects(document);
    for (const vhost::Object* object : objects) {
        index[object->Id()] = static_cast<int>(scene.nodes.size());
        Node node;
        node.id = object->Id();
        node.type = object->Type();
        node.states = StatesOf(*object);
        node.selected = object->Selected();
        node.record = RecordOf(*object);
        node.messages = object->MessagesReceived(7);
        scene.nodes.push_back(node);
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        Node& node = scene.nodes[i];
        if (objects[i]->Up() != nullptr) {
            node.parent = index.at(objects[i]->Up()->Id());
            scene.nodes[static_cast<std::size_t>(node.parent)].children.push_back(
                static_cast<int>(i));
        } else {
            scene.top.push_back(static_cast<int>(i));
        }
        if (node.type == kInstance) {
            const auto found = index.find(objects[i]->Data().GetLink(kInstanceLink));
            if (found != index.end()) node.link = found->second;
        }
    }
    scene.docRecord = DocumentRecordOf(document);
    return scene;
}

// What the run went through, printed at its end so that a weak run shows.
struct Coverage {
    int isolating = 0;
    int adding = 0;
    int restoring = 0;
    int keeping = 0;
    int unwalked = 0;
    int reveals = 0;
    int revealsLeavingObjectsAlone = 0;
    int isolationsCheckedAtTheEnd = 0;
};

// One press of the command in the main take, worked out on the copy.
class ReferencePress {
public:
    ReferencePress(Scene& scene, std::int32_t mask, bool option, Coverage& coverage)
        : scene_(scene),
          coverage_(coverage),
          flags_(FlagsOf(mask)),
          keepOnRestore_((mask & kCtrl) != 0 && (mask & kAlt) != 0 && option) {}

    // Whether the press ended an isolation by giving the states back.
    bool restored() const { return walk_ == Walk::Restore && !keepOnRestore_; }

    void Run() {
        bool anySelected = false;
        for (const Node& node : scene_.nodes) anySelected = anySelected || node.selected;
        if (scene_.top.empty()) {
            ++coverage_.unwalked;
            scene_.docRecord.reset();
            return;
        }
        if (!scene_.docRecord) scene_.docRecord = DocumentRecord{-1, flags_.enabled};
        walk_ =
            scene_.docRecord->state == 1 ? (flags_.add ? Walk::Add : Walk::Restore) : Walk::Isolate;
        if (walk_ == Walk::Isolate && !anySelected) {
            ++coverage_.unwalked;
            walk_ = Walk::None;
            scene_.docRecord.reset();
            return;
        }
        allowsModes_ = !scene_.docRecord->begunWithAlt;
        switch (walk_) {
            case Walk::Isolate:
                ++coverage_.isolating;
                break;
            case Walk::Add:
                ++coverage_.adding;
                break;
            case Walk::Restore:
                ++(keepOnRestore_ ? coverage_.keeping : coverage_.restoring);
                break;
            case Walk::None:
                break;
        }
        WalkChain(scene_.top);
        if (walk_ == Walk::Restore) {
            scene_.docRecord.reset();
        } else {
            scene_.docRecord->state = 1;
        }
    }

private:
    enum class Walk { None, Isolate, Add, Restore };

    Node& At(int i) { return scene_.nodes[static_cast<std::size_t>(i)]; }

    void WalkChain(const std::vector<int>& chain) {
        for (int i : chain) {
            current_ = i;
            Treat(i);
            ++At(i).messages;
            WalkChain(At(i).children);
        }
    }

    void Treat(int i) {
        const States was = At(i).states;
        const bool selected = At(i).selected;
        switch (walk_) {
            case Walk::Isolate:
                if (!At(i).record) At(i).record = SavedRecord{};
                if (selected) IncludeDependents(i);
                At(i).record = RecordOfStates(was);
                SetAll(At(i), selected);
                break;
            case Walk::Add:
                if (selected) {
                    IncludeDependents(i);
                    if (!At(i).record) At(i).record = SavedRecord{};
                    ShowAdding(At(i));
                } else if (!At(i).record) {
                    At(i).record = RecordOfStates(was);
                    if (flags_.enabled) At(i).states.enabled = false;
                    if (flags_.editor && allowsModes_) At(i).states.editor = Mode::Off;
                    if (flags_.render && allowsModes_) At(i).states.render = Mode::Off;
                }
                break;
            case Walk::Restore:
                if (At(i).record) {
                    if (!keepOnRestore_) {
                        At(i).states =
                            States{static_cast<Mode>(At(i).record->editor),
                                   static_cast<Mode>(At(i).record->render), At(i).record->enabled};
                    }
                    At(i).record.reset();
                }
                break;
            case Walk::None:
                break;
        }
    }

    void SetAll(Node& node, bool on) {
        if (flags_.editor) node.states.editor = on ? Mode::On : Mode::Off;
        if (flags_.render) node.states.render = on ? Mode::On : Mode::Off;
        if (flags_.enabled) node.states.enabled = on;
    }

    void ShowAdding(Node& node) {
        if (flags_.enabled) node.states.enabled = true;
        if (flags_.editor && allowsModes_) node.states.editor = Mode::On;
        if (flags_.render && allowsModes_) node.states.render = Mode::On;
    }

    void SelectDescendants(int i) {
        for (int child : At(i).children) {
            At(child).selected = true;
            SelectDescendants(child);
        }
    }

    void IncludeDependents(int i) {
        if (TakesItsChildren(At(i).type)) SelectDescendants(i);
        if (At(i).type != kInstance || At(i).link < 0) return;
        const int target = At(i).link;
        if (At(target).record) {
            ++coverage_.reveals;
            leftAlone_ = false;
            Reveal(target);
            if (leftAlone_) ++coverage_.revealsLeavingObjectsAlone;
        } else {
            At(target).selected = true;
            SelectDescendants(target);
        }
    }

    // Shows `i` and its descendants, except those the walk has yet to reach: in an isolating walk
    // the objects after the walk's current one, in an adding walk the objects without a record.
    void Reveal(int i) {
        const bool reached = walk_ == Walk::Isolate ? i <= current_ : At(i).record.has_value();
        if (reached) {
            if (flags_.add) {
                ShowAdding(At(i));
            } else {
                SetAll(At(i), true);
            }
        } else {
            leftAlone_ = true;
        }
        for (int child : At(i).children) Reveal(child);
    }

    Scene& scene_;
    Coverage& coverage_;
    const Flags flags_;
    const bool keepOnRestore_;
    Walk walk_ = Walk::None;
    bool allowsModes_ = true;
    int current_ = -1;
    bool leftAlone_ = false;
};

// Random scenes and edits -----------------------------------------------------------------------

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::size_t Below(std::size_t n) {
        return n == 0 ? 0 : static_cast<std::size_t>(engine_() % n);
    }
    bool Chance(int percent) { return Below(100) < static_cast<std::size_t>(percent); }
    Mode AnyMode() { return static_cast<Mode>(Below(3)); }
    States AnyStates() { return States{AnyMode(), AnyMode(), Chance(60)}; }
    template <typename T>
    T& Pick(std::vector<T>& items) {
        return items[Below(items.size())];
    }

private:
    std::mt19937_64 engine_;
};

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31U);
}

std::string PlaceText(const vhost::Placement& where) {
    return (where.parent != nullptr ? "under " + where.parent->Name() : std::string("at the top")) +
           (where.after != nullptr ? " after " + where.after->Name() : std::string(", last"));
}

class SceneEditor {
public:
    SceneEditor(PluginSession& session, Random& random, std::ostringstream& log)
        : session_(session), random_(random), log_(log) {}

    void Populate(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) Create();
        for (vhost::Object* object : AllObjects(Doc())) {
            if (object->Type() == kInstance) Relink(*object);
        }
    }

    void EditSomething() {
        std::vector<vhost::Object*> objects = AllObjects(Doc());
        const std::size_t what = random_.Below(100);
        if (objects.empty() || what < 18) {
            vhost::Object* created = Create();
            if (created != nullptr && created->Type() == kInstance) Relink(*created);
        } else if (what < 28) {
            vhost::Object* victim = random_.Pick(objects);
            log_ << "  delete " << victim->Name() << "\n";
            Doc().DeleteObject(victim);
        } else if (what < 42) {
            vhost::Object* moved = random_.Pick(objects);
            const vhost::Placement where = AnyPlace(objects);
            if (Doc().MoveObject(moved, where)) {
                log_ << "  move " << moved->Name() << " " << PlaceText(where) << "\n";
            }
        } else if (what < 70) {
            vhost::Object* object = random_.Pick(objects);
            if (object->Selected()) {
                object->DelBit(vhost::kBitActive);
            } else {
                object->SetBit(vhost::kBitActive);
            }
            log_ << "  toggle selection of " << object->Name() << "\n";
        } else if (what < 75) {
            Doc().DeselectAll();
            log_ << "  deselect all\n";
        } else if (what < 83) {
            vhost::Object* original = random_.Pick(objects);
            const vhost::Placement where = AnyPlace(objects);
            const std::string place = PlaceText(where);
            vhost::Object* copy = Doc().CopyObject(*original, where);
            if (copy != nullptr) {
                Rename(*copy);
                log_ << "  copy " << original->Name() << " " << place << " as " << copy->Name()
                     << "\n";
            }
        } else if (what < 93) {
            vhost::Object* object = random_.Pick(objects);
            SetStates(*object, random_.AnyStates());
            log_ << "  set " << object->Name() << " to " << ToString(StatesOf(*object)) << "\n";
        } else {
            std::vector<vhost::Object*> instances;
            for (vhost::Object* object : objects) {
                if (object->Type() == kInstance) instances.push_back(object);
            }
            if (!instances.empty()) Relink(*random_.Pick(instances));
        }
    }

private:
    vhost::Document& Doc() { return session_.Doc(); }

    // A place in the tree: top level or under some object, last or after some child.
    vhost::Placement AnyPlace(const std::vector<vhost::Object*>& objects) {
        vhost::Placement where;
        if (!objects.empty() && random_.Chance(70)) {
            where.parent = objects[random_.Below(objects.size())];
        }
        std::vector<vhost::Object*> siblings;
        for (vhost::Object* o = where.parent != nullptr ? where.parent->Down()
                                                        : Doc().FirstObject();
             o != nullptr; o = o->Next()) {
            siblings.push_back(o);
        }
        if (!siblings.empty() && random_.Chance(40)) where.after = random_.Pick(siblings);
        return where;
    }

    void Rename(vhost::Object& root) {
        for (vhost::Object* object : Subtree(root)) {
            object->SetName("o" + std::to_string(nextName_++));
        }
    }

    vhost::Object* Create() {
        const TypeInfo& info = kTypes[random_.Below(std::size(kTypes))];
        const std::vector<vhost::Object*> objects = AllObjects(Doc());
        const vhost::Placement where = AnyPlace(objects);
        vhost::Object* object =
            Doc().CreateObject(info.type, "o" + std::to_string(nextName_++), where);
        if (object == nullptr) return nullptr;
        SetStates(*object, random_.AnyStates());
        if (random_.Chance(30)) object->SetBit(vhost::kBitActive);
        log_ << "  create " << object->Name() << " " << info.name << " " << PlaceText(where) << ", "
             << ToString(StatesOf(*object)) << (object->Selected() ? ", selected" : "") << "\n";
        return object;
    }

    // Points an instance at an ancestor, itself, nothing, or anything else.
    void Relink(vhost::Object& instance) {
        std::vector<vhost::Object*> ancestors;
        for (vhost::Object* up = instance.Up(); up != nullptr; up = up->Up()) {
            ancestors.push_back(up);
        }
        std::vector<vhost::Object*> objects = AllObjects(Doc());
        const vhost::Object* target = nullptr;
        const std::size_t choice = random_.Below(100);
        if (choice < 30 && !ancestors.empty()) {
            target = random_.Pick(ancestors);
        } else if (choice < 45) {
            target = &instance;
        } else if (choice < 55) {
            target = nullptr;
        } else {
            target = random_.Pick(objects);
        }
        LinkInstance(instance, target);
        log_ << "  link " << instance.Name() << " to "
             << (target != nullptr ? target->Name() : std::string("nothing")) << "\n";
    }

    PluginSession& session_;
    Random& random_;
    std::ostringstream& log_;
    int nextName_ = 0;
};

// Comparison ------------------------------------------------------------------------------------

void ExpectSceneMatches(const Scene& expected, const vhost::Document& document) {
    const Scene actual = CopyOf(document);
    ASSERT_EQ(actual.nodes.size(), expected.nodes.size()) << "the press changed the tree";
    for (std::size_t i = 0; i < expected.nodes.size(); ++i) {
        const Node& want = expected.nodes[i];
        const Node& got = actual.nodes[i];
        ASSERT_EQ(got.id, want.id) << "the press changed the tree";
        const std::string name = document.FindById(got.id)->Name();
        EXPECT_EQ(got.states, want.states) << name;
        EXPECT_EQ(got.selected, want.selected) << name << " selection";
        EXPECT_EQ(got.record, want.record) << name << " record";
        EXPECT_EQ(got.messages, want.messages) << name << " walk messages";
    }
    EXPECT_EQ(actual.docRecord, expected.docRecord);
}

std::uint64_t SeedFromEnvironment() {
    if (const char* text = std::getenv("VELA_MODEL_SEED"); text != nullptr && *text != '\0') {
        return std::strtoull(text, nullptr, 0);
    }
    return (static_cast<std::uint64_t>(std::random_device{}()) << 32U) ^ std::random_device{}();
}

int CasesFromEnvironment() {
    if (const char* text = std::getenv("VELA_MODEL_CASES"); text != nullptr && *text != '\0') {
        return std::atoi(text);
    }
    return kDefaultCases;
}

// One case: a random scene and a run of presses and edits. Stops at the first press that differs
// from the model, with the log of what led there.
void RunCase(std::uint64_t caseSeed, Coverage& coverage) {
    Random random(caseSeed);
    PluginSession session;
    ASSERT_EQ(session.LoadError(), "");
    ASSERT_EQ(session.InitAnswer(), 1);
    ASSERT_EQ(session.ResourceAnswer(), 1);
    ASSERT_EQ(session.StartAnswer(), 1);
    std::ostringstream log;
    SceneEditor editor(session, random, log);
    // Mostly small scenes, where every kind of relation between objects is likely; now and then a
    // larger one.
    editor.Populate(random.Chance(80) ? random.Below(20) : 20 + random.Below(60));

    // The states of the objects when the running isolation began.
    std::optional<std::unordered_map<vhost::ObjectId, States>> atIsolationStart;
    const int presses = 4 + static_cast<int>(random.Below(9));
    for (int press = 0; press < presses; ++press) {
        const std::int32_t mask = static_cast<std::int32_t>(random.Below(8));
        const bool option = random.Chance(50);
        session.SetKeepOption(option);
        log << "press " << MaskName(mask) << (option ? ", option on" : ", option off") << "\n";

        Scene model = CopyOf(session.Doc());
        const bool wasIsolated = model.Isolated();
        std::unordered_map<vhost::ObjectId, States> before;
        for (const Node& node : model.nodes) before[node.id] = node.states;
        ReferencePress reference(model, mask, option, coverage);
        reference.Run();
        const std::size_t lines = session.Host().Console().size();

        const bool result = session.Press(mask);

        EXPECT_TRUE(result);
        EXPECT_EQ(session.Host().Console().size(), lines + 1);
        ExpectSceneMatches(model, session.Doc());
        EXPECT_EQ(session.State(), model.Isolated() ? kIsolated : kNotIsolated);

        if (!wasIsolated && model.Isolated()) {
            atIsolationStart = before;
        } else if (wasIsolated && !model.Isolated()) {
            if (reference.restored() && atIsolationStart) {
                ++coverage.isolationsCheckedAtTheEnd;
                for (const auto& [id, states] : *atIsolationStart) {
                    if (const vhost::Object* object = session.Doc().FindById(id)) {
                        EXPECT_EQ(StatesOf(*object), states)
                            << object->Name() << " after the isolation ended";
                    }
                }
            }
            atIsolationStart.reset();
        }
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "case seed " << caseSeed << ", the steps up to here:\n" << log.str();
            return;
        }

        const int edits = static_cast<int>(random.Below(5));
        for (int e = 0; e < edits; ++e) editor.EditSomething();
    }
}

TEST(IsolationModel, RandomScenesPressesAndEditsFollowTheModel) {
    const std::uint64_t seed = SeedFromEnvironment();
    const int cases = CasesFromEnvironment();
    std::cout << "VELA_MODEL_SEED=" << seed << " (" << cases << " cases)" << std::endl;
    ::testing::Test::RecordProperty("seed", std::to_string(seed));
    Coverage coverage;
    for (int i = 0; i < cases; ++i) {
        RunCase(Mix(seed + static_cast<std::uint64_t>(i)), coverage);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "repeat with VELA_MODEL_SEED=" << seed << " (case " << i << ")";
            return;
        }
    }
    std::cout << "presses: " << coverage.isolating << " isolating, " << coverage.adding
              << " adding, " << coverage.restoring << " restoring, " << coverage.keeping
              << " ending without restoring, " << coverage.unwalked << " without a walk; "
              << coverage.reveals << " reveals, " << coverage.revealsLeavingObjectsAlone
              << " of them leaving unreached objects alone; " << coverage.isolationsCheckedAtTheEnd
              << " isolations checked against the states they began with" << std::endl;
}

}  // namespace
}  // namespace velatest
