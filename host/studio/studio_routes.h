// Every request the studio answers, in one table (studio_routes.cpp): its method, its path, the
// body it takes and who answers it. The table knows no HTTP library. A server hands each request
// to the request handler, which finds its route here, answers the page's files and the event
// stream itself and queues the rest for the host thread, where the session does what the route
// names. A new request is one line of the table and the function it names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "studio/http_message.h"

namespace vhost::studio {

class RequestHandler;
class StudioActions;
class StudioSession;

// What a request's body is; a body sent as another Content-Type is refused with 415.
enum class BodyKind {
    None,  // no body is read
    Json,  // a JSON object (application/json); an empty body is an empty object
    Bytes  // a file's bytes (application/octet-stream)
};

// Who answers a route, one kind each.
// Answered at once on the server's thread, without the host: the page's files, the event stream.
struct AnswerAtOnce {
    HttpResponse (RequestHandler::*answer)(const HttpRequest& request,
                                           std::string_view parameter) const;
};
// Answered by the session on the host thread, also while a modal window is open.
struct Read {
    HttpResponse (StudioSession::*answer)(std::string_view parameter);
};
// Done on the host thread, which answers its report with the version; refused with 409 while a
// modal window is open.
struct Act {
    nlohmann::json (StudioActions::*act)(const nlohmann::json& body);
};
// The same for an action on bytes: the body is the bytes, the query names them.
struct ActOnBytes {
    nlohmann::json (StudioActions::*act)(const HttpRequest& request);
};
// The person's answer to the open modal window, handed to the window; with none open, `act`
// answers.
struct ActInWindow {
    nlohmann::json (StudioActions::*act)(const nlohmann::json& body);
};
// Done at once on the server's thread, never queued: the host thread may be busy with the very
// work the request calls off.
struct Interrupt {
    HttpResponse (RequestHandler::*answer)(const HttpRequest& request) const;
};
using RouteHandler = std::variant<AnswerAtOnce, Read, Act, ActOnBytes, ActInWindow, Interrupt>;

struct Route {
    std::string_view method;  // "GET" or "POST"
    // The path. A pattern that ends in `{NAME}` takes every path that begins as it does before the
    // brace; the rest of the path is the route's parameter, which the handler checks.
    std::string_view pattern;
    BodyKind body = BodyKind::None;
    RouteHandler handler;
};

// What a request may do while a modal window is open: reads are answered, the window's own
// action is done, every other action is refused. Routes answered at once are never queued.
enum class WorkKind { Read, WindowAction, Action };
WorkKind KindOf(const Route& route);

// A request that found its route, with the value of the route's parameter.
struct RoutedRequest {
    const Route* route = nullptr;
    std::string parameter;
    HttpRequest request;
};

// The route of a request's method and path, with its parameter (a view into `path`); none when
// no route has them.
struct RouteMatch {
    const Route* route = nullptr;
    std::string_view parameter;
};
std::optional<RouteMatch> MatchRoute(std::string_view method, std::string_view path);

// `request` with its route; none when it has none. For callers that skip the request handler.
std::optional<RoutedRequest> Routed(HttpRequest request);

// The answer to a request no route takes: 405 for a method the studio does not take or that its
// path is not asked with (with the methods it is asked with), else 404.
HttpResponse NoRouteResponse(const HttpRequest& request);

// The refusal of a body sent as another type than the route's; none when it fits.
std::optional<HttpResponse> BodyTypeRefusal(const HttpRequest& request, const Route& route);

}  // namespace vhost::studio
