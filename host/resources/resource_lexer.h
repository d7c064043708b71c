// The tokens of the resource files: words, numbers, quoted texts and single marks, with their
// line and column. Symbol headers, descriptions and string tables share this lexer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vhost::resources {

enum class TokenKind : std::uint8_t {
    Word,    // NAME_1
    Number,  // 1026377, 0x10, 1.5
    Text,    // "..." (see DecodeText)
    Punct,   // any other single printable character
    End,
    Error,  // a lexical problem; Tokenize's `problem` says what
};

// Tokens are small (a view of the file, a position) because a file is split whole before it is
// read, and a megabyte of braces makes a million of them.
struct Token {
    std::string_view raw;  // as written; a Text with its quotes
    int line = 1;
    int column = 1;
    TokenKind kind = TokenKind::End;
    bool spaced = false;  // whitespace or a comment came before it

    bool Is(char c) const { return kind == TokenKind::Punct && raw.size() == 1 && raw[0] == c; }
    bool IsWord(std::string_view word) const { return kind == TokenKind::Word && raw == word; }
};

// A token that can stand for an id: a symbol or a whole number.
inline bool IsId(const Token& token) {
    return token.kind == TokenKind::Word || token.kind == TokenKind::Number;
}

// Splits a file into tokens. Comments are // and /* */; in a symbol header (`header`), lines that
// begin with '#' (include guards) are skipped too. The list always ends with an End token, or
// with an Error token at the first lexical problem, so the parser meets it at its place in the
// file; `problem` then says what it is.
std::vector<Token> Tokenize(std::string_view text, bool header, std::string& problem);

// The text a Text token stands for.
std::string DecodeText(const Token& token);

// A whole number as written in a resource: decimal or 0x hexadecimal, no sign.
std::optional<std::int64_t> ParseWhole(std::string_view raw);

inline bool FitsInt32(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

}  // namespace vhost::resources
