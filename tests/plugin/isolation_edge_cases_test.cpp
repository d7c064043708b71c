// The isolation command in the situations around its main road: keys and the option, objects that
// come and go while a document is isolated, takes and missing settings, generators and instances,
// records brought in by copies, and what the host sees of a press.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/expected_states.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {
namespace {

constexpr States kOnOnEnabled{Mode::On, Mode::On, true};
constexpr States kDefaults{Mode::Default, Mode::Default, true};

std::uint32_t WalkMessages(const vhost::Object& object) { return object.MessagesReceived(7); }

// Two-level scene most cases start from: a selected object under an unselected parent, its
// unselected child, and an unselected neighbour, each with its own states.
class IsolationEdgeCases : public PluginTest {
protected:
    void BuildSmallScene() {
        parent_ = &AddObject(Doc(), kNull, "Parent", nullptr, {Mode::Default, Mode::Off, true});
        chosen_ =
            &AddObject(Doc(), kPolygon, "Chosen", parent_, {Mode::Default, Mode::On, false}, true);
        child_ = &AddObject(Doc(), kNull, "Child", chosen_, {Mode::On, Mode::Default, true});
        neighbour_ = &AddObject(Doc(), kCube, "Neighbour", nullptr, {Mode::Off, Mode::Off, false});
    }

    vhost::Object* parent_ = nullptr;
    vhost::Object* chosen_ = nullptr;
    vhost::Object* child_ = nullptr;
    vhost::Object* neighbour_ = nullptr;
};

// Plain presses -----------------------------------------------------------------------------------

TEST_F(IsolationEdgeCases, PlainPressHidesTheParentAndChildOfTheSelectionAndGivesAllBack) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press());
    EXPECT_EQ(parent_->EditorMode(), Mode::Off);
    EXPECT_EQ(chosen_->EditorMode(), Mode::On);
    EXPECT_EQ(child_->EditorMode(), Mode::Off);
    EXPECT_EQ(neighbour_->EditorMode(), Mode::Off);
    // Only the editor mode changes without keys.
    EXPECT_EQ(parent_->RenderMode(), Mode::Off);
    EXPECT_EQ(chosen_->RenderMode(), Mode::On);
    EXPECT_FALSE(chosen_->Enabled());
    EXPECT_EQ(RecordOf(*parent_), (SavedRecord{2, 1, true}));
    EXPECT_EQ(RecordOf(*chosen_), (SavedRecord{2, 0, false}));

    ASSERT_TRUE(Press());
    EXPECT_EQ(ViewOf(Doc()), before);
    EXPECT_EQ(parent_->EditorMode(), Mode::Default);
    EXPECT_EQ(chosen_->EditorMode(), Mode::Default);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
}

TEST_F(IsolationEdgeCases, NothingSelectedLeavesTheDocumentAsItWasWhateverTheKeys) {
    BuildSmallScene();
    chosen_->DelBit(vhost::kBitActive);
    const SceneView before = ViewOf(Doc());
    for (std::int32_t mask = 0; mask < 8; ++mask) {
        SCOPED_TRACE(MaskName(mask));
        const std::size_t lines = Host().Console().size();
        EXPECT_TRUE(Press(mask));
        EXPECT_EQ(ViewOf(Doc()), before);
        EXPECT_FALSE(Doc().Data().Has(kCommandId));
        EXPECT_EQ(State(), kNotIsolated);
        EXPECT_EQ(Host().Console().size(), lines + 1);
        for (const vhost::Object* object : AllObjects(Doc())) EXPECT_EQ(WalkMessages(*object), 0U);
    }
}

TEST_F(IsolationEdgeCases, AltAloneChangesOnlyTheEnabledState) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press(kAlt));
    EXPECT_EQ(StatesOf(*parent_), (States{Mode::Default, Mode::Off, false}));
    EXPECT_EQ(StatesOf(*chosen_), (States{Mode::Default, Mode::On, true}));
    EXPECT_EQ(StatesOf(*child_), (States{Mode::On, Mode::Default, false}));
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, true}));

    ASSERT_TRUE(Press());
    EXPECT_EQ(ViewOf(Doc()), before);
}

TEST_F(IsolationEdgeCases, KeysBeyondShiftCtrlAltAreIgnoredAndAnUnreadableKeyboardMeansNoKeys) {
    BuildSmallScene();
    ASSERT_TRUE(Press(kCtrl | 8 | 64 | 1024));
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(StatesOf(*chosen_), (States{Mode::On, Mode::On, false}));
    ASSERT_TRUE(Press());

    const SceneView before = ViewOf(Doc());
    Host().SetKeyboardAvailable(false);
    ASSERT_TRUE(Press(kShift | kCtrl | kAlt));
    EXPECT_EQ(StatesOf(*chosen_), (States{Mode::On, Mode::On, false}));
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, false}));
    // Shift is not seen either: the second press restores instead of adding.
    ASSERT_TRUE(Press(kShift));
    EXPECT_EQ(ViewOf(Doc()), before);
    EXPECT_EQ(State(), kNotIsolated);
}

// Ctrl+Alt and the option -------------------------------------------------------------------------

TEST_F(IsolationEdgeCases, CtrlAltWithTheOptionOnEndsTheIsolationKeepingWhatItShows) {
    BuildSmallScene();
    ASSERT_TRUE(Press(kCtrl));
    const SceneView isolated = ViewOf(Doc());
    // The option is read at every press, not once.
    Session().SetKeepOption(true);

    ASSERT_TRUE(Press(kCtrl | kAlt));
    EXPECT_EQ(State(), kNotIsolated);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
    for (vhost::Object* object : AllObjects(Doc())) {
        SCOPED_TRACE(object->Name());
        EXPECT_EQ(StatesOf(*object), isolated.at(object->Id()).states);
        EXPECT_FALSE(object->Data().Has(kCommandId));
    }
}

TEST_F(IsolationEdgeCases, CtrlAltWithTheOptionOffRestores) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kCtrl | kAlt));
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(StatesOf(*chosen_), kOnOnEnabled);
    ASSERT_TRUE(Press(kCtrl | kAlt));
    EXPECT_EQ(ViewOf(Doc()), before);
    EXPECT_EQ(State(), kNotIsolated);
}

TEST_F(IsolationEdgeCases, CtrlAltWithTheOptionOnIsolatesAsWithItOff) {
    BuildSmallScene();
    Session().SetKeepOption(true);
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kCtrl | kAlt));
    EXPECT_EQ(State(), kIsolated);
    EXPECT_EQ(StatesOf(*parent_), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(StatesOf(*chosen_), kOnOnEnabled);
    for (vhost::Object* object : AllObjects(Doc())) {
        EXPECT_EQ(RecordOf(*object), RecordOfStates(before.at(object->Id()).states));
    }
    // A press that ends it without Alt restores even with the option on.
    ASSERT_TRUE(Press(kCtrl));
    EXPECT_EQ(ViewOf(Doc()), before);
}

TEST_F(IsolationEdgeCases, ShiftCtrlAltWithTheOptionOnAddsToAnIsolationInsteadOfEndingIt) {
    BuildSmallScene();
    Session().SetKeepOption(true);
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press());
    ASSERT_TRUE(Press(kShift | kCtrl | kAlt));
    EXPECT_EQ(State(), kIsolated);
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, false}));
    EXPECT_EQ(StatesOf(*chosen_), kOnOnEnabled);
    // Objects with a record that are not selected are left as they are by adding.
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(StatesOf(*parent_), (States{Mode::Off, Mode::Off, true}));
    ASSERT_TRUE(Press());
    EXPECT_EQ(ViewOf(Doc()), before);
}

TEST_F(IsolationEdgeCases, WithTheOptionOnOnlyCtrlAltEndsAnIsolationWithoutRestoring) {
    BuildSmallScene();
    Session().SetKeepOption(true);
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kCtrl | kAlt));
    ASSERT_TRUE(Press(kAlt));
    EXPECT_EQ(ViewOf(Doc()), before);
    ASSERT_TRUE(Press(kAlt));
    ASSERT_TRUE(Press(kCtrl));
    EXPECT_EQ(ViewOf(Doc()), before);
}

// Shift -------------------------------------------------------------------------------------------

TEST_F(IsolationEdgeCases, ShiftInADocumentThatIsNotIsolatedIsolatesLikeAPlainPress) {
    BuildSmallScene();
    vhost::Document& plain = Doc();
    vhost::Document& shifted = Host().NewDocument("Shifted");
    for (const vhost::Object* object : AllObjects(plain)) {
        // Same scene: copy the top-level objects with their subtrees.
        if (object->Up() == nullptr) shifted.CopyObject(*object, {});
    }

    ASSERT_TRUE(Press(kShift));
    Host().SetActiveDocument(plain);
    ASSERT_TRUE(Press());

    EXPECT_EQ(DocumentRecordOf(plain), DocumentRecordOf(shifted));
    const std::vector<vhost::Object*> a = AllObjects(plain);
    const std::vector<vhost::Object*> b = AllObjects(shifted);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(a[i]->Name());
        EXPECT_EQ(StatesOf(*a[i]), StatesOf(*b[i]));
        EXPECT_EQ(RecordOf(*a[i]), RecordOf(*b[i]));
        EXPECT_EQ(a[i]->Selected(), b[i]->Selected());
    }
}

TEST_F(IsolationEdgeCases, ShiftAddsObjectsCreatedSinceAndTheRestoreGivesThemTheirRecords) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press());
    chosen_->DelBit(vhost::kBitActive);
    // Changed by hand during the isolation; the record of an old object is kept by adding.
    neighbour_->SetEditorMode(Mode::On);
    vhost::Object& newChosen =
        AddObject(Doc(), kSphere, "New Chosen", parent_, {Mode::Off, Mode::Off, false}, true);
    vhost::Object& newOther =
        AddObject(Doc(), kNull, "New Other", nullptr, {Mode::On, Mode::Default, true});
    const std::size_t lines = Host().Console().size();

    ASSERT_TRUE(Press(kShift | kCtrl));
    EXPECT_EQ(Host().Console().size(), lines + 1);
    EXPECT_EQ(State(), kIsolated);
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, false}));
    EXPECT_EQ(StatesOf(newChosen), (States{Mode::On, Mode::On, false}));
    EXPECT_EQ(RecordOf(newChosen), RecordOfStates(kDefaults));
    EXPECT_EQ(StatesOf(newOther), (States{Mode::Off, Mode::Off, true}));
    EXPECT_EQ(RecordOf(newOther), (SavedRecord{0, 2, true}));
    EXPECT_EQ(neighbour_->EditorMode(), Mode::On);
    EXPECT_EQ(RecordOf(*neighbour_), RecordOfStates(before.at(neighbour_->Id()).states));
    EXPECT_EQ(StatesOf(*chosen_), (States{Mode::On, Mode::On, false}));

    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(newChosen), kDefaults);
    EXPECT_EQ(StatesOf(newOther), (States{Mode::On, Mode::Default, true}));
    for (const auto& [id, view] : before) {
        const vhost::Object* object = Doc().FindById(id);
        SCOPED_TRACE(object->Name());
        EXPECT_EQ(StatesOf(*object), view.states);
    }
    for (const vhost::Object* object : AllObjects(Doc())) {
        EXPECT_FALSE(object->Data().Has(kCommandId)) << object->Name();
    }
}

TEST_F(IsolationEdgeCases, AnObjectCreatedWhileIsolatedIsLeftAloneByAPlainRestore) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kCtrl | kAlt));
    vhost::Object& late =
        AddObject(Doc(), kPolygon, "Late", child_, {Mode::Default, Mode::Off, false}, true);

    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(late), (States{Mode::Default, Mode::Off, false}));
    EXPECT_FALSE(late.Data().Has(kCommandId));
    for (const auto& [id, view] : before) {
        EXPECT_EQ(StatesOf(*Doc().FindById(id)), view.states);
    }
}

TEST_F(IsolationEdgeCases, AnIsolationBegunWithAltIsAddedToWithShiftCtrlAltOnlyInEnabledStates) {
    BuildSmallScene();
    vhost::Object& earlier = *parent_;
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kAlt));
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, true}));

    neighbour_->SetBit(vhost::kBitActive);
    vhost::Object& newChosen =
        AddObject(Doc(), kCube, "New Chosen", nullptr, {Mode::Off, Mode::Default, false}, true);
    vhost::Object& newOther =
        AddObject(Doc(), kCube, "New Other", nullptr, {Mode::On, Mode::Default, true});
    // An instance added to the isolation reveals its earlier target the same way.
    vhost::Object& pointer =
        AddObject(Doc(), kInstance, "Pointer", nullptr, {Mode::Off, Mode::Off, false}, true);
    LinkInstance(pointer, &earlier);

    ASSERT_TRUE(Press(kShift | kCtrl | kAlt));
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, true}));
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, true}));
    EXPECT_EQ(StatesOf(newChosen), (States{Mode::Off, Mode::Default, true}));
    EXPECT_EQ(StatesOf(newOther), (States{Mode::On, Mode::Default, false}));
    EXPECT_EQ(StatesOf(pointer), (States{Mode::Off, Mode::Off, true}));
    EXPECT_EQ(StatesOf(earlier), (States{Mode::Default, Mode::Off, true}));
    EXPECT_EQ(StatesOf(*child_), (States{Mode::On, Mode::Default, true}));
    EXPECT_EQ(RecordOf(earlier), RecordOfStates(before.at(earlier.Id()).states));

    ASSERT_TRUE(Press());
    for (const auto& [id, view] : before) {
        EXPECT_EQ(StatesOf(*Doc().FindById(id)), view.states);
    }
    EXPECT_EQ(StatesOf(newChosen), kDefaults);
    EXPECT_EQ(StatesOf(newOther), (States{Mode::On, Mode::Default, true}));
}

// Takes, settings, empty documents ----------------------------------------------------------------

TEST_F(IsolationEdgeCases, InAnotherTakeThePressWritesItsLineAndTouchesNothing) {
    BuildSmallScene();
    vhost::TakeData& takes = *Doc().Takes();
    takes.SetCurrent(takes.AddTake("Close-up"));
    const SceneView before = ViewOf(Doc());
    Host().ClearConsole();
    Host().GetActivity().Reset();

    EXPECT_TRUE(Press());

    ASSERT_EQ(Host().Console().size(), 1U);
    const vhost::ConsoleLine& line = Host().Console().front();
    EXPECT_EQ(line.text, "25.4. 1:53");
    EXPECT_EQ(line.file, "..\\source\\vela2023");
    EXPECT_EQ(line.line, 255);
    EXPECT_EQ(line.audience, 14);
    EXPECT_EQ(line.flags, 1);
    EXPECT_EQ(line.logger, "net.maxon.core.logger.default");
    EXPECT_EQ(ViewOf(Doc()), before);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
    EXPECT_EQ(Host().GetActivity().sceneChanges, 0U);
    EXPECT_EQ(State(), kNotIsolated);

    // An isolated document stays isolated while another take is current.
    takes.SetCurrent(takes.MainTake());
    ASSERT_TRUE(Press());
    const SceneView isolated = ViewOf(Doc());
    takes.SetCurrent(takes.Find("Close-up"));
    EXPECT_TRUE(Press());
    EXPECT_EQ(ViewOf(Doc()), isolated);
    EXPECT_EQ(State(), kIsolated);
}

TEST_F(IsolationEdgeCases, WithoutTakeDataOrCurrentTakeThePressFailsSilently) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());
    const std::size_t lines = Host().Console().size();

    Doc().Takes()->SetCurrent(nullptr);
    EXPECT_FALSE(Press());
    Doc().RemoveTakeData();
    EXPECT_FALSE(Press(kCtrl));

    EXPECT_EQ(Host().Console().size(), lines);
    EXPECT_EQ(ViewOf(Doc()), before);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
}

TEST_F(IsolationEdgeCases, WithoutTheSettingsThePressFailsAndChangesNothing) {
    BuildSmallScene();
    Session().RemoveSettings();
    const SceneView before = ViewOf(Doc());
    const std::size_t lines = Host().Console().size();
    Host().GetActivity().Reset();

    for (std::int32_t mask = 0; mask < 8; ++mask) EXPECT_FALSE(Press(mask)) << MaskName(mask);

    EXPECT_EQ(ViewOf(Doc()), before);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
    EXPECT_EQ(Host().Console().size(), lines);
    EXPECT_EQ(Host().GetActivity().sceneChanges, 0U);
    EXPECT_EQ(Host().GetActivity().stopAllThreads, 0U);
    EXPECT_EQ(State(), kNotIsolated);
    for (const vhost::Object* object : AllObjects(Doc())) EXPECT_EQ(WalkMessages(*object), 0U);

    // Nor does an isolated document change.
    Session().SetKeepOption(false);
    ASSERT_TRUE(Press());
    const SceneView isolated = ViewOf(Doc());
    Session().RemoveSettings();
    EXPECT_FALSE(Press());
    EXPECT_EQ(ViewOf(Doc()), isolated);
    EXPECT_EQ(State(), kIsolated);
}

TEST_F(IsolationEdgeCases, AnEmptyDocumentStaysNotIsolated) {
    for (std::int32_t mask = 0; mask < 8; ++mask) {
        EXPECT_TRUE(Press(mask)) << MaskName(mask);
        EXPECT_FALSE(Doc().Data().Has(kCommandId));
        EXPECT_EQ(State(), kNotIsolated);
    }
}

TEST_F(IsolationEdgeCases, AnIsolatedDocumentWhoseObjectsWereAllDeletedBecomesNotIsolated) {
    BuildSmallScene();
    ASSERT_TRUE(Press());
    ASSERT_EQ(State(), kIsolated);
    Doc().DeleteObject(parent_);
    Doc().DeleteObject(neighbour_);
    ASSERT_EQ(Doc().FirstObject(), nullptr);

    EXPECT_TRUE(Press(kShift));
    EXPECT_EQ(State(), kNotIsolated);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
}

TEST_F(IsolationEdgeCases, AnObjectDeletedWhileIsolatedDoesNotDisturbTheRestore) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kCtrl));
    const vhost::ObjectId gone = chosen_->Id();
    const vhost::ObjectId goneChild = child_->Id();
    Doc().DeleteObject(chosen_);

    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(*parent_), before.at(parent_->Id()).states);
    EXPECT_EQ(StatesOf(*neighbour_), before.at(neighbour_->Id()).states);
    EXPECT_EQ(Doc().FindById(gone), nullptr);
    EXPECT_EQ(Doc().FindById(goneChild), nullptr);
    EXPECT_EQ(State(), kNotIsolated);
}

// Generators and instances ------------------------------------------------------------------------

TEST_F(IsolationEdgeCases, AnInputGeneratorBringsItsDescendantsAndOtherGeneratorsDoNot) {
    vhost::Object& smooth =
        AddObject(Doc(), kSubdivision, "Smooth", nullptr, {Mode::Off, Mode::Off, false}, true);
    vhost::Object& cage = AddObject(Doc(), kPolygon, "Cage", &smooth, {Mode::Off, Mode::On, true});
    vhost::Object& bolt = AddObject(Doc(), kNull, "Bolt", &cage, {Mode::Default, Mode::Off, false});
    vhost::Object& box =
        AddObject(Doc(), kCube, "Box", nullptr, {Mode::Off, Mode::Off, true}, true);
    vhost::Object& lid = AddObject(Doc(), kPolygon, "Lid", &box, {Mode::On, Mode::On, true});
    vhost::Object& mirror =
        AddObject(Doc(), kSymmetry, "Mirror", nullptr, {Mode::On, Mode::On, true});
    vhost::Object& half = AddObject(Doc(), kPolygon, "Half", &mirror, {Mode::On, Mode::On, true});
    vhost::Object& stranger =
        AddObject(Doc(), kUnknownType, "Stranger", nullptr, {Mode::On, Mode::On, true}, true);
    vhost::Object& inside =
        AddObject(Doc(), kNull, "Inside", &stranger, {Mode::On, Mode::On, true});
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press(kCtrl | kAlt));
    for (vhost::Object* shown : {&smooth, &cage, &bolt, &box, &stranger}) {
        EXPECT_EQ(StatesOf(*shown), kOnOnEnabled) << shown->Name();
        EXPECT_TRUE(shown->Selected()) << shown->Name();
    }
    for (vhost::Object* hidden : {&lid, &mirror, &half, &inside}) {
        EXPECT_EQ(StatesOf(*hidden), (States{Mode::Off, Mode::Off, false})) << hidden->Name();
        EXPECT_FALSE(hidden->Selected()) << hidden->Name();
    }
    EXPECT_EQ(RecordOf(bolt), (SavedRecord{2, 1, false}));

    ASSERT_TRUE(Press());
    for (const vhost::Object* object : AllObjects(Doc())) {
        SCOPED_TRACE(object->Name());
        EXPECT_EQ(StatesOf(*object), before.at(object->Id()).states);
        EXPECT_EQ(object->Selected(),
                  before.at(object->Id()).selected || object == &cage || object == &bolt);
    }
}

TEST_F(IsolationEdgeCases, AnInstanceBringsALaterTargetWithItsDescendantsIntoTheSelection) {
    vhost::Object& pointer = AddObject(Doc(), kInstance, "Pointer", nullptr, {}, true);
    vhost::Object& before1 =
        AddObject(Doc(), kNull, "Between", nullptr, {Mode::On, Mode::On, true});
    vhost::Object& target =
        AddObject(Doc(), kNull, "Target", nullptr, {Mode::Off, Mode::Default, false});
    vhost::Object& leaf =
        AddObject(Doc(), kCube, "Leaf", &target, {Mode::Default, Mode::Off, true});
    vhost::Object& after = AddObject(Doc(), kNull, "After", nullptr, {Mode::On, Mode::On, true});
    LinkInstance(pointer, &target);
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press(kCtrl));
    EXPECT_EQ(StatesOf(target), (States{Mode::On, Mode::On, false}));
    EXPECT_EQ(StatesOf(leaf), (States{Mode::On, Mode::On, true}));
    EXPECT_EQ(StatesOf(before1), (States{Mode::Off, Mode::Off, true}));
    EXPECT_EQ(StatesOf(after), (States{Mode::Off, Mode::Off, true}));
    EXPECT_EQ(RecordOf(target), (SavedRecord{1, 2, false}));
    EXPECT_EQ(RecordOf(leaf), (SavedRecord{2, 1, true}));

    ASSERT_TRUE(Press());
    for (const vhost::Object* object : AllObjects(Doc())) {
        EXPECT_EQ(StatesOf(*object), before.at(object->Id()).states) << object->Name();
    }
    EXPECT_TRUE(target.Selected());
    EXPECT_TRUE(leaf.Selected());
    EXPECT_FALSE(after.Selected());
}

TEST_F(IsolationEdgeCases, AnInstanceRevealsAnEarlierTargetButNotWhatLiesBesideIt) {
    vhost::Object& target =
        AddObject(Doc(), kNull, "Target", nullptr, {Mode::Off, Mode::Default, false});
    vhost::Object& leaf =
        AddObject(Doc(), kCube, "Leaf", &target, {Mode::Default, Mode::Off, true});
    vhost::Object& beside = AddObject(Doc(), kNull, "Beside", nullptr, {Mode::On, Mode::On, true});
    vhost::Object& pointer = AddObject(Doc(), kInstance, "Pointer", nullptr, {}, true);
    LinkInstance(pointer, &target);
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press(kCtrl | kAlt));
    EXPECT_EQ(StatesOf(target), kOnOnEnabled);
    EXPECT_EQ(StatesOf(leaf), kOnOnEnabled);
    EXPECT_EQ(StatesOf(beside), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(RecordOf(target), (SavedRecord{1, 2, false}));
    EXPECT_EQ(RecordOf(leaf), (SavedRecord{2, 1, true}));
    EXPECT_FALSE(target.Selected());
    EXPECT_FALSE(leaf.Selected());

    ASSERT_TRUE(Press());
    EXPECT_EQ(ViewOf(Doc()), before);
}

TEST_F(IsolationEdgeCases, AnInstanceWithoutATargetIsAnOrdinarySelectedObject) {
    vhost::Object& lost = AddObject(Doc(), kInstance, "Lost", nullptr, {}, true);
    vhost::Object& dangling = AddObject(Doc(), kInstance, "Dangling", nullptr, {}, true);
    vhost::Object& gone = AddObject(Doc(), kNull, "Gone", nullptr);
    vhost::Object& other = AddObject(Doc(), kNull, "Other", nullptr, {Mode::On, Mode::On, true});
    vhost::Object& foreign = AddObject(Host().NewDocument("Elsewhere"), kNull, "Foreign", nullptr);
    Host().SetActiveDocument(*Host().Documents().front());
    vhost::Object& faraway = AddObject(Doc(), kInstance, "Faraway", nullptr, {}, true);
    LinkInstance(lost, nullptr);
    LinkInstance(dangling, &gone);
    LinkInstance(faraway, &foreign);
    Doc().DeleteObject(&gone);
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press());
    EXPECT_EQ(lost.EditorMode(), Mode::On);
    EXPECT_EQ(dangling.EditorMode(), Mode::On);
    EXPECT_EQ(faraway.EditorMode(), Mode::On);
    EXPECT_EQ(other.EditorMode(), Mode::Off);
    EXPECT_EQ(foreign.EditorMode(), Mode::Default);
    EXPECT_FALSE(foreign.Selected());
    EXPECT_FALSE(foreign.Data().Has(kCommandId));
    ASSERT_TRUE(Press());
    EXPECT_EQ(ViewOf(Doc()), before);
}

TEST_F(IsolationEdgeCases, DependentsOfDependentsAreBroughtInToo) {
    // A selected input generator holds an instance; the instance's later target is itself an
    // instance, whose target comes later still.
    vhost::Object& cloner = AddObject(Doc(), kCloner, "Cloner", nullptr, {}, true);
    vhost::Object& first = AddObject(Doc(), kInstance, "First", &cloner);
    vhost::Object& second = AddObject(Doc(), kInstance, "Second", nullptr);
    vhost::Object& hidden = AddObject(Doc(), kNull, "Hidden", nullptr);
    vhost::Object& last = AddObject(Doc(), kPolygon, "Last", nullptr, {Mode::Off, Mode::Off, true});
    LinkInstance(first, &second);
    LinkInstance(second, &last);

    ASSERT_TRUE(Press());
    for (vhost::Object* shown : {&cloner, &first, &second, &last}) {
        EXPECT_EQ(shown->EditorMode(), Mode::On) << shown->Name();
        EXPECT_TRUE(shown->Selected()) << shown->Name();
    }
    EXPECT_EQ(hidden.EditorMode(), Mode::Off);
    EXPECT_FALSE(hidden.Selected());
    ASSERT_TRUE(Press());
    EXPECT_EQ(last.EditorMode(), Mode::Off);
    EXPECT_EQ(second.EditorMode(), Mode::Default);
    EXPECT_TRUE(second.Selected());
}

// An instance that refers to its own ancestor, or to itself. Revealing the referenced hierarchy
// must not reach objects the walk has yet to store, or the restore would give them the revealed
// states instead of their own.
class SelfReferringInstances : public PluginTest,
                               public ::testing::WithParamInterface<std::int32_t> {
protected:
    // Checks the isolation against `shown` (everything else hidden) and then the restore.
    void IsolateAndRestore(const std::vector<const vhost::Object*>& shown) {
        const std::int32_t mask = GetParam();
        const Flags& flags = FlagsOf(mask);
        const SceneView before = ViewOf(Doc());

        ASSERT_TRUE(Press(mask));
        for (const vhost::Object* object : AllObjects(Doc())) {
            SCOPED_TRACE(object->Name());
            const States& was = before.at(object->Id()).states;
            const bool isShown = std::find(shown.begin(), shown.end(), object) != shown.end();
            const bool chosen = before.at(object->Id()).selected;
            EXPECT_EQ(StatesOf(*object), !isShown ? Hidden(was, flags)
                                         : chosen ? Shown(was, flags)
                                                  : RevealedAfterHiding(was, flags));
            EXPECT_EQ(RecordOf(*object), RecordOfStates(was));
        }

        ASSERT_TRUE(Press());
        for (const vhost::Object* object : AllObjects(Doc())) {
            SCOPED_TRACE(object->Name());
            EXPECT_EQ(StatesOf(*object), before.at(object->Id()).states);
            EXPECT_EQ(object->Selected(), before.at(object->Id()).selected);
            EXPECT_FALSE(object->Data().Has(kCommandId));
        }
    }
};

TEST_P(SelfReferringInstances, AnInstanceUnderTheNullItRefersTo) {
    AddObject(Doc(), kNull, "Before", nullptr, {Mode::On, Mode::Off, true});
    vhost::Object& holder =
        AddObject(Doc(), kNull, "Holder", nullptr, {Mode::Off, Mode::Default, false});
    vhost::Object& older =
        AddObject(Doc(), kPolygon, "Older Sibling", &holder, {Mode::Default, Mode::Off, false});
    vhost::Object& pointer =
        AddObject(Doc(), kInstance, "Pointer", &holder, {Mode::Off, Mode::Default, false}, true);
    vhost::Object& child =
        AddObject(Doc(), kCube, "Pointer Child", &pointer, {Mode::Off, Mode::Default, false});
    AddObject(Doc(), kNull, "Pointer Grandchild", &child, {Mode::Default, Mode::Off, false});
    AddObject(Doc(), kNull, "Pointer Child Two", &pointer, {Mode::Default, Mode::Default, false});
    vhost::Object& younger =
        AddObject(Doc(), kSphere, "Younger Sibling", &holder, {Mode::Off, Mode::Off, false});
    AddObject(Doc(), kNull, "Younger Child", &younger, {Mode::Default, Mode::Default, false});
    AddObject(Doc(), kNull, "After", nullptr, {Mode::Default, Mode::Off, false});
    LinkInstance(pointer, &holder);

    IsolateAndRestore({&holder, &older, &pointer});
}

TEST_P(SelfReferringInstances, AnInstanceThatRefersToItself) {
    AddObject(Doc(), kNull, "Front", nullptr, {Mode::On, Mode::Default, true});
    vhost::Object& self =
        AddObject(Doc(), kInstance, "Self", nullptr, {Mode::Off, Mode::Off, false}, true);
    vhost::Object& child =
        AddObject(Doc(), kPolygon, "Self Child", &self, {Mode::Default, Mode::Off, false});
    AddObject(Doc(), kNull, "Self Grandchild", &child, {Mode::Off, Mode::Default, false});
    AddObject(Doc(), kNull, "Self Child Two", &self, {Mode::Off, Mode::Off, false});
    AddObject(Doc(), kNull, "Back", nullptr, {Mode::Default, Mode::Default, false});
    LinkInstance(self, &self);

    IsolateAndRestore({&self});
}

TEST_P(SelfReferringInstances, AnInstanceReferringToALaterObjectThatBroughtARecord) {
    // "Imported" came from an isolated scene with its record; the walk has not reached it when the
    // instance asks for it, so it is treated as what the walk makes of it: not selected, hidden.
    vhost::Object& pointer = AddObject(Doc(), kInstance, "Pointer", nullptr, {}, true);
    vhost::Object& imported =
        AddObject(Doc(), kNull, "Imported", nullptr, {Mode::Off, Mode::Default, false});
    AddObject(Doc(), kCube, "Imported Child", &imported, {Mode::Default, Mode::Off, false});
    PutRecord(imported, SavedRecord{0, 0, true});
    LinkInstance(pointer, &imported);

    IsolateAndRestore({&pointer});
}

// Instances that refer to each other in a ring, through instances before and after them in the
// walk. The press must come to an end, store every object's states, and the restore must give
// them all back and leave no record.
TEST_P(SelfReferringInstances, InstancesReferringToEachOtherInARing) {
    vhost::Object& first =
        AddObject(Doc(), kInstance, "First", nullptr, {Mode::Off, Mode::On, false}, true);
    AddObject(Doc(), kNull, "First Child", &first, {Mode::Default, Mode::Off, true});
    vhost::Object& second =
        AddObject(Doc(), kInstance, "Second", nullptr, {Mode::On, Mode::Default, true});
    vhost::Object& third =
        AddObject(Doc(), kInstance, "Third", &second, {Mode::Default, Mode::Off, false});
    vhost::Object& pair =
        AddObject(Doc(), kInstance, "Pair", nullptr, {Mode::Off, Mode::Off, true});
    vhost::Object& partner =
        AddObject(Doc(), kInstance, "Partner", &pair, {Mode::On, Mode::On, false}, true);
    AddObject(Doc(), kCube, "Outside", nullptr, {Mode::Default, Mode::Default, true});
    LinkInstance(first, &second);
    LinkInstance(second, &third);
    LinkInstance(third, &first);
    LinkInstance(pair, &partner);
    LinkInstance(partner, &pair);
    const SceneView before = ViewOf(Doc());

    ASSERT_TRUE(Press(GetParam()));
    EXPECT_EQ(State(), kIsolated);
    for (const vhost::Object* object : AllObjects(Doc())) {
        SCOPED_TRACE(object->Name());
        EXPECT_EQ(RecordOf(*object), RecordOfStates(before.at(object->Id()).states));
    }
    // What the ring brings in is shown as the keys say, and only the cube stays outside.
    const Flags& flags = FlagsOf(GetParam());
    for (const vhost::Object* shown : {&first, &second, &third, &pair, &partner}) {
        SCOPED_TRACE(shown->Name());
        if (flags.editor && !flags.enabled) {
            EXPECT_EQ(shown->EditorMode(), Mode::On);
        }
        if (flags.enabled) {
            EXPECT_TRUE(shown->Enabled());
        }
    }
    const vhost::Object& outside = *AllObjects(Doc()).back();
    EXPECT_EQ(StatesOf(outside), Hidden(before.at(outside.Id()).states, flags));

    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kNotIsolated);
    for (const vhost::Object* object : AllObjects(Doc())) {
        SCOPED_TRACE(object->Name());
        EXPECT_EQ(StatesOf(*object), before.at(object->Id()).states);
        EXPECT_FALSE(object->Data().Has(kCommandId));
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, SelfReferringInstances, ::testing::Range(0, 8),
                         [](const ::testing::TestParamInfo<std::int32_t>& param) {
                             return MaskName(param.param);
                         });

TEST_F(IsolationEdgeCases, AnInstanceAddedUnderItsTargetDuringAnIsolationKeepsNewObjectsStates) {
    vhost::Object& holder =
        AddObject(Doc(), kNull, "Holder", nullptr, {Mode::Off, Mode::Default, false});
    vhost::Object& old =
        AddObject(Doc(), kPolygon, "Old", &holder, {Mode::Default, Mode::On, true});
    vhost::Object& keep = AddObject(Doc(), kNull, "Keep", nullptr, {}, true);
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press(kCtrl));
    keep.DelBit(vhost::kBitActive);

    vhost::Object& pointer =
        AddObject(Doc(), kInstance, "Pointer", &holder, {Mode::Off, Mode::Off, false}, true);
    vhost::Object& newChild =
        AddObject(Doc(), kCube, "New Child", &pointer, {Mode::Default, Mode::Off, false});
    vhost::Object& newSibling =
        AddObject(Doc(), kCube, "New Sibling", &holder, {Mode::Off, Mode::Default, false});
    LinkInstance(pointer, &holder);

    ASSERT_TRUE(Press(kShift | kCtrl));
    EXPECT_EQ(StatesOf(holder), (States{Mode::On, Mode::On, false}));
    EXPECT_EQ(StatesOf(old), (States{Mode::On, Mode::On, true}));
    EXPECT_EQ(StatesOf(pointer), (States{Mode::On, Mode::On, false}));
    EXPECT_EQ(StatesOf(newChild), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(StatesOf(newSibling), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(RecordOf(newChild), (SavedRecord{2, 1, false}));
    EXPECT_EQ(RecordOf(newSibling), (SavedRecord{1, 2, false}));
    EXPECT_EQ(RecordOf(pointer), RecordOfStates(kDefaults));

    ASSERT_TRUE(Press());
    for (const auto& [id, view] : before) {
        EXPECT_EQ(StatesOf(*Doc().FindById(id)), view.states) << Doc().FindById(id)->Name();
    }
    EXPECT_EQ(StatesOf(newChild), (States{Mode::Default, Mode::Off, false}));
    EXPECT_EQ(StatesOf(newSibling), (States{Mode::Off, Mode::Default, false}));
    EXPECT_EQ(StatesOf(pointer), kDefaults);
}

// Records brought in by copies --------------------------------------------------------------------

TEST_F(IsolationEdgeCases, ACopiedRecordIsOverwrittenByTheNextIsolation) {
    vhost::Document& source = Doc();
    vhost::Object& original =
        AddObject(source, kNull, "Original", nullptr, {Mode::Off, Mode::On, false});
    AddObject(source, kNull, "Chosen", nullptr, {}, true);
    ASSERT_TRUE(Press(kCtrl | kAlt));
    ASSERT_TRUE(RecordOf(original).has_value());

    vhost::Document& target = Host().NewDocument("Target");
    vhost::Object& copy = *target.CopyObject(original, {});
    AddObject(target, kNull, "Picked", nullptr, {}, true);
    // The copy is shown and hidden as the isolation left it; its record says otherwise.
    ASSERT_EQ(StatesOf(copy), (States{Mode::Off, Mode::Off, false}));
    ASSERT_EQ(RecordOf(copy), (SavedRecord{1, 0, false}));
    copy.SetEditorMode(Mode::Default);

    ASSERT_TRUE(Press());
    EXPECT_EQ(RecordOf(copy), (SavedRecord{2, 1, false}));
    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(copy), (States{Mode::Default, Mode::Off, false}));
    EXPECT_FALSE(copy.Data().Has(kCommandId));
}

TEST_F(IsolationEdgeCases, ACopiedRecordIsRestoredInAnIsolatedDocument) {
    vhost::Document& source = Doc();
    vhost::Object& original =
        AddObject(source, kNull, "Original", nullptr, {Mode::Off, Mode::On, false});
    AddObject(source, kNull, "Chosen", nullptr, {}, true);
    ASSERT_TRUE(Press(kCtrl | kAlt));

    vhost::Document& target = Host().NewDocument("Target");
    AddObject(target, kNull, "Picked", nullptr, {}, true);
    ASSERT_TRUE(Press());
    vhost::Object& copy = *target.CopyObject(original, {});

    // Adding leaves it alone: it has a record, so it counts as part of the isolation.
    ASSERT_TRUE(Press(kShift | kCtrl | kAlt));
    EXPECT_EQ(StatesOf(copy), (States{Mode::Off, Mode::Off, false}));
    EXPECT_EQ(RecordOf(copy), (SavedRecord{1, 0, false}));

    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(copy), (States{Mode::Off, Mode::On, false}));
    EXPECT_FALSE(copy.Data().Has(kCommandId));
    // The source document is still isolated and restores on its own.
    Host().SetActiveDocument(source);
    EXPECT_EQ(State(), kIsolated);
    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(original), (States{Mode::Off, Mode::On, false}));
}

TEST_F(IsolationEdgeCases, ARecordWithMissingKeysRestoresTheirDefaults) {
    BuildSmallScene();
    ASSERT_TRUE(Press());
    vhost::Object& bare = AddObject(Doc(), kNull, "Bare", nullptr, {Mode::Off, Mode::On, false});
    bare.Data().SetContainer(kCommandId, vhost::Container(kCommandId));
    vhost::Object& partial =
        AddObject(Doc(), kNull, "Partial", nullptr, {Mode::Default, Mode::On, false});
    vhost::Container record(kCommandId);
    record.SetInt32(kSavedRenderKey, 1);
    partial.Data().SetContainer(kCommandId, record);

    ASSERT_TRUE(Press());
    EXPECT_EQ(StatesOf(bare), kDefaults);
    EXPECT_EQ(StatesOf(partial), (States{Mode::Default, Mode::Off, true}));
    EXPECT_FALSE(bare.Data().Has(kCommandId));
    EXPECT_FALSE(partial.Data().Has(kCommandId));
}

// Records that someone else wrote, with other types under the command's keys (a scene edited by
// hand, another tool): a value of another type reads as the key's default.
TEST_F(IsolationEdgeCases, RecordKeysHoldingOtherTypesRestoreTheirDefaults) {
    BuildSmallScene();
    ASSERT_TRUE(Press());
    vhost::Object& odd = AddObject(Doc(), kNull, "Odd", nullptr, {Mode::Off, Mode::On, false});
    vhost::Container record(kCommandId);
    record.SetString(kSavedEditorKey, "1");
    record.SetFloat(kSavedRenderKey, 0.0);
    record.SetContainer(kSavedEnabledKey, vhost::Container(3));
    odd.Data().SetContainer(kCommandId, record);
    vhost::Object& wide = AddObject(Doc(), kNull, "Wide", nullptr, {Mode::On, Mode::Off, true});
    vhost::Container wideRecord(kCommandId);
    wideRecord.SetInt64(kSavedEditorKey, 1);
    wideRecord.SetLink(kSavedRenderKey, wide.Id());
    wideRecord.SetString(kSavedEnabledKey, "false");
    wide.Data().SetContainer(kCommandId, wideRecord);

    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kNotIsolated);
    EXPECT_EQ(StatesOf(odd), kDefaults);
    EXPECT_EQ(StatesOf(wide), kDefaults);
    EXPECT_FALSE(odd.Data().Has(kCommandId));
    EXPECT_FALSE(wide.Data().Has(kCommandId));
    EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
}

// The document record's state under another type reads as 0: the document counts as not
// isolated, and the next press isolates it, writing the state as the command keeps it.
TEST_F(IsolationEdgeCases, ADocumentStateOfAnotherTypeReadsAsNotIsolated) {
    BuildSmallScene();
    const SceneView before = ViewOf(Doc());
    for (const bool asText : {false, true}) {
        SCOPED_TRACE(asText ? "state as text" : "state as a float");
        vhost::Container record(kCommandId);
        if (asText) {
            record.SetString(kDocStateKey, "1");
        } else {
            record.SetFloat(kDocStateKey, 1.0);
        }
        record.SetString(kDocBegunWithAltKey, "yes");
        Doc().Data().SetContainer(kCommandId, record);
        EXPECT_EQ(State(), kNotIsolated);

        ASSERT_TRUE(Press());
        EXPECT_EQ(State(), kIsolated);
        EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, false}));
        EXPECT_EQ(StatesOf(*neighbour_), (States{Mode::Off, Mode::Off, false}));
        ASSERT_TRUE(Press());
        EXPECT_EQ(State(), kNotIsolated);
        EXPECT_EQ(ViewOf(Doc()), before);
        EXPECT_FALSE(Doc().Data().Has(kCommandId));
    }
}

// Under the record's id the document or an object holds a value that is no container: there is
// no record. The document is not isolated, the press isolates it (the record replaces the value),
// and an object's value stays where the restore passes over it.
TEST_F(IsolationEdgeCases, AValueThatIsNoContainerUnderTheRecordsIdIsNoRecord) {
    BuildSmallScene();
    Doc().Data().SetInt32(kCommandId, 1);
    EXPECT_EQ(State(), kNotIsolated);
    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kIsolated);
    vhost::Object& stranger =
        AddObject(Doc(), kNull, "Stranger", nullptr, {Mode::Off, Mode::On, false});
    stranger.Data().SetString(kCommandId, "not a record");

    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kNotIsolated);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
    EXPECT_EQ(StatesOf(stranger), (States{Mode::Off, Mode::On, false}));
    EXPECT_EQ(stranger.Data().GetString(kCommandId), "not a record");
    EXPECT_EQ(StatesOf(*chosen_), (States{Mode::Default, Mode::On, false}));
}

TEST_F(IsolationEdgeCases, TheStateBelongsToTheDocument) {
    BuildSmallScene();
    vhost::Document& first = Doc();
    ASSERT_TRUE(Press());
    vhost::Document& second = Host().NewDocument("Second");
    AddObject(second, kNull, "Alone", nullptr, {}, true);
    EXPECT_EQ(State(), kNotIsolated);
    Host().SetActiveDocument(first);
    EXPECT_EQ(State(), kIsolated);
    // A press acts on the active document only.
    Host().SetActiveDocument(second);
    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kIsolated);
    Host().SetActiveDocument(first);
    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kNotIsolated);
    Host().SetActiveDocument(second);
    EXPECT_EQ(State(), kIsolated);
}

// What the host sees of a press -------------------------------------------------------------------

TEST_F(IsolationEdgeCases, ThreadsStopBeforeTheFirstChangeAndTheEventComesAfterTheLast) {
    BuildSmallScene();
    const auto check = [this](std::int32_t mask, std::int32_t stateAfter) {
        SCOPED_TRACE(MaskName(mask));
        vhost::Activity& activity = Host().GetActivity();
        activity.Reset();
        ASSERT_TRUE(Press(mask));
        EXPECT_GT(activity.sceneChanges, 0U);
        EXPECT_EQ(activity.stopAllThreads, 1U);
        EXPECT_EQ(activity.changesBeforeFirstStop, 0U);
        EXPECT_EQ(activity.eventsAdded, 1U);
        EXPECT_EQ(activity.changesAfterLastEvent, 0U);
        // The event makes the host ask for the command's state, which shows the new state.
        EXPECT_GE(activity.stateRefreshes, 1U);
        EXPECT_EQ(Host().FindCommand(kCommandId)->lastState, stateAfter);
    };
    check(kCtrl, kIsolated);
    AddObject(Doc(), kNull, "New", nullptr);
    check(kShift | kAlt, kIsolated);
    check(0, kNotIsolated);
}

TEST_F(IsolationEdgeCases, EveryObjectIsSentTheWalkMessageOncePerPress) {
    BuildSmallScene();
    vhost::Object& pointer = AddObject(Doc(), kInstance, "Pointer", nullptr, {}, true);
    LinkInstance(pointer, parent_);
    const auto expectCounts = [this](std::uint32_t count) {
        for (const vhost::Object* object : AllObjects(Doc())) {
            EXPECT_EQ(WalkMessages(*object), count) << object->Name();
        }
    };
    ASSERT_TRUE(Press(kCtrl | kAlt));
    expectCounts(1);
    ASSERT_TRUE(Press(kShift));
    expectCounts(2);
    ASSERT_TRUE(Press());
    expectCounts(3);
    // Nothing selected and not isolated: no walk.
    for (vhost::Object* object : AllObjects(Doc())) object->DelBit(vhost::kBitActive);
    ASSERT_TRUE(Press());
    expectCounts(3);
}

TEST_F(IsolationEdgeCases, TheRecordsKeepTheirIdsAndTheDocumentItsOtherData) {
    BuildSmallScene();
    Doc().Data().SetInt32(77, 5);
    neighbour_->Data().SetInt32(1000, 9);
    ASSERT_TRUE(Press());
    const vhost::Container* record = neighbour_->Data().GetContainerInstance(kCommandId);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Id(), kCommandId);
    EXPECT_EQ(record->Count(), 3);
    const vhost::Container* docRecord = Doc().Data().GetContainerInstance(kCommandId);
    ASSERT_NE(docRecord, nullptr);
    EXPECT_EQ(docRecord->Id(), kCommandId);
    EXPECT_EQ(docRecord->Count(), 2);

    ASSERT_TRUE(Press());
    EXPECT_EQ(Doc().Data().GetInt32(77), 5);
    EXPECT_EQ(neighbour_->Data().GetInt32(1000), 9);
}

}  // namespace
}  // namespace velatest
