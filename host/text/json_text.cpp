#include "text/json_text.h"

#include "text/quoting.h"

namespace vhost {

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default: {
                const auto c = static_cast<unsigned char>(ch);
                if (c < 0x20U) {
                    out += "\\u00";
                    out += kHex[c >> 4U];
                    out += kHex[c & 0xFU];
                } else {
                    out += ch;
                }
            }
        }
    }
    out += '"';
}

std::string JsonReaderProblem(std::string_view what) {
    if (const std::size_t column = what.find(", column "); column != std::string_view::npos) {
        if (const std::size_t colon = what.find(": ", column); colon != std::string_view::npos) {
            what.remove_prefix(colon + 2);
        }
    } else if (what.rfind("[json.exception.", 0) == 0) {
        if (const std::size_t bracket = what.find("] "); bracket != std::string_view::npos) {
            what.remove_prefix(bracket + 2);
        }
    }
    return Printable(what);
}

}  // namespace vhost
