#include "studio/request_handler.h"

#include <optional>
#include <string_view>
#include <utility>

#include "studio/page_files.h"

namespace vhost::studio {

namespace {

bool IsType(const std::string& contentType, std::string_view wanted) {
    const std::string_view type = std::string_view(contentType).substr(0, contentType.find(';'));
    return type == wanted;
}

// Why the body's type does not fit the request: a dropped file comes as its bytes, every other
// action as JSON.
std::optional<HttpResponse> BodyTypeRefusal(const HttpRequest& request) {
    const std::string type = request.Header("content-type");
    if (request.path == "/api/upload") {
        if (IsType(type, "application/octet-stream")) return std::nullopt;
        return ErrorResponse(
            415, "A dropped file is sent as its bytes (Content-Type: application/octet-stream).");
    }
    if (IsType(type, "application/json")) return std::nullopt;
    return ErrorResponse(415, "Actions send JSON (Content-Type: application/json).");
}

WorkKind KindOf(const HttpRequest& request) {
    if (request.method == "GET") return WorkKind::Read;
    return request.path == "/api/window" ? WorkKind::WindowAction : WorkKind::Action;
}

HttpResponse WithCommonHeaders(HttpResponse response) {
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

}  // namespace

RequestHandler::RequestHandler(AccessRules rules, std::filesystem::path pageFolder, Submit submit,
                               EventStream& events, Hello hello)
    : rules_(std::move(rules)),
      pageFolder_(std::move(pageFolder)),
      submit_(std::move(submit)),
      events_(events),
      hello_(std::move(hello)) {}

HttpResponse RequestHandler::Handle(HttpRequest request) const {
    if (std::optional<HttpResponse> refusal = Refusal(request, rules_)) {
        return WithCommonHeaders(std::move(*refusal));
    }
    if (request.path.rfind("/api/", 0) == 0) return WithCommonHeaders(Api(std::move(request)));
    return WithCommonHeaders(Page(request));
}

HttpResponse RequestHandler::Page(const HttpRequest& request) const {
    if (request.method != "GET") return ErrorResponse(405, "The page's files are only read.");
    if (request.path == "/" && request.query.contains("token")) {
        // The token moves into a cookie and out of the address bar.
        HttpResponse response;
        response.status = 303;
        response.contentType = "text/plain";
        response.headers.emplace_back("Set-Cookie", TokenCookie(rules_.token));
        response.headers.emplace_back("Location", "/");
        return response;
    }
    const std::string path = request.path == "/" ? "/index.html" : request.path;
    if (path != "/index.html" && path.rfind("/assets/", 0) != 0) {
        return ErrorResponse(404, "There is nothing at " + request.path + ".");
    }
    std::error_code error;
    if (path == "/index.html" && !std::filesystem::exists(pageFolder_ / "index.html", error)) {
        return PageNotBuiltResponse(pageFolder_);
    }
    const std::optional<std::filesystem::path> file = PageFile(pageFolder_, path);
    if (!file) return ErrorResponse(404, "There is nothing at " + request.path + ".");
    return FileResponse(*file);
}

HttpResponse RequestHandler::Api(HttpRequest request) const {
    if (request.path == "/api/events") {
        if (request.method != "GET") return ErrorResponse(405, "The events are only read.");
        HttpResponse response;
        response.contentType = "text/event-stream";
        response.events = events_.Subscribe(hello_());
        return response;
    }
    if (request.method != "GET" && request.method != "POST") {
        return ErrorResponse(405, "The studio takes GET and POST requests only.");
    }
    if (request.method == "POST") {
        if (std::optional<HttpResponse> refusal = BodyTypeRefusal(request)) return *refusal;
    }
    const WorkKind kind = KindOf(request);
    return submit_(kind, std::move(request));
}

}  // namespace vhost::studio
