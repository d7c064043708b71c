#include "studio/studio_routes.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "studio/request_errors.h"
#include "studio/request_handler.h"
#include "studio/studio_actions.h"
#include "studio/studio_session.h"

namespace vhost::studio {

namespace {

using S = StudioSession;
using A = StudioActions;
using H = RequestHandler;

// The studio's protocol (docs/studio.md), one request a line.
constexpr Route kRoutes[] = {
    {"GET", "/", BodyKind::None, AnswerAtOnce{&H::FrontPage}},
    {"GET", "/index.html", BodyKind::None, AnswerAtOnce{&H::FrontPage}},
    {"GET", "/assets/{file}", BodyKind::None, AnswerAtOnce{&H::PageAsset}},
    {"GET", "/favicon.ico", BodyKind::None, Read{&S::Icon}},
    {"GET", "/api/events", BodyKind::None, AnswerAtOnce{&H::Events}},
    {"GET", "/api/state", BodyKind::None, Read{&S::State}},
    {"GET", "/api/icon", BodyKind::None, Read{&S::Icon}},
    {"GET", "/api/mesh/{number}", BodyKind::None, Read{&S::Mesh}},
    {"GET", "/api/texture/{number}", BodyKind::None, Read{&S::TextureImage}},
    {"GET", "/api/look/{number}", BodyKind::None, Read{&S::Look}},
    {"GET", "/api/opened/{number}", BodyKind::None, Read{&S::Opened}},
    {"GET", "/api/preferences", BodyKind::None, Read{&S::Preferences}},
    {"GET", "/api/preferences/picture/{id}", BodyKind::None, Read{&S::Picture}},
    {"POST", "/api/select", BodyKind::Json, Act{&A::Select}},
    {"POST", "/api/object", BodyKind::Json, Act{&A::SetObject}},
    {"POST", "/api/press", BodyKind::Json, Act{&A::Press}},
    {"POST", "/api/key", BodyKind::Json, Act{&A::Key}},
    {"POST", "/api/preferences", BodyKind::Json, Act{&A::SetPreference}},
    {"POST", "/api/preferences/click", BodyKind::Json, Act{&A::ClickPreference}},
    {"POST", "/api/window", BodyKind::Json, ActInWindow{&A::NoWindow}},
    {"POST", "/api/open", BodyKind::Json, Act{&A::Open}},
    {"POST", "/api/save", BodyKind::Json, Act{&A::Save}},
    {"POST", "/api/upload", BodyKind::Bytes, ActOnBytes{&A::Upload}},
    // Edits of objects, undo and redo (studio_edits.cpp).
    {"POST", "/api/rename", BodyKind::Json, Act{&A::Rename}},
    {"POST", "/api/transform", BodyKind::Json, Act{&A::Transform}},
    {"POST", "/api/create", BodyKind::Json, Act{&A::Create}},
    {"POST", "/api/delete", BodyKind::Json, Act{&A::Delete}},
    {"POST", "/api/move", BodyKind::Json, Act{&A::Move}},
    {"POST", "/api/copy", BodyKind::Json, Act{&A::Copy}},
    {"POST", "/api/cut", BodyKind::Json, Act{&A::Cut}},
    {"POST", "/api/paste", BodyKind::Json, Act{&A::Paste}},
    {"POST", "/api/undo", BodyKind::Json, Act{&A::Undo}},
    {"POST", "/api/redo", BodyKind::Json, Act{&A::Redo}},
    {"POST", "/api/cancel", BodyKind::Json, Interrupt{&H::CancelWork}},
    // Documents and takes.
    {"POST", "/api/document/new", BodyKind::Json, Act{&A::NewDocument}},
    {"POST", "/api/document/switch", BodyKind::Json, Act{&A::SwitchDocument}},
    {"POST", "/api/document/close", BodyKind::Json, Act{&A::CloseDocument}},
    {"POST", "/api/take/new", BodyKind::Json, Act{&A::NewTake}},
    {"POST", "/api/take/use", BodyKind::Json, Act{&A::UseTake}},
};

// Each kind of handler is asked with one method and reads one kind of body.
constexpr bool Fits(const Route& route, const AnswerAtOnce& /*handler*/) {
    return route.method == "GET" && route.body == BodyKind::None;
}
constexpr bool Fits(const Route& route, const Read& /*handler*/) {
    return route.method == "GET" && route.body == BodyKind::None;
}
constexpr bool Fits(const Route& route, const Act& /*handler*/) {
    return route.method == "POST" && route.body == BodyKind::Json;
}
constexpr bool Fits(const Route& route, const ActInWindow& /*handler*/) {
    return route.method == "POST" && route.body == BodyKind::Json;
}
constexpr bool Fits(const Route& route, const ActOnBytes& /*handler*/) {
    return route.method == "POST" && route.body == BodyKind::Bytes;
}

constexpr bool Fits(const Route& route, const Interrupt& /*handler*/) {
    return route.method == "POST" && route.body == BodyKind::Json;
}

constexpr bool FitsItsHandler(const Route& route) {
    return std::visit([&route](const auto& handler) { return Fits(route, handler); },
                      route.handler);
}
static_assert(std::all_of(std::begin(kRoutes), std::end(kRoutes), FitsItsHandler),
              "a route's method and body are those its kind of handler takes");

// The part of a pattern before its parameter; the whole pattern when it has none.
constexpr std::string_view FixedPart(std::string_view pattern) {
    return pattern.substr(0, pattern.find('{'));
}

constexpr bool HasParameter(std::string_view pattern) {
    return pattern.find('{') != std::string_view::npos;
}

// The parameter `path` gives `pattern`; none when the path is not the pattern's.
std::optional<std::string_view> ParameterOf(std::string_view pattern, std::string_view path) {
    const std::string_view fixed = FixedPart(pattern);
    if (!HasParameter(pattern)) {
        if (path != fixed) return std::nullopt;
        return std::string_view();
    }
    if (path.substr(0, fixed.size()) != fixed) return std::nullopt;
    return path.substr(fixed.size());
}

// The methods routes take `path` with, as an Allow header lists them; empty when none does.
std::string MethodsOf(std::string_view path) {
    std::string methods;
    for (const Route& route : kRoutes) {
        if (!ParameterOf(route.pattern, path)) continue;
        if (methods.find(route.method) != std::string::npos) continue;
        if (!methods.empty()) methods += ", ";
        methods += route.method;
    }
    return methods;
}

bool IsType(const std::string& contentType, std::string_view wanted) {
    const std::string_view type = std::string_view(contentType).substr(0, contentType.find(';'));
    return type == wanted;
}

}  // namespace

WorkKind KindOf(const Route& route) {
    if (std::holds_alternative<Read>(route.handler)) return WorkKind::Read;
    if (std::holds_alternative<ActInWindow>(route.handler)) return WorkKind::WindowAction;
    return WorkKind::Action;
}

std::optional<RouteMatch> MatchRoute(std::string_view method, std::string_view path) {
    for (const Route& route : kRoutes) {
        if (route.method != method) continue;
        if (const std::optional<std::string_view> parameter = ParameterOf(route.pattern, path)) {
            return RouteMatch{&route, *parameter};
        }
    }
    return std::nullopt;
}

std::optional<RoutedRequest> Routed(HttpRequest request) {
    const std::optional<RouteMatch> match = MatchRoute(request.method, request.path);
    if (!match) return std::nullopt;
    std::string parameter(match->parameter);
    return RoutedRequest{match->route, std::move(parameter), std::move(request)};
}

HttpResponse NoRouteResponse(const HttpRequest& request) {
    if (request.method != "GET" && request.method != "POST") {
        return ErrorResponse(405, "The studio takes GET and POST requests only.");
    }
    const std::string methods = MethodsOf(request.path);
    if (methods.empty()) return ErrorResponse(404, "There is nothing at " + request.path + ".");
    HttpResponse response =
        ErrorResponse(405, request.path + " takes " + methods + " requests only.");
    response.headers.emplace_back("Allow", methods);
    return response;
}

std::optional<HttpResponse> BodyTypeRefusal(const HttpRequest& request, const Route& route) {
    const std::string type = request.Header("content-type");
    switch (route.body) {
        case BodyKind::None:
            return std::nullopt;
        case BodyKind::Json:
            if (IsType(type, "application/json")) return std::nullopt;
            return ErrorResponse(415, "Actions send JSON (Content-Type: application/json).");
        case BodyKind::Bytes:
            if (IsType(type, "application/octet-stream")) return std::nullopt;
            return ErrorResponse(415, request.path +
                                          " takes a file's bytes (Content-Type: "
                                          "application/octet-stream).");
    }
    return std::nullopt;
}

}  // namespace vhost::studio
