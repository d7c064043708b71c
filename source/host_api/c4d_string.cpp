#include "c4d_string.h"

namespace {

// Length in bytes of the UTF-8 sequence that starts at `lead`, or 1 for a byte that starts none.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if ((lead & 0xE0U) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0U) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8U) == 0xF0) {
        return 4;
    }
    return 1;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80; }

// Decodes the character at `pos`, advancing `pos` past it. A damaged sequence yields its first
// byte as the character and advances by one.
Utf32Char Decode(const std::string& text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    const std::size_t length = SequenceLength(lead);
    if (length == 1 || pos + length > text.size()) {
        ++pos;
        return lead;
    }
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    Utf32Char code = lead & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if (!IsContinuation(byte)) {
            ++pos;
            return lead;
        }
        code = (code << 6U) | (byte & 0x3FU);
    }
    pos += length;
    return code;
}

}  // namespace

Int32 String::GetLength() const {
    Int32 count = 0;
    for (std::size_t pos = 0; pos < text_.size();) {
        Decode(text_, pos);
        ++count;
    }
    return count;
}

Utf32Char String::operator[](Int32 index) const {
    std::size_t pos = 0;
    for (Int32 i = 0; pos < text_.size(); ++i) {
        const Utf32Char c = Decode(text_, pos);
        if (i == index) {
            return c;
        }
    }
    return 0;
}
