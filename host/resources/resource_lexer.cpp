#include "resources/resource_lexer.h"

#include <charconv>
#include <system_error>
#include <utility>

#include "text/ascii.h"
#include "text/text_position.h"
#include "text/utf8.h"

namespace vhost::resources {

namespace {

bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsAsciiDigit(c); }

std::string ByteName(unsigned char c) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string name = "byte 0x";
    name += kHex[c >> 4];
    name += kHex[c & 15];
    return name;
}

// The outcome of scanning a quoted text: its length with both quotes, or where and what is wrong.
struct TextScan {
    std::size_t length = 0;
    std::size_t problemAt = 0;  // offset of the problem from the opening quote
    std::string problem;        // empty when the text is good
};

// Scans the quoted text that `rest` starts with, on one line. Escapes: \" \\ \' \n \t \r and
// \uXXXX (a character other than NUL and the surrogates). Decodes into `decoded` when given.
TextScan ScanText(std::string_view rest, std::string* decoded) {
    static constexpr std::string_view kEscapes = "\"\\'ntr";
    static constexpr std::string_view kEscaped = "\"\\'\n\t\r";
    TextScan scan;
    auto fail = [&](std::size_t at, std::string problem) {
        scan.problemAt = at;
        scan.problem = std::move(problem);
        return scan;
    };
    std::size_t at = 1;
    for (;;) {
        if (at >= rest.size() || rest[at] == '\n') {
            return fail(at, "expected '\"' to close the text");
        }
        char c = rest[at];
        if (c == '"') break;
        if (c == '\\' && at + 1 < rest.size() && rest[at + 1] == 'u') {
            std::uint32_t code = 0;
            bool ok = at + 6 <= rest.size();
            for (std::size_t i = 2; ok && i < 6; ++i) {
                int digit = HexDigitValue(rest[at + i]);
                ok = digit >= 0;
                code = (code << 4) | static_cast<std::uint32_t>(digit & 15);
            }
            if (!ok || code == 0 || (code >= 0xD800 && code <= 0xDFFF)) {
                return fail(at, "expected four hexadecimal digits of a character after \\u");
            }
            if (decoded != nullptr) AppendUtf8(*decoded, code);
            at += 6;
        } else if (c == '\\') {
            std::size_t which =
                at + 1 < rest.size() ? kEscapes.find(rest[at + 1]) : std::string_view::npos;
            if (which == std::string_view::npos) {
                return fail(at,
                            "unknown escape in the text (expected \\\" \\\\ \\' \\n \\t \\r "
                            "or \\uXXXX)");
            }
            if (decoded != nullptr) *decoded += kEscaped[which];
            at += 2;
        } else if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
            return fail(at,
                        "unexpected " + ByteName(static_cast<unsigned char>(c)) + " in the text");
        } else {
            const std::size_t length = DecodeUtf8(rest.substr(at)).length;
            if (length == 0) return fail(at, "the text is not valid UTF-8");
            if (decoded != nullptr) decoded->append(rest.substr(at, length));
            at += length;
        }
    }
    scan.length = at + 1;
    return scan;
}

// Splits a file into tokens, as Tokenize says.
class Lexer {
public:
    Lexer(std::string_view text, bool header) : text_(text), header_(header), columns_(text) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;  // not content
    }

    std::vector<Token> Tokens(std::string& problem) {
        std::vector<Token> tokens;
        for (;;) {
            tokens.push_back(Next(problem));
            if (tokens.back().kind == TokenKind::End || tokens.back().kind == TokenKind::Error) {
                return tokens;
            }
        }
    }

private:
    char At(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
    int Column(std::size_t at) { return static_cast<int>(columns_.ColumnAt(at)); }
    void NewLine(std::size_t newlineAt) {
        ++line_;
        columns_.StartLine(newlineAt + 1);
        lineHasToken_ = false;
    }

    Token Make(TokenKind kind, std::size_t start, std::size_t end, int line, int column) {
        lineHasToken_ = true;
        return Token{text_.substr(start, end - start), line, column, kind, false};
    }
    static Token Problem(std::string& problem, std::string message, int line, int column) {
        problem = std::move(message);
        return Token{{}, line, column, TokenKind::Error, false};
    }

    // Skips blanks, comments and directive lines; answers whether it skipped anything. Sets
    // `unclosed` when a comment runs to the end of the file.
    bool SkipSpace(bool& unclosed, int& unclosedLine, int& unclosedColumn) {
        bool skipped = false;
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n') {
                NewLine(pos_);
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++pos_;
            } else if (c == '/' && At(pos_ + 1) == '/') {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (c == '/' && At(pos_ + 1) == '*') {
                unclosedLine = line_;
                unclosedColumn = Column(pos_);
                pos_ += 2;
                while (pos_ < text_.size() && !(text_[pos_] == '*' && At(pos_ + 1) == '/')) {
                    if (text_[pos_] == '\n') NewLine(pos_);
                    ++pos_;
                }
                if (pos_ >= text_.size()) {
                    unclosed = true;
                    return true;
                }
                pos_ += 2;
            } else if (c == '#' && header_ && !lineHasToken_) {
                // A directive runs to the end of the line, on when the line ends in '\'.
                while (pos_ < text_.size() && text_[pos_] != '\n') {
                    if (text_[pos_] == '\\' && At(pos_ + 1) == '\n') {
                        NewLine(pos_ + 1);
                        pos_ += 2;
                    } else {
                        ++pos_;
                    }
                }
            } else {
                break;
            }
            skipped = true;
        }
        return skipped;
    }

    Token Next(std::string& problem) {
        bool unclosed = false;
        int unclosedLine = 0;
        int unclosedColumn = 0;
        bool spaced = SkipSpace(unclosed, unclosedLine, unclosedColumn);
        if (unclosed) {
            return Problem(problem, "expected '*/' to close the comment", unclosedLine,
                           unclosedColumn);
        }
        int line = line_;
        int column = Column(pos_);
        std::size_t start = pos_;
        Token token;
        if (pos_ >= text_.size()) {
            token = Make(TokenKind::End, start, start, line, column);
        } else if (char c = text_[pos_]; IsWordStart(c)) {
            while (IsWordChar(At(pos_))) ++pos_;
            token = Make(TokenKind::Word, start, pos_, line, column);
        } else if (IsAsciiDigit(c) || (c == '.' && IsAsciiDigit(At(pos_ + 1)))) {
            bool hex = c == '0' && (At(pos_ + 1) == 'x' || At(pos_ + 1) == 'X');
            for (;;) {
                char d = At(pos_);
                bool exponentSign = !hex && (d == '+' || d == '-') &&
                                    (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E');
                if (!IsWordChar(d) && d != '.' && !exponentSign) break;
                ++pos_;
            }
            token = Make(TokenKind::Number, start, pos_, line, column);
        } else if (c == '"') {
            TextScan scan = ScanText(text_.substr(pos_), nullptr);
            if (!scan.problem.empty()) {
                return Problem(problem, std::move(scan.problem), line,
                               Column(pos_ + scan.problemAt));
            }
            pos_ += scan.length;
            token = Make(TokenKind::Text, start, pos_, line, column);
        } else if (c > ' ' && c < 0x7F) {
            ++pos_;
            token = Make(TokenKind::Punct, start, pos_, line, column);
        } else {
            return Problem(problem, "unexpected " + ByteName(static_cast<unsigned char>(c)), line,
                           column);
        }
        token.spaced = spaced;
        return token;
    }

    std::string_view text_;
    bool header_;
    std::size_t pos_ = 0;
    ColumnCounter columns_;
    int line_ = 1;
    bool lineHasToken_ = false;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text, bool header, std::string& problem) {
    return Lexer(text, header).Tokens(problem);
}

std::string DecodeText(const Token& token) {
    std::string decoded;
    ScanText(token.raw, &decoded);
    return decoded;
}

std::optional<std::int64_t> ParseWhole(std::string_view raw) {
    int base = 10;
    if (raw.size() > 2 && raw[0] == '0' && (raw[1] == 'x' || raw[1] == 'X')) {
        base = 16;
        raw.remove_prefix(2);
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(raw.data(), raw.data() + raw.size(), value, base);
    if (error != std::errc{} || end != raw.data() + raw.size()) return std::nullopt;
    if (value > static_cast<std::uint64_t>(INT64_MAX)) return INT64_MAX;  // out of range either way
    return static_cast<std::int64_t>(value);
}

}  // namespace vhost::resources
