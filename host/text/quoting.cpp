#include "text/quoting.h"

#include <algorithm>

#include "text/json_text.h"
#include "text/utf8.h"

namespace vhost {

namespace {

bool IsScriptBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsPlainWord(std::string_view word) {
    return !word.empty() && word.front() != '#' &&
           std::none_of(word.begin(), word.end(), [](char c) {
               return IsScriptBlank(c) || c == '"' || c == '\\' || c == '\n';
           });
}

}  // namespace

std::string Quoted(std::string_view text) {
    std::string escaped;
    AppendJsonString(escaped, text);
    return Printable(escaped);
}

std::string Printable(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (const std::size_t length = DecodeUtf8(text.substr(i)).length; length != 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        out += "\\x";
        out += kHex[byte >> 4U];
        out += kHex[byte & 0xFU];
        ++i;
    }
    return out;
}

std::string QuoteWord(std::string_view word) {
    if (IsPlainWord(word)) return std::string(word);
    std::string quoted = "\"";
    for (const char c : word) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else if (c == '\t') {
            quoted += "\\t";
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string QuotedToken(std::string_view token) { return "'" + std::string(token) + "'"; }

}  // namespace vhost
