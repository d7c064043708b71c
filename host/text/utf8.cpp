#include "text/utf8.h"

#include <algorithm>

namespace vhost {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// What a lead byte says: the length of its character, its payload bits, and the range its second
// byte must lie in (narrower than a continuation byte's for the leads whose shortest forms would
// otherwise be overlong, surrogates or above U+10FFFF).
struct Lead {
    std::size_t length = 0;
    char32_t bits = 0;
    unsigned char low = 0x80U;
    unsigned char high = 0xBFU;
};

Lead ReadLead(unsigned char byte) {
    if (byte < 0x80U) return {1, byte};
    if (byte >= 0xC2U && byte <= 0xDFU) return {2, byte & 0x1FU};
    if (byte == 0xE0U) return {3, byte & 0x0FU, 0xA0U};
    if (byte == 0xEDU) return {3, byte & 0x0FU, 0x80U, 0x9FU};
    if (byte >= 0xE1U && byte <= 0xEFU) return {3, byte & 0x0FU};
    if (byte == 0xF0U) return {4, byte & 0x07U, 0x90U};
    if (byte >= 0xF1U && byte <= 0xF3U) return {4, byte & 0x07U};
    if (byte == 0xF4U) return {4, byte & 0x07U, 0x80U, 0x8FU};
    return {};
}

// How far the front of a non-empty `text` goes as the beginning of a well-formed character: the
// character's code point and length when it is complete, else the length of the bytes that begin
// one (0 for a byte that begins none).
struct Scan {
    char32_t code = 0;
    std::size_t length = 0;
    bool complete = false;
};

Scan ScanCharacter(std::string_view text) {
    const Lead lead = ReadLead(static_cast<unsigned char>(text[0]));
    if (lead.length == 0) return {};
    Scan scan{lead.bits, 1, lead.length == 1};
    while (scan.length < lead.length && scan.length < text.size()) {
        const auto byte = static_cast<unsigned char>(text[scan.length]);
        const bool second = scan.length == 1;
        if (!IsContinuation(byte) || (second && (byte < lead.low || byte > lead.high))) break;
        scan.code = (scan.code << 6U) | (byte & 0x3FU);
        ++scan.length;
    }
    scan.complete = scan.length == lead.length;
    return scan;
}

}  // namespace

Utf8Character DecodeUtf8(std::string_view text) {
    if (text.empty()) return {};
    const Scan scan = ScanCharacter(text);
    return scan.complete ? Utf8Character{scan.code, scan.length} : Utf8Character{};
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80U) {
            ++i;
            continue;
        }
        const std::size_t length = DecodeUtf8(text.substr(i)).length;
        if (length == 0) return false;
        i += length;
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t code) {
    const auto put = [&out](char32_t value) { out += static_cast<char>(value); };
    if (code < 0x80U) {
        put(code);
    } else if (code < 0x800U) {
        put(0xC0U | (code >> 6U));
        put(0x80U | (code & 0x3FU));
    } else if (code < 0x10000U) {
        put(0xE0U | (code >> 12U));
        put(0x80U | ((code >> 6U) & 0x3FU));
        put(0x80U | (code & 0x3FU));
    } else {
        put(0xF0U | (code >> 18U));
        put(0x80U | ((code >> 12U) & 0x3FU));
        put(0x80U | ((code >> 6U) & 0x3FU));
        put(0x80U | (code & 0x3FU));
    }
}

std::size_t CharacterStep(std::string_view text) {
    if (static_cast<unsigned char>(text[0]) < 0x80U) return 1;
    return std::max<std::size_t>(ScanCharacter(text).length, 1);
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += CharacterStep(text.substr(i))) ++count;
    return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t characters) {
    std::size_t end = 0;
    for (std::size_t n = 0; n < characters && end < text.size(); ++n) {
        end += CharacterStep(text.substr(end));
    }
    return text.substr(0, end);
}

}  // namespace vhost
