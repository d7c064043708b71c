// Every request to the studio, whatever brought it: the access rules first, then its route
// (studio_routes.cpp). The page's files and the event stream are answered here; every other
// request is handed to the host thread. It knows nothing of HTTP libraries; the server only adapts
// its library's requests to it.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "studio/access_rules.h"
#include "studio/event_stream.h"
#include "studio/http_message.h"
#include "studio/studio_routes.h"
#include "studio/work_queue.h"

namespace vhost::studio {

class RequestHandler {
public:
    // Hands a routed request to the host thread, which hands its answer to the reply.
    using Submit = std::function<void(RoutedRequest, Reply)>;
    // The first event of a new page's stream.
    using Hello = std::function<std::string()>;

    // Where an upload's bytes are written as they arrive (UploadFolder::NewIncoming); none, with
    // the problem, when they cannot be. Safe from any thread.
    using Incoming = std::function<std::optional<std::filesystem::path>(std::string& problem)>;
    // Calls off the host thread's work in progress; false when there is none. Safe from any
    // thread, and never waits for the host thread.
    using Cancel = std::function<bool()>;

    RequestHandler(AccessRules rules, std::filesystem::path pageFolder, Submit submit,
                   EventStream& events, Hello hello, Incoming incoming = {}, Cancel cancel = {});

    // What becomes of a request's body, decided from its header alone (`head`, without a body):
    // a refusal, answered before the body is read; or the file the body is written into as it
    // arrives (a file's bytes for a route that takes them); or neither, when it is read into
    // the request.
    struct BodyPlan {
        std::optional<HttpResponse> refusal;
        std::filesystem::path file;
    };
    BodyPlan PlanBody(const HttpRequest& head) const;

    // Safe from any thread, and never waits: `reply` gets the answer at once or, for a request of
    // the host thread, when the host thread has done it. The request is taken whole, so that a
    // dropped file's bytes are moved to the host thread, not copied.
    void Handle(HttpRequest request, const Reply& reply) const;
    // The same, waiting for the answer (for callers with a thread to spare, as tests).
    HttpResponse Handle(HttpRequest request) const;

    // The routes answered at once (see studio_routes.cpp).
    // The page; the first address's token moves into a cookie and out of the address bar.
    HttpResponse FrontPage(const HttpRequest& request, std::string_view parameter) const;
    // A script or style of the page; nothing outside the page's folder.
    HttpResponse PageAsset(const HttpRequest& request, std::string_view file) const;
    // A new page's events: the server upgrades the request to a WebSocket that sends them.
    HttpResponse Events(const HttpRequest& request, std::string_view parameter) const;
    // Calls off the work in progress: {"cancelled": true}, or false when there was none.
    HttpResponse CancelWork(const HttpRequest& request) const;

private:
    // The answer when it is given at once; none when the request went to the host thread.
    std::optional<HttpResponse> Answer(HttpRequest request, const Reply& reply) const;

    AccessRules rules_;
    std::filesystem::path pageFolder_;
    Submit submit_;
    EventStream& events_;
    Hello hello_;
    Incoming incoming_;
    Cancel cancel_;
};

}  // namespace vhost::studio
