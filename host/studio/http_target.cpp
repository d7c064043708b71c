#include "studio/http_target.h"

namespace vhost::studio {

namespace {

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

// `text` with its escapes decoded (and '+' as a space where `plusIsSpace`); none for a broken
// escape.
std::optional<std::string> Decoded(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsSpace) {
            out += ' ';
        } else if (c != '%') {
            out += c;
        } else {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return out;
}

bool ParseQuery(std::string_view query, std::map<std::string, std::string>& into) {
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view field = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        if (field.empty()) continue;
        const std::size_t equals = field.find('=');
        const std::optional<std::string> name = Decoded(field.substr(0, equals), true);
        const std::optional<std::string> value = equals == std::string_view::npos
                                                     ? std::string()
                                                     : Decoded(field.substr(equals + 1), true);
        if (!name || !value) return false;
        into.try_emplace(*name, *value);
    }
    return true;
}

}  // namespace

std::optional<RequestTarget> ParseTarget(std::string_view target) {
    if (target.empty() || target.front() != '/') return std::nullopt;
    const std::size_t question = target.find('?');
    std::optional<std::string> path = Decoded(target.substr(0, question), false);
    if (!path) return std::nullopt;
    RequestTarget parsed{std::move(*path), {}};
    if (question != std::string_view::npos &&
        !ParseQuery(target.substr(question + 1), parsed.query)) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace vhost::studio
