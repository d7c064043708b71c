// Requests and answers of the studio, apart from any HTTP library: the request handler works on
// these, the server only turns its library's requests into them and back.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vhost::studio {

class EventSubscriber;

struct HttpRequest {
    std::string method;  // "GET", "POST", ...
    std::string path;    // decoded, without the query
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    // Where the body was written instead, as it arrived (an upload's bytes); empty when it is in
    // `body`.
    std::filesystem::path bodyFile;

    // The header's value; empty when it is missing.
    std::string Header(const std::string& lowerName) const {
        const auto found = headers.find(lowerName);
        return found != headers.end() ? found->second : std::string();
    }
};

// JSON is always UTF-8. The server never compresses answers: on loopback that costs far more
// time (seconds for a large scene's state) than it saves.
inline constexpr const char* kJsonContentType = "application/json; charset=utf-8";

struct HttpResponse {
    int status = 200;
    std::string contentType = kJsonContentType;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Set for a page's events: the server upgrades the connection to a WebSocket and sends what
    // this subscriber receives, as it comes.
    std::shared_ptr<EventSubscriber> events;
};

}  // namespace vhost::studio
