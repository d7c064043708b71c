// The studio's request handler on any requests: method, path (at times read from a request
// line's target, as the server reads it), query, headers and body from the input, done at once on
// this thread as the host thread does them, against a host running the module. Every answer is
// one of the protocol's statuses; every refusal carries a readable error and leaves the state as
// it was. Opening and saving are left out: they would reach any file. Uploads are done by a
// studio of their own, whose folder of dropped files must be gone once it is destroyed.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "fuzz_host.h"
#include "host.h"
#include "studio/event_stream.h"
#include "studio/http_target.h"
#include "studio/request_handler.h"
#include "studio/state_binary.h"
#include "studio/studio_session.h"

namespace {

using vhost::studio::HttpRequest;
using vhost::studio::HttpResponse;

constexpr int kPort = 4242;
constexpr const char* kToken = "00112233445566778899aabbccddeeff";
const char* const kPaths[] = {
    "/",
    "/assets/app.js",
    "/api/state",
    "/api/events",
    "/api/icon",
    "/api/mesh/1",
    "/api/opened/0",
    "/api/preferences",
    "/api/select",
    "/api/object",
    "/api/press",
    "/api/key",
    "/api/window",
    "/api/preferences/click",
    "/api/upload",
    // Making and closing documents and adding takes would pile up or throw away the small tree
    // every input shares; switching and choosing a take change neither.
    "/api/document/switch",
    "/api/take/use",
    "/favicon.ico",
};
const std::set<int> kStatuses = {200, 303, 400, 401, 403, 404, 405, 409, 415, 422, 426};

// The host with a small tree of its own: a parent with a child, and an object beside them.
vhost::Host& TheHost() {
    static vhost::Host& host = []() -> vhost::Host& {
        vhost::Host& started = vfuzz::StartedHost(VELA_MODULE_FILE);
        vhost::Document& document = started.ActiveDocument();
        vhost::Object* parent = document.CreateObject(HOST_OBJECT_NULL, "Parent");
        document.CreateObject(HOST_OBJECT_POLYGON, "Child", {parent});
        document.CreateObject(HOST_OBJECT_NULL, "Beside");
        return started;
    }();
    return host;
}

struct Studio {
    explicit Studio(const std::filesystem::path& uploadParent = {})
        : session(TheHost(), events, "", uploadParent) {}
    vhost::studio::EventStream events;
    vhost::studio::StudioSession session;
    vhost::studio::RequestHandler handler{
        {kToken, kPort},
        std::filesystem::temp_directory_path() / "vela-fuzz-studio-page",
        [this](vhost::studio::RoutedRequest request, const vhost::studio::Reply& reply) {
            reply(session.Serve(request));
        },
        events,
        [this] { return session.Hello(); }};
};

Studio& TheStudio() {
    static Studio* const studio = new Studio();
    return *studio;
}

// Where the upload studios make their folders: a folder of this process, removed at its end.
struct DropParent {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("vela-fuzz-studio-drops-" + std::to_string(::getpid()));
    DropParent() { std::filesystem::create_directories(path); }
    ~DropParent() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    DropParent(const DropParent&) = delete;
    DropParent& operator=(const DropParent&) = delete;
};

const std::filesystem::path& TheDropParent() {
    static const DropParent parent;
    return parent.path;
}

HttpRequest FuzzedRequest(FuzzedDataProvider& input) {
    HttpRequest request;
    request.method = input.ConsumeBool() ? "POST" : input.PickValueInArray({"GET", "PUT", "HEAD"});
    request.path = input.ConsumeBool() ? std::string(input.PickValueInArray(kPaths))
                                       : input.ConsumeRandomLengthString(64);
    request.headers["host"] = input.ConsumeProbability<float>() < 0.9F
                                  ? "127.0.0.1:" + std::to_string(kPort)
                                  : input.ConsumeRandomLengthString(32);
    request.headers["cookie"] = input.ConsumeProbability<float>() < 0.9F
                                    ? std::string("vela_studio=") + kToken
                                    : input.ConsumeRandomLengthString(48);
    if (input.ConsumeBool()) request.headers["origin"] = input.ConsumeRandomLengthString(32);
    if (input.ConsumeBool()) request.headers["upgrade"] = "websocket";
    if (input.ConsumeBool()) request.query[input.ConsumeRandomLengthString(8)] = "x";
    // Or the path and query as the server reads them from a request line.
    if (input.ConsumeProbability<float>() < 0.2F) {
        if (std::optional<vhost::studio::RequestTarget> target =
                vhost::studio::ParseTarget(input.ConsumeRandomLengthString(96))) {
            request.path = std::move(target->path);
            request.query = std::move(target->query);
        }
    }
    const bool upload = request.path == "/api/upload";
    if (upload && input.ConsumeProbability<float>() < 0.9F) {
        request.query["name"] = input.ConsumeRandomLengthString(300);
    }
    if (upload && input.ConsumeBool()) request.query["drop"] = input.ConsumeRandomLengthString(4);
    request.headers["content-type"] =
        input.ConsumeProbability<float>() < 0.9F
            ? (upload ? "application/octet-stream" : "application/json")
            : "text/plain";
    request.body = input.ConsumeRemainingBytesAsString();
    return request;
}

// The whole state as the host encodes it, read back (which must succeed), without its version.
std::string StateWithoutVersion(Studio& studio) {
    nlohmann::json state =
        vhost::studio::WholeStateJson(vhost::studio::DecodeWholeState(studio.session.State().body));
    state.erase("version");
    return state.dump();
}

// Has the studio handle the request and checks its answer.
void Check(Studio& studio, HttpRequest request) {
    const std::string before = StateWithoutVersion(studio);
    const HttpResponse response = studio.handler.Handle(std::move(request));
    vfuzz::Require(kStatuses.contains(response.status), "the answer has a status of the protocol");
    if (response.status >= 400) {
        const nlohmann::json error = nlohmann::json::parse(response.body, nullptr, false);
        vfuzz::Require(error.is_object() && error.contains("error") && error["error"].is_string() &&
                           !error["error"].get<std::string>().empty(),
                       "a refusal says why");
        vfuzz::Require(StateWithoutVersion(studio) == before, "a refusal changes nothing");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    HttpRequest request = FuzzedRequest(input);
    if (request.path == "/api/open" || request.path == "/api/save") return 0;
    if (request.path != "/api/upload") {
        Check(TheStudio(), std::move(request));
        return 0;
    }
    {
        Studio uploading(TheDropParent());
        Check(uploading, std::move(request));
    }
    vfuzz::Require(std::filesystem::is_empty(TheDropParent()),
                   "the studio's dropped files go with it");
    return 0;
}
