// What the studio's host side costs on a large scene: the whole state a page loads, and a press of
// the Vela Button with the change event that follows it.
//
// The scene is the glTF town of tools/node_gltf.h (99,999 objects: 1,000 nulls, 8 polygon objects
// and 98,991 instances of them), opened as `vela-host studio FILE` opens it, with the real module
// loaded and started. The session is driven through its request interface, as the server drives it;
// one subscriber receives the events, as one open page does. Each press toggles the isolation, so
// iterations alternate isolate and restore; each changes the states of every object.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "actions/perform.h"
#include "host.h"
#include "import/scene_opening.h"
#include "model/scene.h"
#include "node_gltf.h"
#include "studio/event_stream.h"
#include "studio/studio_session.h"
#include "vela2023/vela_ids.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vhost::studio::HttpRequest;
using vhost::studio::HttpResponse;

constexpr std::size_t kTownNodes = 100000;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A host with the module and the town, a session on it and one page's event stream.
class Studio {
public:
    Studio() : host_(std::make_unique<vhost::Host>()) {
        const vhost::ModuleLoadReport report = host_->LoadModule(VELA_MODULE_FILE);
        if (!report.started) {
            error_ = report.messages.empty() ? "the module did not start" : report.messages.front();
            return;
        }
        host_->FinishStartup();
        const fs::path file = fs::temp_directory_path() / "vela-studio-benchmark-town.gltf";
        {
            std::ofstream out(file);
            vtools::WriteNodeGltf(out, kTownNodes);
        }
        vhost::SceneLoadResult loaded = vhost::OpenScene(file);
        fs::remove(file);
        if (!loaded.document) {
            error_ = loaded.error;
            return;
        }
        vhost::Document& town = host_->AdoptDocument(std::move(loaded.document));
        town.FirstObject()->SetBit(vhost::kBitActive);  // the page's first row, clicked
        session_ = std::make_unique<vhost::studio::StudioSession>(*host_, events_, file.string());
        page_ = events_.Subscribe(session_->Hello());
        DrainEvents();
    }

    const std::string& Error() const { return error_; }
    vhost::Host& Host() { return *host_; }
    vhost::studio::StudioSession& Session() { return *session_; }
    std::size_t Objects() const { return host_->ActiveDocument().ObjectCount(); }

    HttpResponse Serve(const char* method, const char* path, const char* body = "") {
        HttpRequest request;
        request.method = method;
        request.path = path;
        request.headers["content-type"] = "application/json";
        request.body = body;
        return session_->Serve(vhost::studio::Routed(std::move(request)).value());
    }

    // The bytes of the events the page received since the last call.
    std::size_t DrainEvents() {
        std::size_t bytes = 0;
        while (const std::optional<std::string> event = page_->Next(std::chrono::milliseconds(0))) {
            bytes += event->size();
        }
        return bytes;
    }

private:
    std::unique_ptr<vhost::Host> host_;
    vhost::studio::EventStream events_;
    std::unique_ptr<vhost::studio::StudioSession> session_;
    std::shared_ptr<vhost::studio::EventSubscriber> page_;
    std::string error_;
};

Studio* TheStudio(benchmark::State& state) {
    static Studio studio;
    if (!studio.Error().empty()) {
        state.SkipWithError(studio.Error().c_str());
        return nullptr;
    }
    return &studio;
}

void Report(benchmark::State& state, Studio& studio, double seconds, double bytes) {
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["objects"] = static_cast<double>(studio.Objects());
    state.counters["ns/obj"] = seconds * 1e9 / iterations / static_cast<double>(studio.Objects());
    state.counters["MB"] = bytes / iterations / 1e6;
}

// Times one request per iteration. The bytes counted are the answer's, or with `eventBytes`
// those of the events the request sent to the page.
void TimeRequests(benchmark::State& state, const char* method, const char* path, const char* body,
                  bool eventBytes) {
    Studio* studio = TheStudio(state);
    if (studio == nullptr) return;
    double seconds = 0.0;
    double bytes = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const HttpResponse response = studio->Serve(method, path, body);
        const double took = Seconds(start, Clock::now());
        if (response.status != 200) {
            state.SkipWithError("the request was refused");
            return;
        }
        bytes += static_cast<double>(eventBytes ? studio->DrainEvents() : response.body.size());
        seconds += took;
        state.SetIterationTime(took);
    }
    Report(state, *studio, seconds, bytes);
}

// GET /api/state: the whole state, as the page loads it.
void WholeState(benchmark::State& state) { TimeRequests(state, "GET", "/api/state", "", false); }

// The module's press alone, as a click does it through the host's action; no snapshot, no event.
void PressInModule(benchmark::State& state) {
    Studio* studio = TheStudio(state);
    if (studio == nullptr) return;
    double seconds = 0.0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        vhost::actions::Perform(studio->Host(), vhost::actions::PressCommand{ID_VELA, 0});
        const double took = Seconds(start, Clock::now());
        seconds += took;
        state.SetIterationTime(took);
        studio->Session().PublishChanges();  // untimed: the next benchmark starts even
        studio->DrainEvents();
    }
    Report(state, *studio, seconds, 0.0);
}

// What the session does after a press: the snapshot of every object, the comparison with what
// the page was last sent, and the change event's text.
void ChangesAfterPress(benchmark::State& state) {
    Studio* studio = TheStudio(state);
    if (studio == nullptr) return;
    double seconds = 0.0;
    double bytes = 0.0;
    for (auto _ : state) {
        vhost::actions::Perform(studio->Host(), vhost::actions::PressCommand{ID_VELA, 0});
        studio->Host().RefreshCommandStates();
        const Clock::time_point start = Clock::now();
        studio->Session().PublishChanges();
        const double took = Seconds(start, Clock::now());
        bytes += static_cast<double>(studio->DrainEvents());
        seconds += took;
        state.SetIterationTime(took);
    }
    Report(state, *studio, seconds, bytes);
}

// POST /api/press: everything the host does from the request to the event and the answer.
void PressRequest(benchmark::State& state) {
    TimeRequests(state, "POST", "/api/press", "{}", true);
}

// POST /api/transform of one object, as a drag of the gizmo sends it 30 times a second: the
// action, the snapshot of every object, the change event of the one that moved. Every request
// moves the object elsewhere and continues the step of the one before, as a drag does.
void TransformRequest(benchmark::State& state) {
    Studio* studio = TheStudio(state);
    if (studio == nullptr) return;
    double seconds = 0.0;
    double bytes = 0.0;
    int step = 0;
    for (auto _ : state) {
        const std::string body = R"({"id": 1, "position": [)" + std::to_string(++step) +
                                 R"(, 0, 0], "continues": true})";
        const Clock::time_point start = Clock::now();
        const HttpResponse response = studio->Serve("POST", "/api/transform", body.c_str());
        const double took = Seconds(start, Clock::now());
        if (response.status != 200) {
            state.SkipWithError("the request was refused");
            return;
        }
        bytes += static_cast<double>(studio->DrainEvents());
        seconds += took;
        state.SetIterationTime(took);
    }
    Report(state, *studio, seconds, bytes);
}

BENCHMARK(WholeState)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(PressInModule)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(ChangesAfterPress)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(PressRequest)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);
BENCHMARK(TransformRequest)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
