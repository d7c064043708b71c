#include "scene_file/scene_encoding.h"

#include <cmath>
#include <cstring>

namespace vhost::scene_file {

const ObjectTypes& KnownTypes() {
    static const ObjectTypes types;
    return types;
}

void AppendFloat(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "\"nan\"";
        return;
    }
    if (std::isinf(value)) {
        out += value > 0 ? "\"inf\"" : "\"-inf\"";
        return;
    }
    std::size_t start = out.size();
    AppendNumber(out, value);
    if (out.find_first_of(".e", start) == std::string::npos) out += ".0";
}

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendBase64(std::string& out, const std::vector<std::byte>& bytes) {
    std::size_t i = 0;
    auto at = [&bytes](std::size_t k) { return static_cast<unsigned>(bytes[k]); };
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned group = (at(i) << 16U) | (at(i + 1) << 8U) | at(i + 2);
        out += kBase64Alphabet[(group >> 18U) & 63U];
        out += kBase64Alphabet[(group >> 12U) & 63U];
        out += kBase64Alphabet[(group >> 6U) & 63U];
        out += kBase64Alphabet[group & 63U];
    }
    std::size_t rest = bytes.size() - i;
    if (rest == 0) return;
    unsigned group = at(i) << 16U;
    if (rest == 2) group |= at(i + 1) << 8U;
    out += kBase64Alphabet[(group >> 18U) & 63U];
    out += kBase64Alphabet[(group >> 12U) & 63U];
    out += rest == 2 ? kBase64Alphabet[(group >> 6U) & 63U] : '=';
    out += '=';
}

std::optional<std::vector<std::byte>> DecodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::vector<std::byte> bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned group = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned digit = 0;
        char c = text[i];
        if (i >= text.size() - padding) {
            digit = 0;  // '=' counts as zero bits
        } else if (const char* found = std::strchr(kBase64Alphabet, c);
                   found != nullptr && c != 0) {
            digit = static_cast<unsigned>(found - kBase64Alphabet);
        } else {
            return std::nullopt;
        }
        group = (group << 6U) | digit;
        if (i % 4 != 3) continue;
        bytes.push_back(static_cast<std::byte>((group >> 16U) & 0xFFU));
        bytes.push_back(static_cast<std::byte>((group >> 8U) & 0xFFU));
        bytes.push_back(static_cast<std::byte>(group & 0xFFU));
        group = 0;
    }
    if (padding > 0) {
        // The bits under the padding must be zero, or two texts would mean the same bytes.
        for (std::size_t k = 0; k < padding; ++k) {
            if (bytes.back() != std::byte{0}) return std::nullopt;
            bytes.pop_back();
        }
    }
    return bytes;
}

}  // namespace vhost::scene_file
