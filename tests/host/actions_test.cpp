// The host's actions as values: a value done again gives the same document, and a refused action
// leaves the host as it was, whatever it would have changed first.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "actions/perform.h"
#include "host.h"
#include "model/object_types.h"

namespace vhost {
namespace {

using actions::Outcome;
using actions::Perform;
using actions::Refusal;

// The tree as names and states in tree order, with each object's parent and selection.
std::string Outline(const Document& document) {
    std::string text;
    document.ForEach([&text](Object& object) {
        text += object.Name() + "@" + std::to_string(object.Id()) + "<" +
                (object.Up() != nullptr ? object.Up()->Name() : "-") + " " +
                ModeName(object.EditorMode()) + "/" + ModeName(object.RenderMode()) +
                (object.Enabled() ? "" : " disabled") + (object.Selected() ? " selected" : "") +
                "\n";
        return true;
    });
    return text;
}

class Actions : public ::testing::Test {
protected:
    void SetUp() override {
        car = Add({.type = HOST_OBJECT_NULL, .name = "Car"});
        wheel = Add({.type = vhost::kObjectCylinder, .name = "Wheel", .parent = car});
        body = Add({.type = HOST_OBJECT_POLYGON, .name = "Body", .parent = car});
        lamp = Add({.type = HOST_OBJECT_LIGHT, .name = "Lamp"});
    }

    ObjectId Add(const actions::AddObject& add) {
        const Outcome outcome = Perform(host, add);
        EXPECT_TRUE(outcome.Done()) << outcome.message;
        return outcome.created;
    }

    Document& Doc() { return host.ActiveDocument(); }

    Host host;
    ObjectId car = 0;
    ObjectId wheel = 0;
    ObjectId body = 0;
    ObjectId lamp = 0;
};

TEST_F(Actions, AnAddDoneAgainWithItsIdBringsBackTheSameObjectInTheSamePlace) {
    const actions::AddObject add{.type = vhost::kObjectCube,
                                 .name = "Spoiler",
                                 .parent = car,
                                 .after = wheel,
                                 .editor = Mode::Off,
                                 .enabled = false,
                                 .selected = true};
    actions::AddObject again = add;
    again.id = Add(add);
    const std::string added = Outline(Doc());

    ASSERT_TRUE(Perform(host, actions::DeleteObject{{again.id}}).Done());
    EXPECT_NE(Outline(Doc()), added);
    EXPECT_EQ(Add(again), again.id);
    EXPECT_EQ(Outline(Doc()), added);

    // While the object is there, its id is taken and the add is refused.
    const Outcome twice = Perform(host, again);
    EXPECT_EQ(twice.refusal, Refusal::IdTaken);
    EXPECT_EQ(Outline(Doc()), added);
}

TEST_F(Actions, MovesSelectionsAndStatesDoneAgainLeaveTheDocumentAsTheFirstTimeDid) {
    const std::vector<actions::Action> steps{
        actions::MoveObject{lamp, car, wheel},
        actions::SelectObjects{{car}, actions::SelectHow::Replace, true},
        actions::DeselectObjects{{body}},
        actions::SetStates{wheel, Mode::Off, std::nullopt, false},
    };
    for (const actions::Action& step : steps) {
        SCOPED_TRACE(std::string(actions::NameOf(step)));
        ASSERT_TRUE(Perform(host, step).Done());
        const std::string once = Outline(Doc());
        ASSERT_TRUE(Perform(host, step).Done());
        EXPECT_EQ(Outline(Doc()), once);
    }
    EXPECT_EQ(Outline(Doc()), "Car@" + std::to_string(car) +
                                  "<- default/default selected\n"
                                  "Wheel@" +
                                  std::to_string(wheel) +
                                  "<Car off/default disabled selected\n"
                                  "Lamp@" +
                                  std::to_string(lamp) +
                                  "<Car default/default selected\n"
                                  "Body@" +
                                  std::to_string(body) + "<Car default/default\n");
}

TEST_F(Actions, ARefusedActionChangesNothingEvenWhatItWouldHaveChangedFirst) {
    ASSERT_TRUE(Perform(host, actions::SelectObjects{{lamp}}).Done());
    const std::string before = Outline(Doc());
    const ObjectId gone = body + 1000;
    struct Case {
        actions::Action action;
        Refusal refusal;
    };
    const std::vector<Case> cases{
        // A replace would deselect first; the second id names nothing.
        {actions::SelectObjects{{car, gone}, actions::SelectHow::Replace, true},
         Refusal::NoSuchObject},
        {actions::DeselectObjects{{gone}}, Refusal::NoSuchObject},
        {actions::SetStates{gone, Mode::Off, Mode::Off, false}, Refusal::NoSuchObject},
        {actions::MoveObject{car, wheel, 0}, Refusal::OwnHierarchy},
        {actions::MoveObject{lamp, 0, wheel}, Refusal::NotAChild},
        {actions::AddObject{.type = HOST_OBJECT_NULL, .name = "Late", .after = wheel},
         Refusal::NotAChild},
        {actions::AddObject{.type = 424242, .name = "Odd"}, Refusal::NoSuchType},
        {actions::LinkInstance{car, lamp}, Refusal::NotAnInstance},
        {actions::PressCommand{4242, HOST_QUALIFIER_ALT}, Refusal::NoSuchCommand},
        {actions::OpenDocument{.path = "/nonexistent/scene.json", .closeActive = true},
         Refusal::FileProblem},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(std::string(actions::NameOf(each.action)));
        const Outcome outcome = Perform(host, each.action);
        EXPECT_EQ(outcome.refusal, each.refusal) << outcome.message;
        EXPECT_FALSE(outcome.message.empty());
        EXPECT_EQ(Outline(Doc()), before);
    }
    EXPECT_EQ(host.Qualifiers(), 0);
    EXPECT_EQ(host.Documents().size(), 1U);
}

TEST_F(Actions, TakesAreAddedAndUsedByNameAndARefusedOneMakesNoTakes) {
    Doc().RemoveTakeData();
    const Outcome missing = Perform(host, actions::UseTake{"Night"});
    EXPECT_EQ(missing.refusal, Refusal::NoSuchTake);
    EXPECT_EQ(missing.message, "no take \"Night\" (there are: Main)");
    EXPECT_EQ(Doc().Takes(), nullptr);

    ASSERT_TRUE(Perform(host, actions::NewTake{"Night"}).Done());
    ASSERT_TRUE(Perform(host, actions::UseTake{"Night"}).Done());
    EXPECT_EQ(Doc().Takes()->CurrentTake()->Name(), "Night");
    EXPECT_EQ(Perform(host, actions::NewTake{"Night"}).refusal, Refusal::TakeTaken);
    EXPECT_EQ(Doc().Takes()->Takes().size(), 2U);
}

TEST_F(Actions, AnOpenThatThePersonRefusesToCloseForKeepsTheDocumentActive) {
    Document& before = Doc();
    const std::string path = ::testing::TempDir() + "actions_test_scene.json";
    ASSERT_TRUE(Perform(host, actions::SaveDocument{path, true}).Done());
    EXPECT_EQ(before.Name(), "actions_test_scene.json");
    const std::string saved = Outline(before);

    const actions::OpenDocument open{.path = path, .name = "Again", .closeActive = true};
    const Outcome kept = Perform(host, open, [](const Document&) { return false; });
    EXPECT_EQ(kept.refusal, Refusal::KeptDocument);
    EXPECT_EQ(&Doc(), &before);
    EXPECT_EQ(host.Documents().size(), 1U);

    ASSERT_TRUE(Perform(host, open, [](const Document&) { return true; }).Done());
    EXPECT_EQ(host.Documents().size(), 1U);
    EXPECT_EQ(Doc().Name(), "Again");
    EXPECT_EQ(Outline(Doc()), saved);
}

}  // namespace
}  // namespace vhost
