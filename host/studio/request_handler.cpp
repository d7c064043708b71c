#include "studio/request_handler.h"

#include <future>
#include <optional>
#include <utility>
#include <variant>

#include "studio/page_files.h"
#include "studio/request_errors.h"
#include "text/ascii.h"

namespace vhost::studio {

namespace {

HttpResponse WithCommonHeaders(HttpResponse response) {
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

}  // namespace

RequestHandler::RequestHandler(AccessRules rules, std::filesystem::path pageFolder, Submit submit,
                               EventStream& events, Hello hello, Incoming incoming, Cancel cancel)
    : rules_(std::move(rules)),
      pageFolder_(std::move(pageFolder)),
      submit_(std::move(submit)),
      events_(events),
      hello_(std::move(hello)),
      incoming_(std::move(incoming)),
      cancel_(std::move(cancel)) {}

RequestHandler::BodyPlan RequestHandler::PlanBody(const HttpRequest& head) const {
    if (std::optional<HttpResponse> refusal = Refusal(head, rules_)) {
        return {WithCommonHeaders(std::move(*refusal)), {}};
    }
    const std::optional<RouteMatch> match = MatchRoute(head.method, head.path);
    if (!match || match->route->body != BodyKind::Bytes || !incoming_ ||
        BodyTypeRefusal(head, *match->route)) {
        return {};  // read whole, and answered as any request
    }
    std::string problem;
    std::optional<std::filesystem::path> file = incoming_(problem);
    if (!file) {
        return {WithCommonHeaders(
                    ErrorResponse(422, "The dropped file cannot be kept: " + problem + ".")),
                {}};
    }
    return {std::nullopt, std::move(*file)};
}

void RequestHandler::Handle(HttpRequest request, const Reply& reply) const {
    const Reply withHeaders = [reply](HttpResponse response) {
        reply(WithCommonHeaders(std::move(response)));
    };
    if (std::optional<HttpResponse> answer = Answer(std::move(request), withHeaders)) {
        withHeaders(std::move(*answer));
    }
}

HttpResponse RequestHandler::Handle(HttpRequest request) const {
    std::promise<HttpResponse> answer;
    std::future<HttpResponse> answered = answer.get_future();
    Handle(std::move(request),
           [&answer](HttpResponse response) { answer.set_value(std::move(response)); });
    return answered.get();
}

std::optional<HttpResponse> RequestHandler::Answer(HttpRequest request, const Reply& reply) const {
    if (std::optional<HttpResponse> refusal = Refusal(request, rules_)) return std::move(*refusal);
    const std::optional<RouteMatch> match = MatchRoute(request.method, request.path);
    if (!match) return NoRouteResponse(request);
    const Route& route = *match->route;
    if (std::optional<HttpResponse> refusal = BodyTypeRefusal(request, route)) {
        return std::move(*refusal);
    }
    if (const auto* atOnce = std::get_if<AnswerAtOnce>(&route.handler)) {
        return (this->*atOnce->answer)(request, match->parameter);
    }
    if (const auto* interrupt = std::get_if<Interrupt>(&route.handler)) {
        return (this->*interrupt->answer)(request);
    }
    std::string parameter(match->parameter);  // a view into the path, which moves next
    submit_(RoutedRequest{&route, std::move(parameter), std::move(request)}, reply);
    return std::nullopt;
}

HttpResponse RequestHandler::FrontPage(const HttpRequest& request,
                                       std::string_view /*parameter*/) const {
    if (request.query.contains("token")) {
        HttpResponse response;
        response.status = 303;
        response.contentType = "text/plain";
        response.headers.emplace_back("Set-Cookie", TokenCookie(rules_.token));
        response.headers.emplace_back("Location", "/");
        return response;
    }
    std::error_code error;
    if (!std::filesystem::exists(pageFolder_ / "index.html", error)) {
        return PageNotBuiltResponse(pageFolder_);
    }
    const std::optional<std::filesystem::path> file = PageFile(pageFolder_, "/index.html");
    if (!file) return ErrorResponse(404, "There is nothing at " + request.path + ".");
    return FileResponse(*file);
}

HttpResponse RequestHandler::PageAsset(const HttpRequest& request,
                                       std::string_view /*file*/) const {
    const std::optional<std::filesystem::path> file = PageFile(pageFolder_, request.path);
    if (!file) return ErrorResponse(404, "There is nothing at " + request.path + ".");
    return FileResponse(*file);
}

HttpResponse RequestHandler::Events(const HttpRequest& request,
                                    std::string_view /*parameter*/) const {
    if (AsciiLower(request.Header("upgrade")) != "websocket") {
        HttpResponse refusal =
            ErrorResponse(426, "/api/events is a WebSocket: ask for it with Upgrade: websocket.");
        refusal.headers.emplace_back("Upgrade", "websocket");
        return refusal;
    }
    HttpResponse response;
    response.events = events_.Subscribe(hello_());
    return response;
}

HttpResponse RequestHandler::CancelWork(const HttpRequest& /*request*/) const {
    const bool cancelled = cancel_ && cancel_();
    return JsonResponse(JsonText(nlohmann::json{{"cancelled", cancelled}}));
}

}  // namespace vhost::studio
