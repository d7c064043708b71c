#include "scene_file/direct_lexer.h"

#include <cstring>
#include <utility>

namespace vhost::scene_file {

void DirectLexer::Refill() {
    if (streamDone_) return;
    const auto left = static_cast<std::size_t>(end_ - at_);
    if (!window_.empty() && left >= windowSize_ / 2) return;
    std::string next(windowSize_, '\0');
    if (left > 0) std::memcpy(next.data(), at_, left);
    stream_->read(next.data() + left, static_cast<std::streamsize>(windowSize_ - left));
    const auto read = static_cast<std::size_t>(stream_->gcount());
    if (stream_->bad()) GiveUp();
    if (stream_->eof()) streamDone_ = true;
    before_ += static_cast<std::uint64_t>(at_ - start_);
    window_ = std::move(next);
    at_ = window_.data();
    start_ = at_;
    end_ = window_.data() + left + read;
}

std::string_view DirectLexer::EscapedString(const char* start) {
    decoded_.assign(start, at_);
    while (at_ != end_) {
        const char c = *at_;
        if (c == '"') {
            ++at_;
            return decoded_;
        }
        if (c == '\\') {
            Escape();
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20U) GiveUp();
        const char* from = at_;
        if (static_cast<unsigned char>(c) < 0x80U) {
            ++at_;
        } else {
            StepUtf8();
        }
        decoded_.append(from, at_);
    }
    GiveUp();
}

void DirectLexer::Escape() {
    if (end_ - at_ < 2) GiveUp();
    const char c = at_[1];
    at_ += 2;
    switch (c) {
        case '"':
        case '\\':
        case '/':
            decoded_ += c;
            return;
        case 'b':
            decoded_ += '\b';
            return;
        case 'f':
            decoded_ += '\f';
            return;
        case 'n':
            decoded_ += '\n';
            return;
        case 'r':
            decoded_ += '\r';
            return;
        case 't':
            decoded_ += '\t';
            return;
        case 'u':
            AppendEscapedCharacter();
            return;
        default:
            GiveUp();
    }
}

void DirectLexer::AppendEscapedCharacter() {
    char32_t code = FourHex();
    if (code >= 0xDC00U && code <= 0xDFFFU) GiveUp();
    if (code >= 0xD800U && code <= 0xDBFFU) {
        if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u') GiveUp();
        at_ += 2;
        const char32_t low = FourHex();
        if (low < 0xDC00U || low > 0xDFFFU) GiveUp();
        code = 0x10000U + ((code - 0xD800U) << 10U) + (low - 0xDC00U);
    }
    AppendUtf8(decoded_, code);
}

char32_t DirectLexer::FourHex() {
    if (end_ - at_ < 4) GiveUp();
    char32_t code = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = HexDigitValue(at_[i]);
        if (digit < 0) GiveUp();
        code = (code << 4U) | static_cast<char32_t>(digit);
    }
    at_ += 4;
    return code;
}

}  // namespace vhost::scene_file
