#include "studio/studio_server.h"

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "studio/request_errors.h"
#include "studio/request_handler.h"
#include "studio/upload_folder.h"
#include "text/ascii.h"

namespace vhost::studio {

namespace {

constexpr std::chrono::milliseconds kEventWait{15000};
// Threads for requests: each open page holds one for its event stream, and a request waiting on
// the host thread holds one.
constexpr std::size_t kServerThreads = 16;

// The request without its body, which the library has not read.
HttpRequest Adapted(const httplib::Request& from) {
    HttpRequest request;
    request.method = from.method;
    request.path = from.path;
    for (const auto& [name, value] : from.params) request.query.try_emplace(name, value);
    for (const auto& [name, value] : from.headers) {
        request.headers.try_emplace(AsciiLower(name), value);
    }
    return request;
}

// Reads the body straight into `request`: the library would keep it in its own request, which it
// hands over only to be read, and a dropped file (up to 1 GiB) would be copied. False when the
// library refused the body (its status says why). The studio takes no forms: a form's parts are
// read and dropped, and its empty body is then refused as one of the wrong type.
bool ReadBody(const httplib::Request& from, const httplib::ContentReader& reader,
              HttpRequest& request) {
    if (from.is_multipart_form_data()) {
        return reader([](const httplib::MultipartFormData& /*part*/) { return true; },
                      [](const char* /*data*/, std::size_t /*size*/) { return true; });
    }
    const std::uint64_t announced = from.get_header_value<std::uint64_t>("Content-Length");
    if (announced <= kUploadLimit) request.body.reserve(static_cast<std::size_t>(announced));
    return reader([&request](const char* data, std::size_t size) {
        request.body.append(data, size);
        return true;
    });
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

HttpResponse TooLargeResponse() {
    return ErrorResponse(413, "The file is too large: the studio takes files of up to 1 GiB.");
}

// The library refuses a body over the payload limit with an empty answer: before any handler
// sees a request without a body reader, or while the handler reads it. This gives that answer
// the studio's readable error.
httplib::Server::HandlerResponse ExplainTooLarge(const httplib::Request& /*request*/,
                                                 httplib::Response& response) {
    if (response.status != 413 || !response.body.empty()) {
        return httplib::Server::HandlerResponse::Unhandled;
    }
    Answer(TooLargeResponse(), response);
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
    const auto serveWithBody = [&handler](const httplib::Request& from, httplib::Response& response,
                                          const httplib::ContentReader& reader) {
        HttpRequest request = Adapted(from);
        if (!ReadBody(from, reader, request)) {
            if (response.status == 413) Answer(TooLargeResponse(), response);
            return;  // the library answers what else it refused
        }
        Answer(handler.Handle(std::move(request)), response);
    };
    httplib::Server& server = impl_->server;
    server.Get(".*", serve);
    server.Options(".*", serve);
    server.Post(".*", serveWithBody);
    server.Put(".*", serveWithBody);
    server.Delete(".*", serveWithBody);
    server.Patch(".*", serveWithBody);
    impl_->listening = std::thread([&server] { server.listen_after_bind(); });
}

void StudioServer::Stop() {
    impl_->server.stop();
    if (impl_->listening.joinable()) impl_->listening.join();
}

}  // namespace vhost::studio
