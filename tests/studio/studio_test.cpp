// The studio as a page reaches it: requests through the request handler, done on the studio's
// host thread by a host that runs the real module, and the events every page receives.

#include "studio/studio.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "Prefsvelaprefs.h"
#include "host.h"
#include "model/geometry.h"
#include "node_gltf.h"
#include "scene_file/scene_file.h"
#include "started_host.h"
#include "studio/state_binary.h"
#include "studio/state_json.h"

namespace {

using nlohmann::json;
using vhost::studio::EventSubscriber;
using vhost::studio::HttpRequest;
using vhost::studio::HttpResponse;

constexpr int kPort = 4242;
constexpr const char* kToken = "0123456789abcdef0123456789abcdef";
constexpr std::chrono::seconds kPatience{10};

// A scene of a parent with two children and one object beside it.
void BuildScene(vhost::Document& document) {
    vhost::Object* car = document.CreateObject(HOST_OBJECT_NULL, "Car");
    document.CreateObject(HOST_OBJECT_POLYGON, "Body", {car});
    document.CreateObject(HOST_OBJECT_POLYGON, "Wheel", {car});
    document.CreateObject(HOST_OBJECT_POLYGON, "Ground");
}

// A studio around a host with the module, on a host thread of its own; the test is the browser.
class StudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        pageFolder_ = std::filesystem::temp_directory_path() /
                      ("vela-studio-test-" +
                       std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(pageFolder_);
        std::filesystem::create_directories(pageFolder_ / "assets");
        uploadParent_ = pageFolder_ / "drops";
        std::filesystem::create_directories(uploadParent_);
        std::ofstream(pageFolder_ / "assets" / "app.js") << "console.log('page');\n";
        std::ofstream(pageFolder_.parent_path() / "vela-studio-secret.txt")
            << "TOP SECRET CONTENT\n";
        std::promise<void> started;
        std::future<void> ready = started.get_future();
        hostThread_ = std::thread([this, &started] {
            host_ = StartedHost();
            BuildScene(host_->ActiveDocument());
            // Member by member: g++ 12 at -O3 takes the cleanup of a braced StudioSettings, should
            // a later member throw, for a read of an uninitialised token (-Wmaybe-uninitialized).
            vhost::studio::StudioSettings settings;
            settings.access = {kToken, kPort};
            settings.pageFolder = pageFolder_;
            settings.uploadParent = uploadParent_;
            core_ = std::make_unique<vhost::studio::Studio>(*host_, settings);
            started.set_value();
            core_->Run();
            host_->Shutdown();
            ranOut_.set_value();
            // What the host thread made is destroyed on it, as on the studio's own host thread,
            // once the test is done with the handler.
            released_.get_future().wait();
            core_.reset();
            host_.reset();
        });
        ASSERT_EQ(ready.wait_for(kPatience), std::future_status::ready);
    }

    void TearDown() override {
        if (hostThread_.joinable()) StopStudio();
        std::filesystem::remove_all(pageFolder_);
        std::filesystem::remove(pageFolder_.parent_path() / "vela-studio-secret.txt");
    }

    static HttpRequest Request(std::string method, std::string path, std::string body = {}) {
        HttpRequest request;
        request.method = std::move(method);
        request.path = std::move(path);
        request.headers["host"] = "127.0.0.1:" + std::to_string(kPort);
        request.headers["cookie"] = std::string("other=1; vela_studio=") + kToken;
        if (request.method == "POST") request.headers["content-type"] = "application/json";
        request.body = std::move(body);
        return request;
    }

    // Stops the studio and waits until the host thread destroyed what it made.
    void StopStudio() {
        if (core_ != nullptr) core_->Stop();
        released_.set_value();
        hostThread_.join();
    }

    HttpResponse Send(const HttpRequest& request) { return core_->Handler().Handle(request); }
    HttpResponse Get(const std::string& path) { return Send(Request("GET", path)); }
    HttpResponse Post(const std::string& path, const std::string& body) {
        return Send(Request("POST", path, body));
    }
    json State() {
        return vhost::studio::WholeStateJson(
            vhost::studio::DecodeWholeState(Get("/api/state").body));
    }
    // Sends a dropped file's bytes, as the first file of a new drop or as a later one of `drop`.
    HttpResponse Upload(const std::string& name, std::string bytes, const std::string& drop = {}) {
        HttpRequest request = Request("POST", "/api/upload", std::move(bytes));
        request.headers["content-type"] = "application/octet-stream";
        request.query["name"] = name;
        if (!drop.empty()) request.query["drop"] = drop;
        return Send(request);
    }
    bool NothingUploaded() const { return std::filesystem::is_empty(uploadParent_); }

    // The next event the subscriber receives: its name and data.
    static std::pair<std::string, json> NextEvent(EventSubscriber& events) {
        const std::optional<std::string> text = events.Next(kPatience);
        if (!text) return {"(none)", nullptr};
        json event = json::parse(*text);
        return {event["event"].get<std::string>(), std::move(event["data"])};
    }

    std::shared_ptr<EventSubscriber> Subscribe() {
        HttpRequest request = Request("GET", "/api/events");
        request.headers["upgrade"] = "websocket";
        std::shared_ptr<EventSubscriber> events = Send(request).events;
        EXPECT_EQ(NextEvent(*events).first, "hello");
        return events;
    }

    // Clicks the button that opens the module's hotkey dialog, from another thread: its answer
    // comes once the dialog has closed. Kept here so that a failed test stops the studio first.
    std::future<HttpResponse>& ClickAssignHotkey() {
        click_ = std::async(std::launch::async, [this] {
            return Post("/api/preferences/click", json{{"id", VELAPREFS_ASSIGN_HOTKEY}}.dump());
        });
        return click_;
    }

    std::future<HttpResponse> click_;
    std::filesystem::path pageFolder_;
    std::filesystem::path uploadParent_;  // where the studio makes its folder of dropped files
    std::thread hostThread_;
    std::promise<void> ranOut_;    // the core's Run returned and the host shut down
    std::promise<void> released_;  // the test is done with the core
    // Made on the host thread and destroyed there (the core first, while the host is there).
    std::unique_ptr<vhost::Host> host_;
    std::unique_ptr<vhost::studio::Studio> core_;
};

std::int64_t IdOf(const json& state, const std::string& name) {
    for (const json& object : state["objects"]) {
        if (object["name"] == name) return object["id"].get<std::int64_t>();
    }
    return 0;
}

TEST_F(StudioTest, RefusesStrangersForeignSitesAndPathsOutOfThePage) {
    const json before = State();
    HttpRequest noToken = Request("POST", "/api/select", R"({"ids": []})");
    noToken.headers.erase("cookie");
    EXPECT_EQ(Send(noToken).status, 401);
    HttpRequest wrongToken = Request("GET", "/api/state");
    wrongToken.headers["cookie"] = "vela_studio=0123456789abcdef0123456789abcdee";
    EXPECT_EQ(Send(wrongToken).status, 401);
    HttpRequest rebound = Request("GET", "/api/state");
    rebound.headers["host"] = "attacker.example:" + std::to_string(kPort);
    EXPECT_EQ(Send(rebound).status, 403);
    HttpRequest otherPort = Request("GET", "/api/state");
    otherPort.headers["host"] = "localhost:1";
    EXPECT_EQ(Send(otherPort).status, 403);
    HttpRequest crossSite = Request("POST", "/api/press", "{}");
    crossSite.headers["origin"] = "http://attacker.example";
    EXPECT_EQ(Send(crossSite).status, 403);
    HttpRequest sameSite = Request("GET", "/api/state");
    sameSite.headers["origin"] = "http://localhost:" + std::to_string(kPort);
    EXPECT_EQ(Send(sameSite).status, 200);

    // The page's own file is served; nothing beside or above its folder is, however named.
    EXPECT_EQ(Get("/assets/app.js").body, "console.log('page');\n");
    for (const char* path :
         {"/assets/../../vela-studio-secret.txt", "/assets/../app.js",
          "/assets/%2e%2e/%2e%2e/vela-studio-secret.txt", "/assets/..\\..\\vela-studio-secret.txt",
          "/assets//etc/passwd", "/../vela-studio-secret.txt", "/etc/passwd"}) {
        const HttpResponse response = Get(path);
        EXPECT_EQ(response.status, 404) << path;
        EXPECT_EQ(response.body.find("TOP SECRET"), std::string::npos) << path;
    }
    std::filesystem::create_symlink(pageFolder_.parent_path() / "vela-studio-secret.txt",
                                    pageFolder_ / "assets" / "link.txt");
    EXPECT_EQ(Get("/assets/link.txt").status, 404);
    // The token in the first address becomes a cookie, and the address loses it.
    HttpRequest first = Request("GET", "/");
    first.headers.erase("cookie");
    first.query["token"] = kToken;
    const HttpResponse redirect = Send(first);
    EXPECT_EQ(redirect.status, 303);
    EXPECT_NE(std::find(redirect.headers.begin(), redirect.headers.end(),
                        std::pair<std::string, std::string>(
                            "Set-Cookie", std::string("vela_studio=") + kToken +
                                              "; HttpOnly; SameSite=Strict; Path=/")),
              redirect.headers.end());
    EXPECT_EQ(State(), before);
}

TEST_F(StudioTest, BadRequestsAnswerWhyAndChangeNothing) {
    const json before = State();
    const std::int64_t body = IdOf(before, "Body");
    struct Case {
        const char* path;
        std::string body;
        int status;
    };
    const Case cases[] = {
        {"/api/select", "{\"ids\": [1, ", 400},
        {"/api/select", "[1, 2]", 400},
        {"/api/select", R"({"ids": [)" + std::to_string(body) + R"(, 987654], "mode": "replace"})",
         404},
        {"/api/select", R"({"ids": [1], "mode": "sideways"})", 400},
        {"/api/object", R"({"id": 987654, "editor": "off"})", 404},
        {"/api/object", R"({"id": )" + std::to_string(body) + R"(, "editor": "off", "render": 3})",
         400},
        {"/api/press", R"({"shift": "yes"})", 400},
        {"/api/key", R"({"key": "NoSuchKey"})", 400},
        {"/api/preferences", R"({"id": 424242, "value": true})", 404},
        {"/api/window", R"({"action": "ok"})", 409},
        {"/api/open", R"({"path": "/no/such/scene.json"})", 422},
        {"/api/nowhere", "{}", 404},
    };
    for (const Case& c : cases) {
        const HttpResponse response = Post(c.path, c.body);
        EXPECT_EQ(response.status, c.status) << c.path << " " << c.body;
        const json answer = json::parse(response.body, nullptr, false);
        EXPECT_TRUE(answer.contains("error") && answer["error"].is_string() &&
                    !answer["error"].get<std::string>().empty())
            << response.body;
    }
    // The preferences' pictures: a bitmap button's is a BMP; a switch or a number out of range
    // has none.
    const std::string picture = "/api/preferences/picture/";
    EXPECT_EQ(Get(picture + std::to_string(VELAPREFS_WEBSITE)).body.substr(0, 2), "BM");
    EXPECT_EQ(Get(picture + std::to_string(VELAPREFS_KEEP_VISIBILITY)).status, 404);
    EXPECT_EQ(Get(picture + "4294967296").status, 404);
    // The browser's own request for the page's icon is the Vela Button's icon.
    const HttpResponse favicon = Get("/favicon.ico");
    EXPECT_EQ(favicon.status, 200);
    EXPECT_EQ(favicon.contentType, "image/bmp");
    EXPECT_EQ(favicon.body.substr(0, 2), "BM");
    EXPECT_EQ(favicon.body, Get("/api/icon").body);
    HttpRequest notJson = Request("POST", "/api/press", "{}");
    notJson.headers["content-type"] = "text/plain";
    EXPECT_EQ(Send(notJson).status, 415);
    // A path asked with a method it does not take names the methods it takes.
    for (const auto& [method, path, allowed] :
         {std::tuple("GET", "/api/select", "POST"), std::tuple("POST", "/api/state", "GET"),
          std::tuple("POST", "/api/preferences/picture/1", "GET"),
          std::tuple("POST", "/assets/app.js", "GET")}) {
        const HttpResponse refused = Send(Request(method, path, "{}"));
        EXPECT_EQ(refused.status, 405) << method << " " << path;
        EXPECT_NE(std::find(refused.headers.begin(), refused.headers.end(),
                            std::pair<std::string, std::string>("Allow", allowed)),
                  refused.headers.end())
            << method << " " << path;
    }
    EXPECT_EQ(Send(Request("PUT", "/api/select", "{}")).status, 405);
    EXPECT_EQ(Send(Request("DELETE", "/nowhere")).status, 405);

    // A dropped file is kept only under a plain file name, in a drop of this studio, as bytes.
    for (const std::string& name :
         {std::string(), std::string("scenes/car.json"), std::string("..\\car.json"),
          std::string("."), std::string(".."), std::string("car\tcopy.json"),
          std::string("car\0.json", 9), std::string("car\xC2\x85.json"), std::string(256, 'n'),
          std::string("car\xFF.json")}) {
        const HttpResponse refused = Upload(name, "{}");
        EXPECT_EQ(refused.status, 400) << name;
        EXPECT_NE(json::parse(refused.body)["error"].get<std::string>().find("plain file name"),
                  std::string::npos)
            << refused.body;
    }
    EXPECT_EQ(Upload(std::string(255, 'n'), "{}", "1").status, 404);  // a drop never made
    EXPECT_EQ(Upload("car.json", "{}", "1x").status, 400);
    HttpRequest unnamed = Request("POST", "/api/upload", "{}");
    unnamed.headers["content-type"] = "application/octet-stream";
    EXPECT_EQ(Send(unnamed).status, 400);
    HttpRequest jsonUpload = Request("POST", "/api/upload", "{}");
    jsonUpload.query["name"] = "car.json";
    EXPECT_EQ(Send(jsonUpload).status, 415);
    EXPECT_EQ(Post("/api/open", R"({"drop": 1, "name": "car.json"})").status, 404);
    EXPECT_TRUE(NothingUploaded());
    EXPECT_EQ(State(), before);
}

// A scene with geometry, as saving writes it: the scene file and its mesh file.
vhost::SceneTextResult SceneWithMesh() {
    vhost::Document document("Garage");
    vhost::Object* van = document.CreateObject(HOST_OBJECT_POLYGON, "Van");
    auto paint = std::make_shared<vhost::MeshPart>();
    paint->positions = {{0.0F, 0.0F, 0.0F}, {1.0F, 0.0F, 0.0F}, {0.0F, 1.0F, 0.0F}};
    paint->triangles = {{0, 1, 2}};
    van->SetMesh(std::make_shared<const vhost::Mesh>(vhost::Mesh{{paint}}));
    return vhost::SerializeScene(document);
}

TEST_F(StudioTest, ADroppedSceneOpensWithItsMeshFileAndIsSavedOnlyWhereThePersonSays) {
    const vhost::SceneTextResult scene = SceneWithMesh();
    ASSERT_TRUE(scene.Ok() && !scene.meshFile.empty()) << scene.error;
    const std::shared_ptr<EventSubscriber> events = Subscribe();
    const HttpResponse first = Upload("garage.json", scene.text);
    ASSERT_EQ(first.status, 200) << first.body;
    const std::string drop = json::parse(first.body)["drop"].dump();
    const std::string openDrop = R"({"drop": )" + drop + R"(, "name": "garage.json"})";

    // Without its mesh file the scene cannot open; the message names the files as dropped, and
    // the open document stays.
    const HttpResponse alone = Post("/api/open", openDrop);
    EXPECT_EQ(alone.status, 422);
    EXPECT_NE(alone.body.find("garage.json.mesh"), std::string::npos) << alone.body;
    EXPECT_EQ(alone.body.find(uploadParent_.string()), std::string::npos) << alone.body;
    EXPECT_NE(IdOf(State(), "Wheel"), 0);

    ASSERT_EQ(Upload("garage.json.mesh", scene.meshFile, drop).status, 200);
    EXPECT_EQ(Upload("garage.json", "{}", drop).status, 400);  // the drop's file stays as it was
    const HttpResponse opened = Post("/api/open", openDrop);
    ASSERT_EQ(opened.status, 200) << opened.body;
    EXPECT_EQ(NextEvent(*events).first, "reload");
    json state = State();
    EXPECT_EQ(state["document"],
              json::parse(R"({"name": "garage.json", "path": "", "changed": false})"));
    ASSERT_EQ(state["objects"].size(), 1U);
    const json mesh = json::parse(Get("/api/mesh/" + state["objects"][0]["mesh"].dump()).body);
    EXPECT_EQ(mesh["parts"][0]["positions"].size(), 9U) << mesh;

    // It was never saved: Save needs a path, and Save as writes only where it is told.
    const HttpResponse save = Post("/api/save", "{}");
    EXPECT_EQ(save.status, 400);
    EXPECT_NE(save.body.find("never saved"), std::string::npos) << save.body;
    const std::filesystem::path target = pageFolder_ / "garage-copy.json";
    ASSERT_EQ(Post("/api/save", json{{"path", target.string()}}.dump()).status, 200);
    EXPECT_TRUE(std::filesystem::exists(target.string() + ".mesh"));
    state = State();
    EXPECT_EQ(state["document"]["name"], "garage-copy.json");
    EXPECT_EQ(state["document"]["path"], target.string());

    // A second drop of the same name is kept apart; all drops are in one folder of the owner's.
    const HttpResponse again = Upload("garage.json", "{}");
    ASSERT_EQ(again.status, 200);
    EXPECT_NE(json::parse(again.body)["drop"].dump(), drop);
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(uploadParent_)) {
        folders.push_back(entry.path());
    }
    ASSERT_EQ(folders.size(), 1U);
    EXPECT_EQ(std::filesystem::status(folders[0]).permissions(), std::filesystem::perms::owner_all);
    // The folder goes with the studio.
    StopStudio();
    EXPECT_TRUE(NothingUploaded());
}

// Applies a change event's objects to a whole state's.
// The ids an entry of a change event names: its `id`, or each of its `ids` with every id of a
// `[first, last]` run.
std::vector<std::int64_t> IdsOfEntry(const json& entry) {
    if (entry.contains("id")) return {entry["id"].get<std::int64_t>()};
    std::vector<std::int64_t> ids;
    for (const json& item : entry["ids"]) {
        if (!item.is_array()) {
            ids.push_back(item.get<std::int64_t>());
            continue;
        }
        for (std::int64_t id = item[0]; id <= item[1].get<std::int64_t>(); ++id) ids.push_back(id);
    }
    return ids;
}

void Apply(json& state, const json& change) {
    for (json changed : change["objects"]) {
        const std::vector<std::int64_t> ids = IdsOfEntry(changed);
        changed.erase("id");
        changed.erase("ids");
        for (json& object : state["objects"]) {
            if (std::find(ids.begin(), ids.end(), object["id"]) != ids.end())
                object.update(changed);
        }
    }
}

TEST_F(StudioTest, SelectAndPressSendOnlyWhatChanged) {
    const std::shared_ptr<EventSubscriber> events = Subscribe();
    json seen = State();
    const std::int64_t wheel = IdOf(seen, "Wheel");

    const json selected = json::parse(Post("/api/select", json{{"ids", {wheel}}}.dump()).body);
    auto [name, change] = NextEvent(*events);
    EXPECT_EQ(name, "change");
    EXPECT_EQ(change["version"], selected["version"]);
    EXPECT_EQ(change["objects"],
              json::parse(R"([{"id": )" + std::to_string(wheel) + R"(, "selected": true}])"));
    EXPECT_FALSE(change.contains("button"));
    Apply(seen, change);

    const HttpResponse press = Post("/api/press", "{}");
    ASSERT_EQ(press.status, 200);
    std::tie(name, change) = NextEvent(*events);
    EXPECT_EQ(name, "change");
    EXPECT_EQ(change["version"], json::parse(press.body)["version"]);
    EXPECT_EQ(change["button"], json::parse(R"({"pressed": true})"));
    EXPECT_EQ(change["document"], json::parse(R"({"changed": true})"));
    // Every object listed changed, and the page that applies the event has the host's state.
    for (const json& object : change["objects"]) EXPECT_GT(object.size(), 1U) << object;
    const std::int64_t car = IdOf(seen, "Car");
    EXPECT_EQ(change["objects"],
              json::parse(R"([{"ids": [)" + std::to_string(car) + "," +
                          std::to_string(IdOf(seen, "Body")) + "," +
                          std::to_string(IdOf(seen, "Ground")) +
                          R"(], "editor": "off", "isolated": true}, {"id": )" +
                          std::to_string(wheel) + R"(, "editor": "on", "isolated": true}])"));
    Apply(seen, change);
    const json now = State();
    EXPECT_EQ(seen["objects"], now["objects"]);

    // A document with changes that were not saved gives way to another only when the request
    // says to discard them.
    const std::string saved = (pageFolder_ / "isolated.json").string();
    ASSERT_EQ(Post("/api/save", json{{"path", saved}}.dump()).status, 200);
    ASSERT_EQ(Post("/api/press", "{}").status, 200);  // the restore changes it again
    const json restored = State();
    ASSERT_TRUE(restored["document"]["changed"].get<bool>());
    const HttpResponse refused = Post("/api/open", json{{"path", saved}}.dump());
    EXPECT_EQ(refused.status, 409);
    EXPECT_EQ(json::parse(refused.body)["unsaved"], "isolated.json") << refused.body;
    EXPECT_EQ(State(), restored);
    const auto editorOfWheel = [](const json& state) {
        for (const json& object : state["objects"]) {
            if (object["name"] == "Wheel") return object["editor"];
        }
        return json();
    };
    EXPECT_EQ(editorOfWheel(restored), "default");
    const std::string discarding = json{{"path", saved}, {"discardChanges", true}}.dump();
    ASSERT_EQ(Post("/api/open", discarding).status, 200);
    const json reopened = State();
    EXPECT_FALSE(reopened["document"]["changed"].get<bool>());
    EXPECT_EQ(editorOfWheel(reopened), "on");  // as it was saved, isolated
}

// A drag's updates are one step, and an Esc that brings it back leaves none; each update reaches
// the page as a change of the object's transform with the history's names. A move goes before the
// sibling the request names, the first one too. Refused edits answer why and change nothing.
TEST_F(StudioTest, EditsAreStepsOfTheHistoryAndReachThePageAsChanges) {
    const std::shared_ptr<EventSubscriber> events = Subscribe();
    const json start = State();
    EXPECT_EQ(start["history"], json::parse(R"({"undo": null, "redo": null})"));
    const std::int64_t wheel = IdOf(start, "Wheel");
    const auto moveWheel = [&](double x, bool continues) {
        return Post("/api/transform", json{{"id", wheel},
                                           {"position", {x, 0, 0}},
                                           {"rotation", {0, 0, 0}},
                                           {"scale", {1, 1, 1}},
                                           {"continues", continues}}
                                          .dump());
    };
    for (const double x : {1.0, 2.0, 3.0}) {
        const HttpResponse moved = moveWheel(x, x > 1.0);
        ASSERT_EQ(moved.status, 200) << moved.body;
        EXPECT_EQ(json::parse(moved.body)["step"], "Transform Wheel");
        auto [name, change] = NextEvent(*events);
        ASSERT_EQ(name, "change");
        const json transform = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, 0, 0, 1};
        EXPECT_EQ(change["objects"], json::array({{{"id", wheel}, {"transform", transform}}}));
        if (x == 1.0) {
            EXPECT_EQ(change["history"]["undo"], "Transform Wheel");
        }
    }
    ASSERT_EQ(Post("/api/undo", "{}").status, 200);
    json now = State();
    EXPECT_EQ(now["history"], json::parse(R"({"undo": null, "redo": "Transform Wheel"})"));
    EXPECT_EQ(now["objects"], start["objects"]) << "one undo takes back the whole drag";

    ASSERT_EQ(moveWheel(5, false).status, 200);
    ASSERT_EQ(moveWheel(0, true).status, 200);
    ASSERT_EQ(moveWheel(0, true).status, 200);  // the place it began, sent again
    now = State();
    EXPECT_EQ(now["history"], json::parse(R"({"undo": null, "redo": null})"));
    EXPECT_EQ(now["objects"], start["objects"]);

    const std::int64_t car = IdOf(start, "Car");
    const std::int64_t ground = IdOf(start, "Ground");
    const HttpResponse moved = Post(
        "/api/move", json{{"id", ground}, {"parent", car}, {"before", IdOf(start, "Body")}}.dump());
    ASSERT_EQ(moved.status, 200) << moved.body;
    EXPECT_EQ(json::parse(moved.body)["step"], "Move Ground");
    now = State();
    std::vector<std::string> order;
    for (const json& object : now["objects"]) order.push_back(object["name"]);
    EXPECT_EQ(order, (std::vector<std::string>{"Car", "Ground", "Body", "Wheel"}));

    const std::tuple<std::string, json, int, std::string> refusals[] = {
        {"/api/move",
         {{"id", car}, {"parent", wheel}},
         400,
         "\"Car\" cannot go inside itself or an object below it."},
        {"/api/rename", {{"id", car}, {"name", ""}}, 400, "An object needs a name."},
        {"/api/transform",
         {{"id", car}, {"scale", {1, nullptr, 1}}},
         400,
         "A position, rotation or scale of object " + std::to_string(car) +
             " is not a finite number."},
        {"/api/create",
         {{"type", "instance"}, {"parent", wheel}, {"link", car}},
         400,
         "An instance cannot refer to an object above it."},
        {"/api/delete", {{"ids", {999}}}, 404, "There is no object 999."},
        {"/api/redo", json::object(), 409, "There is nothing to redo."},
    };
    for (const auto& [path, body, status, sentence] : refusals) {
        const HttpResponse refused = Post(path, body.dump());
        EXPECT_EQ(refused.status, status) << path << " " << refused.body;
        EXPECT_EQ(json::parse(refused.body)["error"], sentence) << path;
        EXPECT_EQ(State(), now) << path;
    }
}

// Objects that changed the same members to the same values are one entry, in the order of the
// entries' first ids, whatever the order of the tree (the same text when the ids ascend in it,
// which is read in one pass, and when a move has shuffled them); three or more consecutive ids are
// a run.
TEST(ChangeEventTest, ObjectsThatChangedAlikeAreOneEntryWithRunsOfIds) {
    using vhost::Mode;
    for (const auto& order : {std::vector<vhost::ObjectId>{5, 1, 2, 3, 6, 9, 4, 7, 8},
                              std::vector<vhost::ObjectId>{1, 2, 3, 4, 5, 6, 7, 8, 9}}) {
        vhost::studio::Snapshot before;
        for (const vhost::ObjectId id : order) {
            vhost::studio::ObjectShape shape;
            shape.id = id;
            before.shapes.push_back(shape);
            vhost::studio::ObjectStates states;
            states.name = "#" + std::to_string(id);
            before.states.push_back(states);
        }
        vhost::studio::Snapshot now = before;
        auto states = [&now](vhost::ObjectId id) -> vhost::studio::ObjectStates& {
            const auto found = std::find_if(now.shapes.begin(), now.shapes.end(),
                                            [id](const auto& shape) { return shape.id == id; });
            return now.states[static_cast<std::size_t>(found - now.shapes.begin())];
        };
        for (const vhost::ObjectId id : {1U, 2U, 3U, 4U, 7U}) states(id).editor = Mode::Off;
        states(5).editor = Mode::Off;
        states(5).isolated = true;
        states(6).editor = Mode::On;
        states(8).name = "Ω";
        states(9).selected = true;

        const vhost::studio::Changes changes = vhost::studio::ChangesBetween(before, now, {});
        EXPECT_FALSE(changes.tree);
        EXPECT_EQ(changes.objects,
                  R"([{"ids":[[1,4],7],"editor":"off"},{"id":5,"editor":"off","isolated":true},)"
                  R"({"id":6,"editor":"on"},{"id":8,"name":"Ω"},{"id":9,"selected":true}])")
            << "the tree beginning with " << order.front();
    }
}

TEST_F(StudioTest, AModalWindowHoldsOtherActionsUntilThePersonAnswersIt) {
    const std::shared_ptr<EventSubscriber> events = Subscribe();
    std::future<HttpResponse>& click = ClickAssignHotkey();
    auto [name, change] = NextEvent(*events);
    ASSERT_EQ(name, "change");
    ASSERT_TRUE(change["window"].is_object()) << change;
    EXPECT_EQ(change["window"]["kind"], "dialog");
    const std::string title = change["window"]["title"];
    const std::uint64_t version = change["version"];

    const HttpResponse refused = Post("/api/select", R"({"ids": []})");
    EXPECT_EQ(refused.status, 409);
    EXPECT_NE(refused.body.find(title), std::string::npos) << refused.body;
    EXPECT_EQ(Post("/api/press", "{}").status, 409);
    EXPECT_EQ(Upload("late.json", "{}").status, 409);
    EXPECT_TRUE(NothingUploaded());
    EXPECT_EQ(State()["window"]["title"], title);  // reads are answered meanwhile
    EXPECT_EQ(State()["version"], version);
    EXPECT_EQ(click.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);

    EXPECT_EQ(Post("/api/window", R"({"action": "type", "text": "k"})").status, 200);
    EXPECT_EQ(Post("/api/window", R"({"action": "ok"})").status, 200);
    // The module confirms the new keys in a message box; dismissing it ends the click.
    std::tie(name, change) = NextEvent(*events);  // the typed text in the dialog
    while (name == "change" && change.contains("window") && change["window"].is_object() &&
           change["window"]["kind"] == "dialog") {
        std::tie(name, change) = NextEvent(*events);
    }
    ASSERT_EQ(change["window"]["kind"], "message") << change;
    EXPECT_EQ(Post("/api/window", R"({"action": "type", "text": "x"})").status, 400);
    EXPECT_EQ(Post("/api/window", R"({"action": "ok"})").status, 200);
    ASSERT_EQ(click.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(click.get().status, 200);
    EXPECT_TRUE(State()["window"].is_null());
    EXPECT_EQ(Post("/api/key", R"({"key": "k"})").body.find("\"ran\":null"), std::string::npos);
}

TEST_F(StudioTest, StoppingWithAWindowOpenCancelsItAndEndsTheHostThread) {
    const std::shared_ptr<EventSubscriber> events = Subscribe();
    std::future<HttpResponse>& click = ClickAssignHotkey();
    ASSERT_TRUE(NextEvent(*events).second["window"].is_object());
    core_->Stop();
    ASSERT_EQ(click.wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(click.get().status, 200);
    ASSERT_EQ(ranOut_.get_future().wait_for(kPatience), std::future_status::ready);
    EXPECT_EQ(Get("/api/state").status, 503);
    // What was sent before the end may still be waiting to be read; then the stream is over.
    while (events->Next(std::chrono::milliseconds(0))) {
    }
    EXPECT_TRUE(events->Closed());
}

// A long open shows every page its progress, and a page that connects meanwhile finds it in its
// hello. A cancel is answered while the host thread is still busy with the open (it does not wait
// behind it), the open then answers that it was cancelled, every page's bar goes away, and the
// scene is as it was.
TEST_F(StudioTest, ALongOpenShowsItsProgressToEveryPageAndACancelLeavesTheSceneAsItWas) {
    const std::filesystem::path town = pageFolder_ / "town.gltf";
    {
        std::ofstream file(town);
        vtools::WriteNodeGltf(file, 100000);
    }
    const json before = State();
    const std::shared_ptr<EventSubscriber> first = Subscribe();
    std::future<HttpResponse> open = std::async(std::launch::async, [&] {
        return Post("/api/open", json{{"path", town.string()}}.dump());
    });
    const auto [event, shown] = NextEvent(*first);
    ASSERT_EQ(event, "progress");
    EXPECT_NE(shown["stage"].get<std::string>().find("town.gltf"), std::string::npos) << shown;

    HttpRequest connect = Request("GET", "/api/events");
    connect.headers["upgrade"] = "websocket";
    const std::shared_ptr<EventSubscriber> later = Send(connect).events;
    const auto [hello, greeting] = NextEvent(*later);
    ASSERT_EQ(hello, "hello");
    EXPECT_TRUE(greeting["progress"].is_object()) << greeting;

    const HttpResponse cancel = Post("/api/cancel", "{}");
    EXPECT_EQ(cancel.status, 200);
    EXPECT_EQ(json::parse(cancel.body), json({{"cancelled", true}}));
    ASSERT_EQ(open.wait_for(kPatience), std::future_status::ready);
    const HttpResponse opened = open.get();
    EXPECT_EQ(opened.status, 409);
    EXPECT_EQ(json::parse(opened.body)["error"],
              "Opening " + json(town.string()).dump() + " was cancelled; nothing changed.");
    EXPECT_TRUE(json::parse(opened.body)["cancelled"].get<bool>());
    for (EventSubscriber* page : {first.get(), later.get()}) {
        std::pair<std::string, json> next = NextEvent(*page);
        while (next.first == "progress" && !next.second.is_null()) next = NextEvent(*page);
        EXPECT_EQ(next, (std::pair<std::string, json>("progress", nullptr)));
    }
    EXPECT_EQ(State(), before);
    EXPECT_EQ(json::parse(Post("/api/cancel", "{}").body), json({{"cancelled", false}}));
}

}  // namespace
