#include "cli/script_words.h"

#include <algorithm>
#include <charconv>

#include "vela_host/host_input.h"

namespace vhost::cli {

std::optional<Setting> SplitSetting(const std::string& word) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0) {
        return std::nullopt;
    }
    return Setting{word.substr(0, equals), word.substr(equals + 1)};
}

std::optional<bool> ParseYesNo(const std::string& word) {
    if (word == "yes" || word == "true") {
        return true;
    }
    if (word == "no" || word == "false") {
        return false;
    }
    return std::nullopt;
}

std::optional<std::int32_t> ParseInt(const std::string& word) {
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> ParseQualifiers(const std::string& word) {
    if (word == "none") {
        return 0;
    }
    std::int32_t mask = 0;
    std::size_t start = 0;
    while (start <= word.size()) {
        const std::size_t plus = std::min(word.find('+', start), word.size());
        const std::string key = word.substr(start, plus - start);
        if (key == "shift") {
            mask |= HOST_QUALIFIER_SHIFT;
        } else if (key == "ctrl") {
            mask |= HOST_QUALIFIER_CTRL;
        } else if (key == "alt") {
            mask |= HOST_QUALIFIER_ALT;
        } else {
            return std::nullopt;
        }
        start = plus + 1;
    }
    return mask;
}

}  // namespace vhost::cli
