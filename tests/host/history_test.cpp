// A document's history: every edit undone gives back the saved text of the start and redone the
// text of the end; a refused edit or undo changes nothing and records no step.
#include "actions/history.h"

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "actions/perform.h"
#include "host.h"
#include "model/object_types.h"
#include "scene_file/scene_file.h"

namespace vhost {
namespace {

using actions::Outcome;
using actions::Perform;
using actions::Refusal;

std::string SavedText(const Document& document) {
    const SceneTextResult saved = SerializeScene(document);
    EXPECT_TRUE(saved.Ok()) << saved.error;
    return saved.text;
}

class History : public ::testing::Test {
protected:
    void SetUp() override {
        car = Add({.type = HOST_OBJECT_NULL, .name = "Car"});
        wheel = Add({.type = kObjectCylinder, .name = "Wheel FL", .parent = car});
        hub = Add({.type = HOST_OBJECT_NULL, .name = "Hub", .parent = wheel});
        body = Add({.type = HOST_OBJECT_POLYGON, .name = "Body", .parent = car});
        instance = Add({.type = HOST_OBJECT_INSTANCE, .name = "Car Copy"});
        // The scene as it was opened: its making is no step.
        actions::HistoryOf(host, Doc()).Clear();
    }

    ObjectId Add(const actions::AddObject& add) {
        const Outcome outcome = Perform(host, add);
        EXPECT_TRUE(outcome.Done()) << outcome.message;
        return outcome.created;
    }
    void Do(const actions::Action& action) {
        const Outcome outcome = Perform(host, action);
        ASSERT_TRUE(outcome.Done()) << actions::NameOf(action) << ": " << outcome.message;
    }

    Document& Doc() { return host.ActiveDocument(); }
    actions::History& Steps() { return actions::HistoryOf(host, Doc()); }

    Host host;
    ObjectId car = 0;
    ObjectId wheel = 0;
    ObjectId hub = 0;
    ObjectId body = 0;
    ObjectId instance = 0;
};

TEST_F(History, UndoingEveryEditGivesTheStartAndRedoingThemGivesTheEnd) {
    Doc().FindById(hub)->Data().SetInt32(77, 5);  // a container that must travel with the hub
    const std::string start = SavedText(Doc());

    Do(actions::SetStates{.object = body, .editor = Mode::Off, .enabled = false});
    Do(actions::RenameObject{wheel, "Front Wheel"});
    Do(actions::TransformObject{
        .object = wheel, .position = {1, 2, 3}, .rotation = {0, 90, 0}, .scale = {2, 2, 2}});
    Do(actions::MoveObject{.object = wheel, .parent = 0, .after = 0});
    Do(actions::LinkInstance{instance, car});
    Do(actions::CopyObjects{{car, hub}});
    Do(actions::PasteObjects{.parent = body});
    Do(actions::AddObject{.type = kObjectCube, .name = "Cube", .parent = car, .after = 0});
    // The first child of its parent: its way back is to the front, not the end.
    Do(actions::MoveObject{.object = body, .parent = wheel});
    Do(actions::NewTake{"Night"});
    Do(actions::UseTake{"Night"});
    Do(actions::DeleteObject{{car}});
    const std::string end = SavedText(Doc());
    EXPECT_EQ(Steps().UndoName(), "Delete Car");
    EXPECT_EQ(Steps().UndoCount(), 11U);  // a copy changes no document

    while (Steps().UndoCount() > 0) Do(actions::Undo{});
    EXPECT_EQ(SavedText(Doc()), start);
    EXPECT_EQ(Doc().FindById(hub)->Data().GetInt32(77, 0), 5);
    EXPECT_EQ(Steps().RedoName(), "Set States of Body");

    while (Steps().RedoCount() > 0) Do(actions::Redo{});
    EXPECT_EQ(SavedText(Doc()), end);
    EXPECT_EQ(Doc().FindById(car), nullptr);
}

TEST_F(History, ANewEditEndsTheStepsThatCouldBeDoneAgain) {
    Do(actions::RenameObject{body, "Shell"});
    Do(actions::Undo{});
    EXPECT_EQ(Steps().RedoName(), "Rename Body");
    Do(actions::DeleteObject{{hub}});
    EXPECT_EQ(Steps().RedoCount(), 0U);
    const Outcome redo = Perform(host, actions::Redo{});
    EXPECT_EQ(redo.refusal, Refusal::NothingToRedo);
    EXPECT_EQ(redo.message, "there is nothing to redo");
    EXPECT_EQ(Doc().FindById(body)->Name(), "Body");
}

// Each refusal is a sentence, leaves the saved text as it was and adds no step.
TEST_F(History, RefusedEditsChangeNothingAndRecordNoStep) {
    const std::string start = SavedText(Doc());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Document& other = host.NewDocument("Other");
    const std::uint64_t closed = other.Serial();
    host.CloseDocument(other);
    Do(actions::CopyObjects{{body}});

    const struct {
        actions::Action action;
        Refusal refusal;
        std::string message;
    } cases[] = {
        {actions::Undo{}, Refusal::NothingToUndo, "there is nothing to undo"},
        {actions::MoveObject{.object = car, .parent = hub}, Refusal::OwnHierarchy,
         "cannot move object " + std::to_string(car) + " into its own hierarchy"},
        {actions::PasteObjects{.document = closed}, Refusal::NoSuchDocument,
         "the document to paste into is not open (it may have been closed)"},
        {actions::SwitchDocument{closed}, Refusal::NoSuchDocument,
         "that document is not open (it may have been closed)"},
        {actions::RenameObject{body, ""}, Refusal::BadName, "an object needs a name"},
        {actions::RenameObject{body, "Bo\xC3"}, Refusal::BadName,
         R"(the name "Bo\xC3" is not UTF-8 text, which a scene file holds)"},
        {actions::TransformObject{.object = wheel, .position = {nan, 0, 0}}, Refusal::NotFinite,
         "a position, rotation or scale of object " + std::to_string(wheel) +
             " is not a finite number"},
        {actions::TransformObject{.object = wheel, .rotation = {0, inf, 0}}, Refusal::NotFinite,
         "a position, rotation or scale of object " + std::to_string(wheel) +
             " is not a finite number"},
        {actions::DeleteObject{{9999999}}, Refusal::NoSuchObject, "there is no object 9999999"},
        {actions::CopyObjects{}, Refusal::NothingToCopy, "nothing to copy"},
        {actions::LinkInstance{instance, instance}, Refusal::LinkLoop,
         "an instance cannot refer to itself or to an object above it"},
    };
    for (const auto& each : cases) {
        const Outcome outcome = Perform(host, each.action);
        EXPECT_EQ(outcome.refusal, each.refusal) << actions::NameOf(each.action);
        EXPECT_EQ(outcome.message, each.message);
    }
    EXPECT_EQ(SavedText(Doc()), start);
    EXPECT_EQ(Steps().UndoCount(), 0U);
    EXPECT_EQ(Doc().FindById(wheel)->LocalTransform(), Matrix{});
}

TEST_F(History, APasteIntoAnotherDocumentIsAStepOfThatDocumentWithNewIds) {
    Do(actions::CopyObjects{{wheel}});
    Document& parts = host.NewDocument("Parts");
    Do(actions::SwitchDocument{host.Documents().front()->Serial()});
    const Outcome pasted = Perform(host, actions::PasteObjects{.document = parts.Serial()});
    ASSERT_TRUE(pasted.Done()) << pasted.message;
    ASSERT_EQ(pasted.pasted.size(), 1U);
    const Object* copy = parts.FindById(pasted.pasted.front());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->Id(), wheel);
    EXPECT_EQ(copy->Down()->Name(), "Hub");
    EXPECT_EQ(actions::HistoryOf(host, parts).UndoName(), "Paste Wheel FL");
    EXPECT_EQ(Steps().UndoCount(), 0U);
    // A transform made of a quarter turn about Y and a scale keeps its axes apart.
    Do(actions::TransformObject{.object = wheel, .rotation = {0, 90, 0}, .scale = {1, 2, 3}});
    const Matrix& turned = Doc().FindById(wheel)->LocalTransform();
    EXPECT_NEAR(turned.v1.z, -1.0, 1e-12);
    EXPECT_NEAR(turned.v2.y, 2.0, 1e-12);
    EXPECT_NEAR(turned.v3.x, 3.0, 1e-12);
}

// A subtree taken out keeps its ids; when one has been given to another object meanwhile it
// cannot come back, and deleting it leaves that other object findable.
TEST_F(History, ATakenOutSubtreeWhoseIdWasGivenAwayStaysOutAndGoesAlone) {
    Object* taken = Doc().FindById(wheel);
    ASSERT_TRUE(Doc().DetachObject(taken));
    EXPECT_EQ(Doc().FindById(hub), nullptr);
    Object* other = Doc().CreateObject(HOST_OBJECT_NULL, "Other", {}, hub);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(Doc().ReattachObject(taken, {}));
    EXPECT_TRUE(Doc().HoldsDetached(taken));
    Doc().DiscardDetached(taken);
    EXPECT_FALSE(Doc().HoldsDetached(taken));
    EXPECT_EQ(Doc().FindById(hub), other);
    EXPECT_EQ(Doc().ObjectCount(), 4U);  // Car, Body, Car Copy and Other
}

// Random sequences of edits, undos and redos, refused ones among them: undoing everything gives
// the start's saved text, redoing everything the text the last edit left.
TEST_F(History, RandomEditsUndoneGiveTheStartAndRedoneTheLastEditsScene) {
    const std::string start = SavedText(Doc());
    std::mt19937 random(2026);
    int edits = 0;
    const auto below = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    for (int round = 0; round < 40; ++round) {
        std::string tip = start;
        for (int step = 0; step < 30; ++step) {
            std::vector<ObjectId> ids;
            Doc().ForEach([&ids](Object& object) {
                ids.push_back(object.Id());
                return true;
            });
            const auto any = [&] {
                return ids.empty() || below(5) == 0 ? 0 : ids[below(ids.size())];
            };
            const actions::Action kinds[] = {
                actions::SetStates{.object = any(), .editor = Mode::Off, .enabled = below(2) == 0},
                actions::AddObject{.type = HOST_OBJECT_INSTANCE, .name = "New", .parent = any()},
                actions::DeleteObject{{any()}},
                actions::MoveObject{.object = any(), .parent = any()},
                actions::LinkInstance{any(), any()},
                actions::RenameObject{any(), "Name " + std::to_string(step)},
                actions::TransformObject{.object = any(), .position = {1.0 * step, 2, 3}},
                actions::PasteObjects{.parent = any()},
                actions::NewTake{"Take " + std::to_string(round) + "." + std::to_string(step)},
                actions::UseTake{below(2) == 0 ? "Main" : "Take " + std::to_string(round) + ".0"},
                actions::Undo{},
                actions::Redo{},
            };
            Perform(host, actions::CopyObjects{{any()}});
            const actions::Action& edit = kinds[below(std::size(kinds))];
            const bool edited = Perform(host, edit).Done();
            if (edited && edit.index() != actions::Action{actions::Undo{}}.index() &&
                edit.index() != actions::Action{actions::Redo{}}.index()) {
                tip = SavedText(Doc());
                ++edits;
            }
        }
        while (Steps().UndoCount() > 0) Do(actions::Undo{});
        ASSERT_EQ(SavedText(Doc()), start) << "round " << round;
        while (Steps().RedoCount() > 0) Do(actions::Redo{});
        ASSERT_EQ(SavedText(Doc()), tip) << "round " << round;
        while (Steps().UndoCount() > 0) Do(actions::Undo{});
        Steps().Clear();
    }
    EXPECT_GT(edits, 400);  // most of them were done, not refused
}

}  // namespace
}  // namespace vhost
