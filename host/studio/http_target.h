// A request's target (its path and query, as the request line gives it) in the request handler's
// terms: the path with its %XX escapes decoded, the query as names and values decoded as a form's
// ('+' is a space). The first of two fields of one name counts.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vhost::studio {

struct RequestTarget {
    std::string path;
    std::map<std::string, std::string> query;
};

// None when the target is not a path (it must begin with '/') or holds a broken escape.
std::optional<RequestTarget> ParseTarget(std::string_view target);

}  // namespace vhost::studio
