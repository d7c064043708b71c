// Every request to the studio, whatever brought it: the access rules first, then the page's files,
// the event stream, and the API, whose requests are handed to the host thread. It knows nothing of
// HTTP libraries; the server only adapts its library's requests to it.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "studio/access_rules.h"
#include "studio/event_stream.h"
#include "studio/http_message.h"
#include "studio/work_queue.h"

namespace vhost::studio {

class RequestHandler {
public:
    // Hands a request of the API to the host thread and answers what it answered.
    using Submit = std::function<HttpResponse(WorkKind, HttpRequest)>;
    // The first event of a new page's stream.
    using Hello = std::function<std::string()>;

    RequestHandler(AccessRules rules, std::filesystem::path pageFolder, Submit submit,
                   EventStream& events, Hello hello);

    // Safe from any thread; requests of the API wait for the host thread. The request is taken
    // whole, so that a dropped file's bytes are moved to the host thread, not copied.
    HttpResponse Handle(HttpRequest request) const;

private:
    HttpResponse Page(const HttpRequest& request) const;
    HttpResponse Api(HttpRequest request) const;

    AccessRules rules_;
    std::filesystem::path pageFolder_;
    Submit submit_;
    EventStream& events_;
    Hello hello_;
};

}  // namespace vhost::studio
