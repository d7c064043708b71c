// Several documents and takes in the studio, and what two pages on one studio see when an action
// is refused. The studio's session is driven on the test's thread, which is its host thread,
// with the real module; every page is a subscriber of the studio's events.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "actions/perform.h"
#include "host.h"
#include "scene_file/scene_file.h"
#include "started_host.h"
#include "studio/state_binary.h"
#include "studio/studio_routes.h"
#include "studio/studio_session.h"
#include "vela2023/vela_ids.h"

namespace {

using nlohmann::json;
using vhost::ObjectId;
using vhost::studio::EventSubscriber;
using vhost::studio::HttpRequest;
using vhost::studio::HttpResponse;
namespace actions = vhost::actions;

class StudioDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = StartedHost();
        vhost::Document& document = host_->ActiveDocument();
        car_ = document.CreateObject(HOST_OBJECT_NULL, "Car")->Id();
        body_ = document.CreateObject(HOST_OBJECT_POLYGON, "Body", {document.FindById(car_)})->Id();
        wheel_ =
            document.CreateObject(HOST_OBJECT_POLYGON, "Wheel", {document.FindById(car_)})->Id();
        ball_ = document.CreateObject(HOST_OBJECT_POLYGON, "Ball")->Id();
        session_ = std::make_unique<vhost::studio::StudioSession>(*host_, events_, "");
        pages_[0] = events_.Subscribe(session_->Hello());
        pages_[1] = events_.Subscribe(session_->Hello());
        for (const auto& page : pages_) Events(*page);  // their hello
    }

    void TearDown() override {
        session_.reset();
        host_->Shutdown();
    }

    // A request as the page sends it, done as the studio's host thread does it.
    HttpResponse Post(const std::string& path, const json& body) {
        HttpRequest request;
        request.method = "POST";
        request.path = path;
        request.headers["content-type"] = "application/json";
        request.body = body.dump();
        const std::optional<vhost::studio::RoutedRequest> routed =
            vhost::studio::Routed(std::move(request));
        EXPECT_TRUE(routed) << path;
        return session_->Serve(*routed);
    }
    json Answer(const std::string& path, const json& body) {
        const HttpResponse response = Post(path, body);
        EXPECT_EQ(response.status, 200) << path << " " << response.body;
        return json::parse(response.body);
    }
    json State() {
        HttpRequest request;
        request.method = "GET";
        request.path = "/api/state";
        return vhost::studio::WholeStateJson(vhost::studio::DecodeWholeState(
            session_->Serve(*vhost::studio::Routed(std::move(request))).body));
    }
    // An action the studio has no route for yet, done as the session does its actions: on the
    // host thread, and what it changed sent to every page.
    actions::Outcome Perform(const actions::Action& action) {
        actions::Outcome outcome = actions::Perform(*host_, action);
        host_->RefreshCommandStates();
        session_->PublishChanges();
        return outcome;
    }
    // The names of the events a page received since it last looked.
    static std::vector<std::string> Events(EventSubscriber& page) {
        std::vector<std::string> names;
        while (const EventSubscriber::Text text = page.Take()) {
            names.push_back(json::parse(*text)["event"].get<std::string>());
        }
        return names;
    }
    std::string SceneText() { return vhost::SerializeScene(host_->ActiveDocument()).text; }

    std::unique_ptr<vhost::Host> host_;
    vhost::studio::EventStream events_;
    std::unique_ptr<vhost::studio::StudioSession> session_;
    std::shared_ptr<EventSubscriber> pages_[2];
    ObjectId car_ = 0, body_ = 0, wheel_ = 0, ball_ = 0;
};

// Tabs: the whole object table follows the active document, the button is drawn by that
// document's isolation, and each document keeps its own "changed" until a close asks.
TEST_F(StudioDocumentsTest, TheActiveDocumentDecidesTheTreeTheButtonAndWhatAPressDoes) {
    const std::uint64_t first = host_->ActiveDocument().Serial();
    Answer("/api/select", {{"ids", {wheel_}}});
    ASSERT_EQ(Answer("/api/press", json::object())["result"], true);
    const json isolated = State();
    ASSERT_EQ(isolated["button"]["pressed"], true);

    const json made = Answer("/api/document/new", {{"name", "Second"}});
    for (const auto& page : pages_) EXPECT_EQ(Events(*page).back(), "reload");
    const json second = State();
    EXPECT_TRUE(second["objects"].empty());
    EXPECT_EQ(second["button"]["pressed"], false) << "the new document is not isolated";
    ASSERT_EQ(second["documents"].size(), 2U);
    EXPECT_EQ(second["documents"][1]["serial"], made["document"]);
    EXPECT_EQ(second["documents"][1]["active"], true);
    EXPECT_EQ(second["documents"][1]["changed"], false);
    EXPECT_EQ(second["documents"][0]["changed"], true) << "the press wrote into the first";

    // A press in the second document acts there, not on the isolated first one.
    EXPECT_EQ(Answer("/api/press", json::object())["result"], true);
    Answer("/api/document/switch", {{"document", first}});
    for (const auto& page : pages_) EXPECT_EQ(Events(*page).back(), "reload");
    json back = State();
    EXPECT_EQ(back["objects"], isolated["objects"]);
    EXPECT_EQ(back["button"]["pressed"], true);
    EXPECT_EQ(back["documents"][0]["active"], true);

    // Closing a changed document asks, as opening over one does; nothing closes meanwhile.
    const HttpResponse asked = Post("/api/document/close", {{"document", first}});
    EXPECT_EQ(asked.status, 409);
    EXPECT_EQ(json::parse(asked.body)["unsaved"], host_->ActiveDocument().Name()) << asked.body;
    back.erase("version");
    json still = State();
    still.erase("version");
    EXPECT_EQ(still, back);
    Answer("/api/document/close", {{"document", first}, {"discardChanges", true}});
    const json closed = State();
    ASSERT_EQ(closed["documents"].size(), 1U);
    EXPECT_EQ(closed["documents"][0]["serial"], made["document"]);
    EXPECT_EQ(closed["button"]["pressed"], false);
    EXPECT_EQ(Post("/api/document/switch", {{"document", first}}).status, 404);
}

// A press in a take other than the main one answers the console line it wrote and changes no
// object; back in the main take the press isolates.
TEST_F(StudioDocumentsTest, APressOutsideTheMainTakeWritesItsLineAndChangesNothing) {
    EXPECT_EQ(State()["takes"], json::parse(R"({"names": ["Main"], "current": 0})"));
    Answer("/api/take/new", {{"name", "Lighting"}});
    EXPECT_EQ(Post("/api/take/new", {{"name", "Lighting"}}).status, 409);
    EXPECT_EQ(Post("/api/take/new", {{"name", ""}}).status, 400);
    EXPECT_EQ(Post("/api/take/use", {{"name", "Nowhere"}}).status, 404);
    Answer("/api/take/use", {{"name", "Lighting"}});
    Answer("/api/select", {{"ids", {wheel_}}});
    const json before = State();
    EXPECT_EQ(before["takes"], json::parse(R"({"names": ["Main", "Lighting"], "current": 1})"));
    for (const auto& page : pages_) Events(*page);

    const json pressed = Answer("/api/press", json::object());
    EXPECT_EQ(pressed["result"], true);
    ASSERT_EQ(pressed["console"].size(), 1U) << pressed;
    EXPECT_FALSE(pressed["console"][0]["text"].get<std::string>().empty());
    const json after = State();
    EXPECT_EQ(after["objects"], before["objects"]);
    EXPECT_EQ(after["button"]["pressed"], false);

    Answer("/api/take/use", {{"name", "Main"}});
    Answer("/api/press", json::object());
    EXPECT_EQ(State()["button"]["pressed"], true);
}

// Two pages on one studio: each action below is refused with a sentence, changes neither the
// document nor the state, and sends neither page anything, so both still show the same state.
TEST_F(StudioDocumentsTest, RefusedActionsChangeNothingEitherPageSees) {
    // Set up what the refusals need: an instance below the car, a copy on the clipboard, a
    // document that has closed, the ball deleted by the second page, and a press, which ends the
    // document's history.
    const ObjectId instance =
        Perform(
            actions::AddObject{.type = HOST_OBJECT_INSTANCE, .name = "Car again", .parent = car_})
            .created;
    ASSERT_NE(instance, 0);
    ASSERT_TRUE(Perform(actions::CopyObjects{{body_}}).Done());
    const std::uint64_t first = host_->ActiveDocument().Serial();
    const json other = Answer("/api/document/new", json::object());
    Answer("/api/document/close", {{"document", other["document"]}});
    Answer("/api/document/switch", {{"document", first}});
    ASSERT_TRUE(Perform(actions::DeleteObject{{ball_}}).Done());  // the second page's delete
    EXPECT_EQ(Events(*pages_[0]).back(), "reload");
    EXPECT_EQ(Events(*pages_[1]).back(), "reload");
    Answer("/api/select", {{"ids", {wheel_}}});
    Answer("/api/press", json::object());
    for (const auto& page : pages_) Events(*page);

    const json before = State();
    const std::string sceneBefore = SceneText();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const std::uint64_t closed = other["document"].get<std::uint64_t>();
    struct Case {
        const char* what;
        actions::Action action;
        actions::Refusal refusal;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"rename of the deleted ball", actions::RenameObject{ball_, "Ball 2"},
         actions::Refusal::NoSuchObject, "there is no object"},
        {"states of the deleted ball", actions::SetStates{ball_, vhost::Mode::Off},
         actions::Refusal::NoSuchObject, "there is no object"},
        {"car under its own wheel", actions::MoveObject{car_, wheel_},
         actions::Refusal::OwnHierarchy, "into its own hierarchy"},
        {"paste into a closed document", actions::PasteObjects{closed},
         actions::Refusal::NoSuchDocument, "not open"},
        {"instance of itself", actions::LinkInstance{instance, instance},
         actions::Refusal::LinkLoop, "cannot refer to itself"},
        {"instance of its parent", actions::LinkInstance{instance, car_},
         actions::Refusal::LinkLoop, "an object above it"},
        {"position not a number", actions::TransformObject{wheel_, {kNaN, 0, 0}, {}, {1, 1, 1}},
         actions::Refusal::NotFinite, "not a finite number"},
        {"scale infinite", actions::TransformObject{wheel_, {}, {}, {1, kInfinity, 1}},
         actions::Refusal::NotFinite, "not a finite number"},
        {"undo after a press", actions::Undo{}, actions::Refusal::NothingToUndo, "nothing to undo"},
        {"redo after a press", actions::Redo{}, actions::Refusal::NothingToRedo, "nothing to redo"},
    };
    for (const Case& c : cases) {
        const actions::Outcome outcome = Perform(c.action);
        EXPECT_EQ(outcome.refusal, c.refusal) << c.what;
        EXPECT_NE(outcome.message.find(c.says), std::string::npos)
            << c.what << ": " << outcome.message;
    }
    // The same refusals where the studio has routes already: a sentence for the person.
    const std::vector<std::pair<std::string, json>> routed = {
        {"/api/object", {{"id", ball_}, {"editor", "off"}}},
        {"/api/select", {{"ids", {ball_}}}},
        {"/api/document/switch", {{"document", closed}}},
        {"/api/document/close", {{"document", closed}}},
        {"/api/take/use", {{"name", "Nowhere"}}},
    };
    for (const auto& [path, body] : routed) {
        const HttpResponse response = Post(path, body);
        EXPECT_EQ(response.status, 404) << path;
        // A sentence: its first letter a capital (it may begin with a quoted name), a full stop.
        const std::string sentence = json::parse(response.body)["error"];
        const auto letter = std::find_if(sentence.begin(), sentence.end(),
                                         [](unsigned char c) { return std::isalpha(c) != 0; });
        EXPECT_TRUE(letter != sentence.end() && std::isupper(static_cast<unsigned char>(*letter)) &&
                    sentence.back() == '.')
            << path << ": " << sentence;
    }

    EXPECT_EQ(SceneText(), sceneBefore);
    EXPECT_EQ(State(), before) << "nothing changed, not even the version";
    for (const auto& page : pages_) EXPECT_TRUE(Events(*page).empty());
}

}  // namespace
