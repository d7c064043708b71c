#include "studio/access_rules.h"

#include <array>
#include <random>

#include "studio/request_errors.h"

namespace vhost::studio {

namespace {

// Compares without stopping at the first difference, so the time taken tells nothing.
bool SameSecret(const std::string& given, const std::string& token) {
    if (given.size() != token.size() || token.empty()) return false;
    unsigned difference = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
        difference |= static_cast<unsigned>(static_cast<unsigned char>(given[i]) ^
                                            static_cast<unsigned char>(token[i]));
    }
    return difference == 0;
}

bool IsStudioHost(const std::string& host, int port) {
    const std::string suffix = ":" + std::to_string(port);
    return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool IsStudioOrigin(const std::string& origin, int port) {
    constexpr std::string_view kScheme = "http://";
    return origin.rfind(kScheme, 0) == 0 && IsStudioHost(origin.substr(kScheme.size()), port);
}

std::string GivenToken(const HttpRequest& request) {
    const auto query = request.query.find("token");
    if (query != request.query.end()) return query->second;
    return CookieValue(request.Header("cookie"), kTokenCookie);
}

}  // namespace

std::string NewToken() {
    std::random_device random;
    std::string token;
    constexpr std::array<char, 16> kDigits{'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
    for (int word = 0; word < 4; ++word) {
        std::uint32_t bits = random();
        for (int digit = 0; digit < 8; ++digit, bits >>= 4U) token += kDigits.at(bits & 0xFU);
    }
    return token;
}

std::optional<HttpResponse> Refusal(const HttpRequest& request, const AccessRules& rules) {
    if (!IsStudioHost(request.Header("host"), rules.port)) {
        return ErrorResponse(403,
                             "This studio answers only at 127.0.0.1:" + std::to_string(rules.port) +
                                 " and localhost:" + std::to_string(rules.port) + ".");
    }
    const auto origin = request.headers.find("origin");
    if (origin != request.headers.end() && !IsStudioOrigin(origin->second, rules.port)) {
        return ErrorResponse(403, "Requests from other sites do not reach the studio.");
    }
    if (!SameSecret(GivenToken(request), rules.token)) {
        return ErrorResponse(401,
                             "The studio's token is missing or wrong: open the address the "
                             "studio printed when it started.");
    }
    return std::nullopt;
}

std::string CookieValue(const std::string& header, const std::string& name) {
    std::size_t start = 0;
    while (start < header.size()) {
        std::size_t end = header.find(';', start);
        if (end == std::string::npos) end = header.size();
        std::string_view pair(header.data() + start, end - start);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
            return std::string(pair.substr(equals + 1));
        }
        start = end + 1;
    }
    return {};
}

std::string TokenCookie(const std::string& token) {
    return std::string(kTokenCookie) + "=" + token + "; HttpOnly; SameSite=Strict; Path=/";
}

}  // namespace vhost::studio
