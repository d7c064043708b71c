// Who may reach the studio: only the person who started it, through the address it printed. A
// request must name the studio as 127.0.0.1:PORT or localhost:PORT (no other name that resolves
// here, so no rebound name), come from no other site (Origin), and carry the token, from the
// first address as `?token=` and later as the cookie that address set.
#pragma once

#include <optional>
#include <string>

#include "studio/http_message.h"

namespace vhost::studio {

inline constexpr const char* kTokenCookie = "vela_studio";

struct AccessRules {
    std::string token;
    int port = 0;
};

// 128 random bits as 32 hexadecimal digits.
std::string NewToken();

// The refusal of a request that may not reach the studio: 403 for a foreign Host or Origin, 401
// without the right token. None when it may.
std::optional<HttpResponse> Refusal(const HttpRequest& request, const AccessRules& rules);

// The value of cookie `name` in a Cookie header; empty when it is not there.
std::string CookieValue(const std::string& header, const std::string& name);

// The Set-Cookie value that keeps the token for later requests.
std::string TokenCookie(const std::string& token);

}  // namespace vhost::studio
