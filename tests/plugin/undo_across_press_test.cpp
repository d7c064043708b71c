// The host's undo around the command's presses: a press is no step and ends the history, and the
// steps done while a document is isolated are undone and done again without losing, doubling or
// staling a record, so the restore still gives every object the states it had when isolated.

#include <string>

#include <gtest/gtest.h>

#include "actions/history.h"
#include "actions/perform.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {
namespace {

using vhost::actions::Outcome;
using vhost::actions::Perform;
using vhost::actions::Refusal;

class UndoAcrossPress : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        parent_ = &AddObject(Doc(), kNull, "Parent", nullptr, {Mode::Default, Mode::Off, true});
        chosen_ =
            &AddObject(Doc(), kPolygon, "Chosen", parent_, {Mode::Default, Mode::On, false}, true);
        child_ = &AddObject(Doc(), kNull, "Child", chosen_, {Mode::On, Mode::Default, true});
        neighbour_ = &AddObject(Doc(), kCube, "Neighbour", nullptr, {Mode::Off, Mode::Off, false});
    }

    void Do(const vhost::actions::Action& action) {
        const Outcome outcome = Perform(Host(), action);
        ASSERT_TRUE(outcome.Done()) << vhost::actions::NameOf(action) << ": " << outcome.message;
    }
    vhost::actions::History& Steps() { return vhost::actions::HistoryOf(Host(), Doc()); }

    vhost::Object* parent_ = nullptr;
    vhost::Object* chosen_ = nullptr;
    vhost::Object* child_ = nullptr;
    vhost::Object* neighbour_ = nullptr;
};

TEST_F(UndoAcrossPress, AnIsolatedSubtreeDeletedAndBroughtBackKeepsItsRecordsForTheRestore) {
    const SceneView before = ViewOf(Doc());
    const vhost::ObjectId parent = parent_->Id();
    const vhost::ObjectId child = child_->Id();
    ASSERT_TRUE(Press());
    ASSERT_EQ(State(), kIsolated);

    Do(vhost::actions::DeleteObject{{parent}});
    EXPECT_EQ(Doc().FindById(child), nullptr);
    EXPECT_EQ(Steps().UndoName(), "Delete Parent");
    Do(vhost::actions::Undo{});
    ASSERT_NE(Doc().FindById(child), nullptr);
    EXPECT_EQ(RecordOf(*Doc().FindById(child)), RecordOfStates({Mode::On, Mode::Default, true}));

    ASSERT_TRUE(Press());
    EXPECT_EQ(State(), kNotIsolated);
    EXPECT_EQ(ViewOf(Doc()), before);
}

// A multi-selection deleted while isolated is one step: the isolated objects, the one made while
// isolated and a child named with its parent all go and come back together, records as they were.
TEST_F(UndoAcrossPress, SeveralObjectsDeletedWhileIsolatedAreOneStepAndComeBackWithTheirRecords) {
    const SceneView before = ViewOf(Doc());
    const vhost::ObjectId chosen = chosen_->Id();
    const vhost::ObjectId child = child_->Id();
    const vhost::ObjectId neighbour = neighbour_->Id();
    ASSERT_TRUE(Press());
    const vhost::ObjectId made =
        Perform(Host(), vhost::actions::AddObject{.type = kCube, .name = "Made While Isolated"})
            .created;
    ASSERT_NE(made, 0);
    const SceneView isolated = ViewOf(Doc());
    const auto chosenRecord = RecordOf(*chosen_);
    const auto childRecord = RecordOf(*child_);
    ASSERT_TRUE(chosenRecord.has_value());
    const std::size_t stepsBefore = Steps().UndoCount();

    Do(vhost::actions::DeleteObject{{neighbour, child, chosen, made}});
    EXPECT_EQ(Steps().UndoName(), "Delete 3 Objects");
    EXPECT_EQ(Steps().UndoCount(), stepsBefore + 1);
    for (const vhost::ObjectId id : {chosen, child, neighbour, made}) {
        EXPECT_EQ(Doc().FindById(id), nullptr) << id;
    }

    Do(vhost::actions::Undo{});
    EXPECT_EQ(ViewOf(Doc()), isolated);
    EXPECT_EQ(RecordOf(*Doc().FindById(chosen)), chosenRecord);
    EXPECT_EQ(RecordOf(*Doc().FindById(child)), childRecord);
    EXPECT_FALSE(RecordOf(*Doc().FindById(made)).has_value());

    Do(vhost::actions::Redo{});
    for (const vhost::ObjectId id : {chosen, child, neighbour, made}) {
        EXPECT_EQ(Doc().FindById(id), nullptr) << id;
    }
    Do(vhost::actions::Undo{});
    ASSERT_TRUE(Press());
    SceneView restored = ViewOf(Doc());
    EXPECT_EQ(restored.erase(made), 1U);
    EXPECT_EQ(restored, before);
}

TEST_F(UndoAcrossPress, APressEndsTheHistoryInBothDirections) {
    Do(vhost::actions::RenameObject{neighbour_->Id(), "Crate"});
    Do(vhost::actions::SetStates{.object = child_->Id(), .editor = Mode::Off});
    Do(vhost::actions::Undo{});
    ASSERT_EQ(Steps().RedoName(), "Set States of Child");
    ASSERT_TRUE(Press());
    const SceneView isolated = ViewOf(Doc());

    const Outcome undo = Perform(Host(), vhost::actions::Undo{});
    EXPECT_EQ(undo.refusal, Refusal::NothingToUndo);
    EXPECT_EQ(undo.message, "there is nothing to undo");
    EXPECT_EQ(Perform(Host(), vhost::actions::Redo{}).refusal, Refusal::NothingToRedo);
    EXPECT_EQ(ViewOf(Doc()), isolated);
    EXPECT_EQ(neighbour_->Name(), "Crate");
    EXPECT_EQ(State(), kIsolated);
}

// Steps done while isolated touch only what they changed: states set by hand go back to the
// isolation's, an object made while isolated comes and goes without a record, and the restore
// gives every object that was there at the press its states.
TEST_F(UndoAcrossPress, StepsWhileIsolatedLeaveTheRecordsAsThePressWroteThem) {
    const SceneView before = ViewOf(Doc());
    ASSERT_TRUE(Press());
    const SceneView isolated = ViewOf(Doc());

    Do(vhost::actions::SetStates{.object = chosen_->Id(), .editor = Mode::Off, .enabled = true});
    const vhost::ObjectId made =
        Perform(Host(), vhost::actions::AddObject{.type = kCube, .name = "Made While Isolated"})
            .created;
    ASSERT_NE(made, 0);
    Do(vhost::actions::MoveObject{.object = child_->Id(), .parent = made});
    Do(vhost::actions::Undo{});
    Do(vhost::actions::Undo{});
    Do(vhost::actions::Undo{});
    EXPECT_EQ(ViewOf(Doc()), isolated);
    Do(vhost::actions::Redo{});
    Do(vhost::actions::Redo{});
    ASSERT_NE(Doc().FindById(made), nullptr);
    EXPECT_FALSE(RecordOf(*Doc().FindById(made)).has_value());

    ASSERT_TRUE(Press());
    SceneView restored = ViewOf(Doc());
    EXPECT_EQ(restored.erase(made), 1U);
    EXPECT_EQ(restored, before);
}

}  // namespace
}  // namespace velatest
