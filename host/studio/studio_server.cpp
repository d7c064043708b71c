#include "studio/studio_server.h"

#include <httplib.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <sys/wait.h>

#include "studio/request_handler.h"
#include "studio/upload_folder.h"
#include "text/ascii.h"

namespace vhost::studio {

namespace {

constexpr std::chrono::milliseconds kEventWait{15000};
// Threads for requests: each open page holds one for its event stream, and a request waiting on
// the host thread holds one.
constexpr std::size_t kServerThreads = 16;

HttpRequest Adapted(const httplib::Request& from) {
    HttpRequest request;
    request.method = from.method;
    request.path = from.path;
    for (const auto& [name, value] : from.params) request.query.try_emplace(name, value);
    for (const auto& [name, value] : from.headers) {
        request.headers.try_emplace(AsciiLower(name), value);
    }
    request.body = from.body;
    return request;
}

// Writes the subscriber's events as they come; a comment line now and then finds out whether the
// browser is still there. A write that fails ends the stream, and with it the subscription.
void StreamEvents(httplib::Response& to, const std::shared_ptr<EventSubscriber>& events) {
    to.set_chunked_content_provider(
        "text/event-stream", [events](std::size_t /*offset*/, httplib::DataSink& sink) {
            const std::optional<std::string> text = events->Next(kEventWait);
            if (events->Closed() && !text) {
                sink.done();
                return true;
            }
            const std::string chunk = text ? *text : std::string(": still here\n\n");
            return sink.write(chunk.data(), chunk.size());
        });
}

void Answer(const HttpResponse& from, httplib::Response& to) {
    to.status = from.status;
    for (const auto& [name, value] : from.headers) to.set_header(name, value);
    if (from.events != nullptr) {
        StreamEvents(to, from.events);
    } else {
        to.set_content(from.body, from.contentType);
    }
}

static_assert(kUploadLimit == std::size_t{1} << 30, "the refusal below names the limit");

// The library refuses a body over the payload limit before any handler sees it, with an empty
// answer; this gives that answer the studio's readable error.
httplib::Server::HandlerResponse ExplainTooLarge(const httplib::Request& /*request*/,
                                                 httplib::Response& response) {
    if (response.status != 413 || !response.body.empty()) {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    Answer(ErrorResponse(413, "The file is too large: the studio takes files of up to 1 GiB."),
           response);
    return httplib::Server::HandlerResponse::Handled;
}

}  // namespace

struct StudioServer::Impl {
    httplib::Server server;
    std::thread listening;
};

StudioServer::StudioServer() : impl_(std::make_unique<Impl>()) {
    impl_->server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    // Idle connections are let go soon, so stopping does not wait long for them.
    impl_->server.set_keep_alive_timeout(1);
    impl_->server.set_payload_max_length(kUploadLimit);
    impl_->server.set_error_handler(httplib::Server::HandlerWithResponse(ExplainTooLarge));
}

StudioServer::~StudioServer() { Stop(); }

int StudioServer::Bind(int port) {
    if (port == 0) return impl_->server.bind_to_any_port("127.0.0.1");
    return impl_->server.bind_to_port("127.0.0.1", port) ? port : -1;
}

void StudioServer::Start(const RequestHandler& handler) {
    const auto serve = [&handler](const httplib::Request& request, httplib::Response& response) {
        Answer(handler.Handle(Adapted(request)), response);
    };
    httplib::Server& server = impl_->server;
    server.Get(".*", serve);
    server.Post(".*", serve);
    server.Put(".*", serve);
    server.Delete(".*", serve);
    server.Patch(".*", serve);
    server.Options(".*", serve);
    impl_->listening = std::thread([&server] { server.listen_after_bind(); });
}

void StudioServer::Stop() {
    impl_->server.stop();
    if (impl_->listening.joinable()) impl_->listening.join();
}

bool StartBrowser(const std::string& url, std::string& problem) {
    std::string program = "xdg-open";
    std::string address = url;
    char* const arguments[] = {program.data(), address.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ);
    if (error != 0) {
        problem = "xdg-open could not be started: " + std::string(std::strerror(error));
        return false;
    }
    // xdg-open hands the address to the browser and ends; the browser runs on its own.
    std::thread([child] { waitpid(child, nullptr, 0); }).detach();
    return true;
}

}  // namespace vhost::studio
