// The studio's request handler on any requests: method, path, query, headers and body from the
// input, done at once on this thread as the host thread does them, against a host running the
// module. Every answer is one of the protocol's statuses; every refusal carries a readable error
// and leaves the state as it was. Opening and saving are left out: they would reach any file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "fuzz_host.h"
#include "host.h"
#include "studio/event_stream.h"
#include "studio/request_handler.h"
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
};
const std::set<int> kStatuses = {200, 303, 400, 401, 403, 404, 405, 409, 415, 422};

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
    vhost::studio::EventStream events;
    vhost::studio::StudioSession session{TheHost(), events, ""};
    vhost::studio::RequestHandler handler{
        {kToken, kPort},
        std::filesystem::temp_directory_path() / "vela-fuzz-studio-page",
        [this](vhost::studio::WorkKind, HttpRequest request) { return session.Serve(request); },
        events,
        [this] { return session.Hello(); }};
};

Studio& TheStudio() {
    static Studio* const studio = new Studio();
    return *studio;
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
    if (input.ConsumeBool()) request.query[input.ConsumeRandomLengthString(8)] = "x";
    request.headers["content-type"] =
        input.ConsumeProbability<float>() < 0.9F ? "application/json" : "text/plain";
    request.body = input.ConsumeRemainingBytesAsString();
    return request;
}

std::string StateWithoutVersion(Studio& studio) {
    HttpRequest read;
    read.method = "GET";
    read.path = "/api/state";
    nlohmann::json state = nlohmann::json::parse(studio.session.Serve(read).body);
    state.erase("version");
    return state.dump();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    HttpRequest request = FuzzedRequest(input);
    if (request.path == "/api/open" || request.path == "/api/save") return 0;
    Studio& studio = TheStudio();
    const std::string before = StateWithoutVersion(studio);
    const HttpResponse response = studio.handler.Handle(request);
    vfuzz::Require(kStatuses.contains(response.status), "the answer has a status of the protocol");
    if (response.status >= 400) {
        const nlohmann::json error = nlohmann::json::parse(response.body, nullptr, false);
        vfuzz::Require(error.is_object() && error.contains("error") && error["error"].is_string() &&
                           !error["error"].get<std::string>().empty(),
                       "a refusal says why");
        vfuzz::Require(StateWithoutVersion(studio) == before, "a refusal changes nothing");
    }
    return 0;
}
