// Questions about single ASCII characters, asked the same way by every reader of the host, whatever
// the C locale says (std::isdigit and std::tolower depend on it).
#pragma once

#include <string>
#include <string_view>

namespace vhost {

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (IsAsciiDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// `text` with its ASCII capitals made small; every other byte, UTF-8 included, stays.
inline std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace vhost
