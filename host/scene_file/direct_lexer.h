// The direct reader's lexer: the JSON tokens of a scene file, read straight from the text or
// from a window over a stream, with no message for anything. On the first thing it is not sure of
// it gives up (throws NotSure), and the reader above it gives up with it.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "text/ascii.h"
#include "text/utf8.h"

namespace vhost::scene_file {

// Thrown when the direct reader is not sure of the text; the checking reader takes over.
struct NotSure {};

[[noreturn]] inline void GiveUp() { throw NotSure{}; }

// A JSON number as it stands in the text.
struct NumberToken {
    std::string_view text;
    bool integer = true;  // no fraction and no exponent
    bool negative = false;
};

class DirectLexer {
public:
    explicit DirectLexer(std::string_view text)
        : at_(text.data()), end_(text.data() + text.size()), start_(at_), streamDone_(true) {}

    // Reads from `stream` through a window of `window` bytes.
    DirectLexer(std::istream& stream, std::size_t window)
        : at_(""), end_(at_), start_(at_), stream_(&stream), windowSize_(window) {
        Refill();
    }

    // Reading from a stream, moves what is left of the window to its front and fills the rest,
    // once less than half of it is left. Called only where no view into the window is held: at
    // the start and between objects. An object larger than half the window runs into the end of
    // the window, and the lexer gives up.
    void Refill();

    // How many bytes of the text are behind the lexer.
    std::uint64_t Offset() const { return before_ + static_cast<std::uint64_t>(at_ - start_); }

    // Whether all of the text has been read.
    bool AtEnd() {
        SkipSpace();
        return at_ == end_ && streamDone_;
    }

    void SkipSpace() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) ++at_;
    }

    char Peek() {
        SkipSpace();
        return at_ != end_ ? *at_ : '\0';
    }

    void Expect(char c) {
        if (Peek() != c) GiveUp();
        ++at_;
    }

    bool Accept(char c) {
        if (Peek() != c) return false;
        ++at_;
        return true;
    }

    // `"name":`, the name written without escapes as the writer writes it.
    void Member(std::string_view name) {
        Expect('"');
        if (static_cast<std::size_t>(end_ - at_) < name.size() + 1 ||
            std::string_view(at_, name.size()) != name || at_[name.size()] != '"') {
            GiveUp();
        }
        at_ += name.size() + 1;
        Expect(':');
    }

    // `"name":` when it comes next; else nothing is read.
    bool AcceptMember(std::string_view name) {
        SkipSpace();
        if (static_cast<std::size_t>(end_ - at_) < name.size() + 2 || at_[0] != '"' ||
            std::string_view(at_ + 1, name.size()) != name || at_[name.size() + 1] != '"') {
            return false;
        }
        at_ += name.size() + 2;
        Expect(':');
        return true;
    }

    void Next(std::string_view name) {
        Expect(',');
        Member(name);
    }

    bool Literal(std::string_view word) {
        SkipSpace();
        if (static_cast<std::size_t>(end_ - at_) < word.size() ||
            std::string_view(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    bool Null() { return Literal("null"); }

    bool Bool() {
        if (Literal("true")) return true;
        if (Literal("false")) return false;
        GiveUp();
    }

    // Strings: a view of the text itself when it has no escapes, else of the decoded copy (valid
    // until the next string is read).
    std::string_view String() {
        Expect('"');
        const char* start = at_;
        while (at_ != end_) {
            const auto c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                std::string_view plain(start, static_cast<std::size_t>(at_ - start));
                ++at_;
                return plain;
            }
            if (c == '\\') return EscapedString(start);
            if (c < 0x20U) GiveUp();
            if (c < 0x80U) {
                ++at_;
                continue;
            }
            StepUtf8();
        }
        GiveUp();
    }

    // Numbers

    // A number by the JSON grammar; what follows it is checked by whoever reads on.
    NumberToken Number() {
        SkipSpace();
        NumberToken token;
        const char* start = at_;
        if (at_ != end_ && *at_ == '-') {
            token.negative = true;
            ++at_;
        }
        if (at_ == end_ || !IsAsciiDigit(*at_)) GiveUp();
        if (*at_ == '0') {
            ++at_;
            if (at_ != end_ && IsAsciiDigit(*at_)) GiveUp();
        } else {
            Digits();
        }
        if (at_ != end_ && *at_ == '.') {
            token.integer = false;
            ++at_;
            if (at_ == end_ || !IsAsciiDigit(*at_)) GiveUp();
            Digits();
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            token.integer = false;
            ++at_;
            if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
            if (at_ == end_ || !IsAsciiDigit(*at_)) GiveUp();
            Digits();
        }
        token.text = std::string_view(start, static_cast<std::size_t>(at_ - start));
        return token;
    }

    template <typename Integer>
    static Integer Parse(std::string_view text) {
        Integer value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc{} || end != text.data() + text.size()) GiveUp();
        return value;
    }

    std::int64_t Int64() {
        const NumberToken token = Number();
        if (!token.integer) GiveUp();
        return Parse<std::int64_t>(token.text);
    }

    std::int32_t Int32() {
        const std::int64_t value = Int64();
        if (value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max()) {
            GiveUp();
        }
        return static_cast<std::int32_t>(value);
    }

    // A quoted word of lowercase letters and digits, such as a value's type; none of JSON's
    // escapes or other characters.
    std::string_view Word() {
        Expect('"');
        const char* start = at_;
        while (at_ != end_ && ((*at_ >= 'a' && *at_ <= 'z') || IsAsciiDigit(*at_))) ++at_;
        const std::string_view word(start, static_cast<std::size_t>(at_ - start));
        if (at_ == end_ || *at_ != '"') GiveUp();
        ++at_;
        return word;
    }

    // A number that is a whole number and not negative.
    std::uint64_t Count() {
        const NumberToken token = Number();
        if (!token.integer || token.negative) GiveUp();
        return Parse<std::uint64_t>(token.text);
    }

private:
    void Digits() {
        while (at_ != end_ && IsAsciiDigit(*at_)) ++at_;
    }

    void StepUtf8() {
        const std::size_t length =
            DecodeUtf8(std::string_view(at_, static_cast<std::size_t>(end_ - at_))).length;
        if (length == 0) GiveUp();
        at_ += length;
    }

    std::string_view EscapedString(const char* start);
    void Escape();
    // The code point of `\uXXXX`, a surrogate pair taken as one.
    void AppendEscapedCharacter();
    char32_t FourHex();

    const char* at_;
    const char* end_;
    const char* start_;         // the start of the text or of the window
    std::uint64_t before_ = 0;  // the bytes of the stream before the window
    std::string decoded_;
    // Reading from a stream: the window of text, and whether the stream has given all it has.
    std::istream* stream_ = nullptr;
    std::size_t windowSize_ = 0;
    std::string window_;
    bool streamDone_ = false;
};

}  // namespace vhost::scene_file
