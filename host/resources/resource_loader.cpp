#include "resources/resource_loader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "text/quoting.h"
#include "text/text_position.h"
#include "text/utf8.h"

namespace vhost {

// Languages -------------------------------------------------------------------------------------

namespace {

constexpr std::array<ResourceLanguage, 2> kLanguages{{
    {"US", "en-US", "English"},
    {"DE", "de-DE", "German"},
}};

constexpr std::string_view kEnglish = "US";

}  // namespace

std::span<const ResourceLanguage> ResourceLanguages() { return kLanguages; }

const ResourceLanguage* FindLanguageByCode(std::string_view code) {
    for (const ResourceLanguage& language : kLanguages) {
        if (language.code == code) return &language;
    }
    return nullptr;
}

const ResourceLanguage* FindLanguageByFolder(std::string_view folderSuffix) {
    for (const ResourceLanguage& language : kLanguages) {
        if (language.folderSuffix == folderSuffix) return &language;
    }
    return nullptr;
}

namespace {

// The fallback rule, for any map from language code to something.
template <typename Map, typename Has>
auto PickLanguage(const Map& byLanguage, std::string_view language, Has has)
    -> decltype(byLanguage.begin()) {
    auto tryCode = [&](std::string_view code) {
        auto found = byLanguage.find(code);
        return found != byLanguage.end() && has(found->second) ? found : byLanguage.end();
    };
    if (auto found = tryCode(language); found != byLanguage.end()) return found;
    if (auto found = tryCode(kEnglish); found != byLanguage.end()) return found;
    for (const ResourceLanguage& other : kLanguages) {
        if (auto found = tryCode(other.code); found != byLanguage.end()) return found;
    }
    return byLanguage.end();
}

}  // namespace

std::string_view PickLabel(const LabelsByLanguage& labels, std::string_view language) {
    auto found = PickLanguage(labels, language, [](const std::string&) { return true; });
    return found == labels.end() ? std::string_view{} : std::string_view{found->second};
}

namespace {

// The kinds of parameter a description may hold, by their keyword.
constexpr std::array<std::pair<std::string_view, ParameterKind>, 8> kKinds{{
    {"BOOL", ParameterKind::Bool},
    {"LONG", ParameterKind::Long},
    {"REAL", ParameterKind::Real},
    {"STRING", ParameterKind::String},
    {"BUTTON", ParameterKind::Button},
    {"BITMAPBUTTON", ParameterKind::BitmapButton},
    {"SEPARATOR", ParameterKind::Separator},
    {"GROUP", ParameterKind::Group},
}};

}  // namespace

std::string_view KindKeyword(ParameterKind kind) {
    for (const auto& [keyword, known] : kKinds) {
        if (known == kind) return keyword;
    }
    return {};
}

// Model -----------------------------------------------------------------------------------------

const DescriptionParameter* Description::Find(std::int32_t parameterId) const {
    if (parameterId == 0) return nullptr;
    for (const DescriptionParameter& parameter : parameters) {
        if (parameter.id == parameterId) return &parameter;
    }
    return nullptr;
}

std::string_view Resource::LoadString(std::int32_t id, std::string_view language) const {
    auto found = PickLanguage(strings, language,
                              [id](const auto& table) { return table.find(id) != table.end(); });
    return found == strings.end() ? std::string_view{} : std::string_view{found->second.at(id)};
}

const Description* Resource::FindDescription(std::string_view name) const {
    auto found = descriptions.find(name);
    return found == descriptions.end() ? nullptr : &found->second;
}

std::optional<std::int32_t> Resource::FindSymbol(std::string_view name) const {
    auto found = symbols.find(name);
    if (found == symbols.end()) return std::nullopt;
    return found->second;
}

std::string ResourceError::Text() const {
    if (line <= 0) return file + ": " + message;
    return PlaceText(file, {static_cast<std::size_t>(line), static_cast<std::size_t>(column)}) +
           ": " + message;
}

namespace {

// Tokens ----------------------------------------------------------------------------------------

enum class TokenKind : std::uint8_t {
    Word,    // NAME_1
    Number,  // 1026377, 0x10, 1.5
    Text,    // "..." (see DecodeText)
    Punct,   // any other single printable character
    End,
    Error,  // a lexical problem; the reader's LexicalProblem() says what
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

bool IsWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c); }
int HexDigit(char c) {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

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
                int digit = HexDigit(rest[at + i]);
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

// The text a Text token stands for.
std::string DecodeText(const Token& token) {
    std::string decoded;
    ScanText(token.raw, &decoded);
    return decoded;
}

// Splits a file into tokens. Comments are // and /* */; in a symbol header, lines that begin with
// '#' (include guards) are skipped too. The first lexical problem ends the list with an Error
// token, so the parser meets it at its place in the file.
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
        } else if (IsDigit(c) || (c == '.' && IsDigit(At(pos_ + 1)))) {
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

// A whole number as written in a resource: decimal or 0x hexadecimal, no sign.
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

bool FitsInt32(std::int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Reading one file ------------------------------------------------------------------------------

constexpr std::size_t kMaxErrorsPerFile = 20;

// Where each symbol was first defined, for messages about a second definition.
struct SymbolOrigin {
    std::string file;
    int line = 0;
};

struct LoadState {
    Resource resource;
    std::map<std::string, SymbolOrigin, std::less<>> symbolOrigins;
    // A symbol header is missing or broken: unknown symbols elsewhere are its consequence, and
    // listing them all would bury the one message that matters.
    bool symbolsIncomplete = false;
    std::vector<ResourceError> errors;
    // Description name -> the file that defined it first (also when it had errors).
    std::map<std::string, std::string, std::less<>> descriptionFiles;
};

// The tokens of one file and its errors. Syntax errors end the reading of a file (the first is
// the one worth reading); errors of meaning (unknown symbols) are gathered, up to a limit.
class FileReader {
public:
    FileReader(LoadState& state, std::string file, std::string_view text, bool header)
        : state_(state), file_(std::move(file)), tokens_(Lexer(text, header).Tokens(problem_)) {}

    const Token& Peek(std::size_t ahead = 0) const {
        return tokens_[std::min(next_ + ahead, tokens_.size() - 1)];
    }
    const Token& Take() {
        const Token& token = Peek();
        if (next_ < tokens_.size() - 1) ++next_;
        return token;
    }
    bool TakeIf(char c) {
        if (!Peek().Is(c)) return false;
        Take();
        return true;
    }

    // A syntax error at `at`; answers false so that parsers can `return Expected(...)`. A lexical
    // problem found there is reported instead, since that is what the reader sees.
    bool Expected(const Token& at, const std::string& what) {
        Report(at, at.kind == TokenKind::Error ? problem_ : "expected " + what);
        return false;
    }
    // An error of meaning: reading goes on.
    void Report(const Token& at, std::string message) {
        if (reported_ == kMaxErrorsPerFile) {
            state_.errors.push_back({file_, at.line, at.column,
                                     "too many errors; the rest of this file is not checked"});
        }
        if (reported_++ >= kMaxErrorsPerFile) return;
        state_.errors.push_back({file_, at.line, at.column, std::move(message)});
    }
    bool HasErrors() const { return reported_ > 0; }

    // The value of a symbol or a whole number used as an id; reports and answers nothing when
    // it is neither.
    std::optional<std::int32_t> ResolveId(const Token& token) {
        if (token.kind == TokenKind::Number) {
            std::optional<std::int64_t> value = ParseWhole(token.raw);
            if (value && FitsInt32(*value)) return static_cast<std::int32_t>(*value);
            Report(token, QuotedToken(token.raw) + " is not a 32-bit whole number");
            return std::nullopt;
        }
        if (std::optional<std::int32_t> value = state_.resource.FindSymbol(token.raw)) {
            return value;
        }
        if (state_.symbolsIncomplete) {
            ++reported_;  // the file is not kept, but the header's message speaks for it
        } else {
            Report(token, "unknown symbol " + std::string(token.raw));
        }
        return std::nullopt;
    }

    const std::string& File() const { return file_; }
    LoadState& State() { return state_; }

private:
    LoadState& state_;
    std::string file_;
    std::string problem_;        // what the Error token stands for
    std::vector<Token> tokens_;  // always ends with an End or Error token
    std::size_t next_ = 0;
    std::size_t reported_ = 0;
};

bool IsId(const Token& token) {
    return token.kind == TokenKind::Word || token.kind == TokenKind::Number;
}

// Symbol headers ---------------------------------------------------------------------------------
//   enum [NAME] { SYMBOL [= VALUE] , ... [,] } [;]     repeated; VALUE is a sum of numbers and
//   symbols defined before; a symbol without one is the previous symbol plus one (the first 0).

enum class ValueRead { Ok, Unknown, Broken };

// One term of a value: [-] number or symbol. Kept within 33 bits, so sums cannot overflow.
ValueRead ReadTerm(FileReader& in, const std::string& symbol, std::int64_t& value) {
    bool negative = in.TakeIf('-');
    const Token& token = in.Peek();
    if (token.kind == TokenKind::Number) {
        std::optional<std::int64_t> parsed = ParseWhole(token.raw);
        if (!parsed) {
            in.Expected(token, "a whole number for the value of " + symbol);
            return ValueRead::Broken;
        }
        value = *parsed;
    } else if (token.kind == TokenKind::Word) {
        std::optional<std::int32_t> known = in.State().resource.FindSymbol(token.raw);
        if (!known) {
            in.Report(token,
                      "unknown symbol " + std::string(token.raw) + " in the value of " + symbol);
            in.Take();
            return ValueRead::Unknown;
        }
        value = *known;
    } else {
        in.Expected(token, "a number or a symbol for the value of " + symbol);
        return ValueRead::Broken;
    }
    in.Take();
    constexpr std::int64_t kBound = std::int64_t{1} << 32;
    value = std::clamp(negative ? -value : value, -kBound, kBound);
    return ValueRead::Ok;
}

// VALUE: terms joined by '+' and '-'.
ValueRead ReadValue(FileReader& in, const std::string& symbol, std::int64_t& sum) {
    ValueRead read = ReadTerm(in, symbol, sum);
    while (read != ValueRead::Broken && (in.Peek().Is('+') || in.Peek().Is('-'))) {
        bool minus = in.Take().Is('-');
        std::int64_t term = 0;
        ValueRead termRead = ReadTerm(in, symbol, term);
        if (termRead != ValueRead::Ok) {
            read = termRead;
            continue;
        }
        constexpr std::int64_t kBound = std::int64_t{1} << 32;
        sum = std::clamp(minus ? sum - term : sum + term, -kBound, kBound);
    }
    return read;
}

void DefineSymbol(FileReader& in, const Token& at, const std::string& name, std::int64_t value) {
    if (!FitsInt32(value)) {
        in.Report(at, "the value of " + name + " does not fit in 32 bits");
        return;
    }
    auto value32 = static_cast<std::int32_t>(value);
    LoadState& state = in.State();
    auto [slot, added] = state.resource.symbols.try_emplace(name, value32);
    if (added) {
        state.symbolOrigins[name] = {in.File(), at.line};
    } else if (slot->second != value32) {
        const SymbolOrigin& origin = state.symbolOrigins[name];
        in.Report(at, name + " is defined again with another value (it is " +
                          std::to_string(slot->second) + " from " + origin.file + ":" +
                          std::to_string(origin.line) + ")");
    }
}

void ReadSymbolHeader(FileReader& in) {
    while (in.Peek().kind != TokenKind::End) {
        if (!in.Peek().IsWord("enum")) {
            in.Expected(in.Peek(), "'enum'");
            return;
        }
        in.Take();
        if (in.Peek().kind == TokenKind::Word) in.Take();  // the enum's own name
        if (!in.TakeIf('{')) {
            in.Expected(in.Peek(), "'{' after 'enum'");
            return;
        }
        std::int64_t next = 0;
        while (!in.TakeIf('}')) {
            if (in.Peek().kind != TokenKind::Word) {
                in.Expected(in.Peek(), "a symbol or '}' in the enum");
                return;
            }
            const Token& at = in.Take();
            std::string symbol(at.raw);
            std::int64_t value = next;
            ValueRead read = in.TakeIf('=') ? ReadValue(in, symbol, value) : ValueRead::Ok;
            if (read == ValueRead::Broken) return;
            if (read == ValueRead::Ok) {
                DefineSymbol(in, at, symbol, value);
                next = value + 1;
            }
            if (in.TakeIf(',')) continue;
            if (!in.Peek().Is('}')) {
                in.Expected(in.Peek(), "',' or '}' after " + symbol);
                return;
            }
        }
        in.TakeIf(';');
    }
}

// String tables ---------------------------------------------------------------------------------
//   STRINGTABLE [NAME] { ID "text"; ... }        ID: a symbol or a whole number; NAME only (and
//                                               always) in the tables of descriptions

struct StringTableRead {
    std::string name;
    int nameLine = 0;
    int nameColumn = 0;
    std::map<std::int32_t, std::string> texts;
};

bool ReadStringTable(FileReader& in, bool named, StringTableRead& table) {
    if (!in.Peek().IsWord("STRINGTABLE")) return in.Expected(in.Peek(), "'STRINGTABLE'");
    in.Take();
    std::string opener = "'STRINGTABLE'";
    if (named) {
        const Token& name = in.Peek();
        if (name.kind != TokenKind::Word) {
            return in.Expected(name, "the description's name after 'STRINGTABLE'");
        }
        in.Take();
        table.name = std::string(name.raw);
        table.nameLine = name.line;
        table.nameColumn = name.column;
        opener = "STRINGTABLE " + table.name;
    }
    if (!in.TakeIf('{')) return in.Expected(in.Peek(), "'{' after " + opener);
    std::map<std::int32_t, int> lines;  // id -> line of its text, for repeated ids
    while (!in.TakeIf('}')) {
        const Token& id = in.Peek();
        if (!IsId(id)) return in.Expected(id, "a symbol or '}' in the string table");
        in.Take();
        std::string idName(id.raw);
        std::optional<std::int32_t> value = in.ResolveId(id);
        const Token& text = in.Peek();
        if (text.kind != TokenKind::Text) return in.Expected(text, "the text of " + idName);
        in.Take();
        if (!in.TakeIf(';')) return in.Expected(in.Peek(), "';' after the text of " + idName);
        if (!value) continue;
        auto [line, added] = lines.try_emplace(*value, id.line);
        if (!added) {
            in.Report(id,
                      idName + " has a text already (line " + std::to_string(line->second) + ")");
            continue;
        }
        table.texts[*value] = DecodeText(text);
    }
    if (in.Peek().kind != TokenKind::End) {
        return in.Expected(in.Peek(), "the end of the file after the string table");
    }
    return true;
}

// Descriptions ----------------------------------------------------------------------------------
//   CONTAINER NAME { NAME SYMBOL; INCLUDE NAME; ... ITEMS }
//   ITEMS: KIND [ID] { ATTRIBUTES }   (GROUP's braces hold attributes and ITEMS)
//   ATTRIBUTES: KEY WORDS...;  or  KEY WORDS... { ATTRIBUTES }

std::optional<ParameterKind> KindOf(const Token& token) {
    if (token.kind != TokenKind::Word) return std::nullopt;
    for (const auto& [keyword, kind] : kKinds) {
        if (token.raw == keyword) return kind;
    }
    return std::nullopt;
}

class DescriptionReader {
public:
    DescriptionReader(FileReader& in, Description& description)
        : in_(in), description_(description) {}

    bool Read() {
        if (!in_.Peek().IsWord("CONTAINER")) return in_.Expected(in_.Peek(), "'CONTAINER'");
        in_.Take();
        const Token& name = in_.Peek();
        if (name.kind != TokenKind::Word) {
            return in_.Expected(name, "the description's name after 'CONTAINER'");
        }
        in_.Take();
        description_.name = std::string(name.raw);
        description_.id = in_.ResolveId(name).value_or(0);
        std::string what = "CONTAINER " + description_.name;
        const Token& open = in_.Peek();
        if (!in_.TakeIf('{')) return in_.Expected(open, "'{' after " + what);
        if (!Enter(open)) return false;
        if (!ReadItems(std::nullopt, what, open)) return false;
        if (in_.Peek().kind != TokenKind::End) {
            return in_.Expected(in_.Peek(), "the end of the file after " + what);
        }
        return true;
    }

private:
    bool Enter(const Token& open) {
        if (++depth_ <= kMaxNesting) return true;
        in_.Report(open, "braces nest deeper than " + std::to_string(kMaxNesting) + " levels");
        return false;
    }

    static std::string Closing(const std::string& what, const Token& open) {
        return "'}' to close " + what + " (opened at line " + std::to_string(open.line) + ")";
    }

    // The entries of the container (no `group`) or of the group at that index in the parameter
    // list, up to and with the closing '}'.
    bool ReadItems(std::optional<std::size_t> group, const std::string& what, const Token& open) {
        while (!in_.TakeIf('}')) {
            const Token& word = in_.Peek();
            if (word.kind == TokenKind::End || word.kind == TokenKind::Error) {
                return in_.Expected(word, Closing(what, open));
            }
            if (word.kind != TokenKind::Word) {
                return in_.Expected(word, group ? "a parameter, an attribute or '}' in " + what
                                                : "NAME, INCLUDE, a parameter or '}' in " + what);
            }
            if (std::optional<ParameterKind> kind = KindOf(word)) {
                std::vector<std::size_t> path;
                if (group) {
                    path = description_.parameters[*group].groupPath;
                    path.push_back(*group);
                }
                if (!ReadParameter(*kind, std::move(path))) return false;
                continue;
            }
            if (IsId(in_.Peek(1)) && in_.Peek(2).Is('{')) {
                in_.Report(word, "unknown parameter kind " + QuotedToken(word.raw) +
                                     " (expected BOOL, LONG, REAL, STRING, BUTTON, BITMAPBUTTON, "
                                     "SEPARATOR or GROUP)");
                return false;
            }
            if (!group) {
                if (!ReadContainerEntry(what)) return false;
                continue;
            }
            DescriptionAttribute attribute;
            if (!ReadAttribute(what, attribute)) return false;
            description_.parameters[*group].attributes.push_back(std::move(attribute));
        }
        --depth_;
        return true;
    }

    // NAME SYMBOL; or INCLUDE NAME;
    bool ReadContainerEntry(const std::string& what) {
        const Token& key = in_.Peek();
        bool isName = key.IsWord("NAME");
        if (!isName && !key.IsWord("INCLUDE")) {
            return in_.Expected(key, "NAME, INCLUDE, a parameter or '}' in " + what);
        }
        in_.Take();
        const Token& value = in_.Peek();
        if (value.kind != TokenKind::Word) {
            return in_.Expected(
                value, isName ? "a symbol after NAME" : "a description's name after INCLUDE");
        }
        in_.Take();
        std::string entry = std::string(key.raw) + " " + std::string(value.raw);
        if (!in_.TakeIf(';')) return in_.Expected(in_.Peek(), "';' after " + entry);
        if (isName) {
            in_.ResolveId(value);
            description_.nameSymbol = std::string(value.raw);
        } else {
            description_.includes.emplace_back(value.raw);
        }
        return true;
    }

    bool ReadParameter(ParameterKind kind, std::vector<std::size_t> groupPath) {
        const Token& keyword = in_.Take();
        DescriptionParameter parameter;
        parameter.kind = kind;
        parameter.groupPath = std::move(groupPath);
        std::string what(keyword.raw);
        const Token& id = in_.Peek();
        if (IsId(id)) {
            in_.Take();
            parameter.symbol = std::string(id.raw);
            what += " " + parameter.symbol;
            if (std::optional<std::int32_t> value = in_.ResolveId(id)) {
                parameter.id = *value;
                auto [first, added] = firstLines_.try_emplace(*value, id.line);
                if (!added) {
                    in_.Report(id, parameter.symbol + " appears twice in " + description_.name +
                                       " (first at line " + std::to_string(first->second) + ")");
                }
            }
        } else if (kind != ParameterKind::Separator && kind != ParameterKind::Group) {
            return in_.Expected(id, "the id of the " + what);
        }
        const Token& open = in_.Peek();
        if (!in_.TakeIf('{')) return in_.Expected(open, "'{' after " + what);
        if (!Enter(open)) return false;
        description_.parameters.push_back(std::move(parameter));
        if (kind == ParameterKind::Group) {
            return ReadItems(description_.parameters.size() - 1, what, open);
        }
        std::vector<DescriptionAttribute> attributes;
        if (!ReadAttributes(what, open, attributes)) return false;
        description_.parameters.back().attributes = std::move(attributes);
        return true;
    }

    // Attributes up to and with the closing '}'.
    bool ReadAttributes(const std::string& what, const Token& open,
                        std::vector<DescriptionAttribute>& attributes) {
        while (!in_.TakeIf('}')) {
            const Token& key = in_.Peek();
            if (key.kind == TokenKind::End || key.kind == TokenKind::Error) {
                return in_.Expected(key, Closing(what, open));
            }
            DescriptionAttribute attribute;
            if (!ReadAttribute(what, attribute)) return false;
            attributes.push_back(std::move(attribute));
        }
        --depth_;
        return true;
    }

    // KEY WORDS...;  or  KEY WORDS... { ATTRIBUTES } (a block, which may be followed by ';')
    bool ReadAttribute(const std::string& what, DescriptionAttribute& attribute) {
        const Token& key = in_.Peek();
        if (key.kind != TokenKind::Word) return in_.Expected(key, "an attribute or '}' in " + what);
        in_.Take();
        attribute.key = std::string(key.raw);
        for (;;) {
            const Token& token = in_.Peek();
            if (token.Is(';')) {
                in_.Take();
                return true;
            }
            if (token.Is('{')) {
                in_.Take();
                if (!Enter(token)) return false;
                std::vector<DescriptionAttribute> inner;
                if (!ReadAttributes(attribute.key, token, inner)) return false;
                Append(attribute.value, "{", !attribute.value.empty());
                for (const DescriptionAttribute& entry : inner) {
                    Append(attribute.value, entry.key, true);
                    Append(attribute.value, entry.value, true);
                    attribute.value += ';';
                }
                Append(attribute.value, "}", true);
                in_.TakeIf(';');
                return true;
            }
            if (token.Is('}') || token.kind == TokenKind::End || token.kind == TokenKind::Error) {
                return in_.Expected(token, "';' after " + attribute.key);
            }
            in_.Take();
            Append(attribute.value, token.raw, token.spaced && !attribute.value.empty());
        }
    }

    static void Append(std::string& value, std::string_view word, bool space) {
        if (word.empty()) return;
        if (space) value += ' ';
        value += word;
    }

    FileReader& in_;
    Description& description_;
    int depth_ = 0;
    std::map<std::int32_t, int> firstLines_;  // parameter id -> line of its first appearance
};

// The folder ------------------------------------------------------------------------------------

std::string DisplayPath(std::string_view folder, std::string_view path) {
    if (folder.empty()) return std::string(path);
    std::string joined(folder);
    if (joined.back() != '/') joined += '/';
    joined += path;
    return joined;
}

std::vector<std::string_view> SplitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() > suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

constexpr std::string_view kSymbolHeader = "c4d_symbols.h";
constexpr std::string_view kStringTable = "c4d_strings.str";
constexpr std::string_view kDescriptionFolder = "description";
constexpr std::string_view kStringsPrefix = "strings_";

// The parts of a resource among the given files, in the order they are read.
struct Sorted {
    const ResourceFile* symbolHeader = nullptr;
    std::vector<const ResourceFile*> descriptionHeaders;
    std::vector<const ResourceFile*> descriptions;
    std::vector<std::pair<const ResourceLanguage*, const ResourceFile*>> stringTables;
    std::vector<std::pair<const ResourceLanguage*, const ResourceFile*>> descriptionTables;
};

Sorted SortFiles(std::span<const ResourceFile> files, std::vector<std::string>& ignored) {
    Sorted sorted;
    for (const ResourceFile& file : files) {
        std::vector<std::string_view> parts = SplitPath(file.path);
        if (parts.size() == 1 && parts[0] == kSymbolHeader) {
            sorted.symbolHeader = &file;
        } else if (parts.size() == 2 && parts[0] == kDescriptionFolder) {
            if (EndsWith(parts[1], ".h")) sorted.descriptionHeaders.push_back(&file);
            if (EndsWith(parts[1], ".res")) sorted.descriptions.push_back(&file);
        } else if (parts.size() >= 2 &&
                   parts[0].substr(0, kStringsPrefix.size()) == kStringsPrefix) {
            const ResourceLanguage* language =
                FindLanguageByFolder(parts[0].substr(kStringsPrefix.size()));
            if (language == nullptr) {
                if (std::find(ignored.begin(), ignored.end(), parts[0]) == ignored.end()) {
                    ignored.emplace_back(parts[0]);
                }
            } else if (parts.size() == 2 && parts[1] == kStringTable) {
                sorted.stringTables.emplace_back(language, &file);
            } else if (parts.size() == 3 && parts[1] == kDescriptionFolder &&
                       EndsWith(parts[2], ".str")) {
                sorted.descriptionTables.emplace_back(language, &file);
            }
        }
    }
    auto byPath = [](const auto& a, const auto& b) { return a->path < b->path; };
    auto pairByPath = [](const auto& a, const auto& b) { return a.second->path < b.second->path; };
    std::sort(sorted.descriptionHeaders.begin(), sorted.descriptionHeaders.end(), byPath);
    std::sort(sorted.descriptions.begin(), sorted.descriptions.end(), byPath);
    std::sort(sorted.stringTables.begin(), sorted.stringTables.end(), pairByPath);
    std::sort(sorted.descriptionTables.begin(), sorted.descriptionTables.end(), pairByPath);
    std::sort(ignored.begin(), ignored.end());
    return sorted;
}

std::string TooLarge() {
    return "larger than " + std::to_string(kMaxResourceFileSize >> 20) +
           " MiB; a resource file this large is not read";
}

FileReader ReaderOf(LoadState& state, std::string_view folder, const ResourceFile& file,
                    bool header) {
    return FileReader(state, DisplayPath(folder, file.path), file.text, header);
}

// The symbol header and the descriptions' headers. When one is missing or broken the symbols
// are incomplete, which quiets the unknown-symbol errors that would follow from it.
void LoadSymbolHeaders(std::string_view folder, const Sorted& sorted, LoadState& state,
                       bool symbolHeaderUnreadable) {
    if (sorted.symbolHeader != nullptr) {
        FileReader in = ReaderOf(state, folder, *sorted.symbolHeader, true);
        ReadSymbolHeader(in);
        state.symbolsIncomplete = in.HasErrors();
    } else {
        if (!symbolHeaderUnreadable) {
            state.errors.push_back({DisplayPath(folder, kSymbolHeader), 0, 0,
                                    "missing: every resource needs its symbol header"});
        }
        state.symbolsIncomplete = true;
    }
    bool headersIncomplete = false;
    for (const ResourceFile* file : sorted.descriptionHeaders) {
        FileReader in = ReaderOf(state, folder, *file, true);
        ReadSymbolHeader(in);
        headersIncomplete = headersIncomplete || in.HasErrors();
    }
    state.symbolsIncomplete = state.symbolsIncomplete || headersIncomplete;
}

// Keeps the descriptions read without errors. A name defined twice is an error of the second
// file; the first keeps the name.
void LoadDescriptions(std::string_view folder, const Sorted& sorted, LoadState& state) {
    for (const ResourceFile* file : sorted.descriptions) {
        FileReader in = ReaderOf(state, folder, *file, false);
        Description description;
        bool read = DescriptionReader(in, description).Read();
        if (description.name.empty()) continue;  // not even its name could be read
        auto [first, added] = state.descriptionFiles.try_emplace(description.name, in.File());
        if (!added) {
            state.errors.push_back({in.File(), 0, 0,
                                    "the description " + description.name + " is defined again (" +
                                        first->second + " defines it first)"});
            continue;
        }
        if (read && !in.HasErrors()) {
            state.resource.descriptions[description.name] = std::move(description);
        }
    }
}

void LoadStringTables(std::string_view folder, const Sorted& sorted, LoadState& state) {
    for (const auto& [language, file] : sorted.stringTables) {
        FileReader in = ReaderOf(state, folder, *file, false);
        StringTableRead table;
        if (!ReadStringTable(in, false, table) || in.HasErrors()) continue;
        state.resource.strings[std::string(language->code)] = std::move(table.texts);
    }
}

// A description's string table names a description that was not kept. When the description
// exists but had errors, those errors say enough; otherwise the table names no description.
void ReportTableWithoutDescription(const Sorted& sorted, LoadState& state, const FileReader& in,
                                   const StringTableRead& table) {
    std::string expected = std::string(kDescriptionFolder) + "/" + table.name + ".res";
    bool fileExists =
        std::any_of(sorted.descriptions.begin(), sorted.descriptions.end(),
                    [&](const ResourceFile* description) { return description->path == expected; });
    if (!state.descriptionFiles.contains(table.name) && !fileExists) {
        state.errors.push_back({in.File(), table.nameLine, table.nameColumn,
                                "there is no description " + table.name +
                                    " for this string table (expected description/" + table.name +
                                    ".res)"});
    }
}

// Gives the description's parameters and title their texts in the table's language.
void ApplyDescriptionTable(const Resource& resource, const StringTableRead& table,
                           const std::string& code, Description& description) {
    for (DescriptionParameter& parameter : description.parameters) {
        auto text = table.texts.find(parameter.id);
        if (parameter.id != 0 && text != table.texts.end()) {
            parameter.labels[code] = text->second;
        }
    }
    if (std::optional<std::int32_t> id = resource.FindSymbol(description.nameSymbol)) {
        auto title = table.texts.find(*id);
        if (title != table.texts.end()) description.titles[code] = title->second;
    }
}

void LoadDescriptionTables(std::string_view folder, const Sorted& sorted, LoadState& state) {
    for (const auto& [language, file] : sorted.descriptionTables) {
        FileReader in = ReaderOf(state, folder, *file, false);
        StringTableRead table;
        if (!ReadStringTable(in, true, table) || in.HasErrors()) continue;
        auto found = state.resource.descriptions.find(table.name);
        if (found == state.resource.descriptions.end()) {
            ReportTableWithoutDescription(sorted, state, in, table);
            continue;
        }
        ApplyDescriptionTable(state.resource, table, std::string(language->code), found->second);
    }
}

void LoadFiles(std::string_view folder, std::span<const ResourceFile> given, LoadState& state,
               bool symbolHeaderUnreadable) {
    Resource& resource = state.resource;
    resource.folder = std::string(folder);
    std::vector<ResourceFile> files;
    for (const ResourceFile& file : given) {
        if (file.text.size() <= kMaxResourceFileSize) {
            files.push_back(file);
            continue;
        }
        state.errors.push_back({DisplayPath(folder, file.path), 0, 0, TooLarge()});
        if (file.path == kSymbolHeader) symbolHeaderUnreadable = true;
    }
    const Sorted sorted = SortFiles(files, resource.ignored);
    LoadSymbolHeaders(folder, sorted, state, symbolHeaderUnreadable);
    LoadDescriptions(folder, sorted, state);
    LoadStringTables(folder, sorted, state);
    LoadDescriptionTables(folder, sorted, state);
}

ResourceLoad Finish(LoadState& state) {
    ResourceLoad load;
    if (state.errors.empty()) {
        load.resource = std::move(state.resource);
    } else {
        load.errors = std::move(state.errors);
    }
    return load;
}

// Reads one file whole; false with an error recorded when it cannot be.
bool ReadResourceFile(const std::filesystem::path& path, const std::string& display,
                      std::string& text, std::vector<ResourceError>& errors) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxResourceFileSize) {
        errors.push_back({display, 0, 0, TooLarge()});
        return false;
    }
    if (!error && ReadWholeFile(path, text).error == 0) return true;
    errors.push_back({display, 0, 0, "cannot be read"});
    return false;
}

}  // namespace

ResourceLoad LoadResourceFromFiles(std::string_view folder, std::span<const ResourceFile> files) {
    LoadState state;
    LoadFiles(folder, files, state, false);
    return Finish(state);
}

ResourceLoad LoadResourceFolder(std::string_view folder) {
    namespace fs = std::filesystem;
    LoadState state;
    std::string display(folder);
    fs::path root = PathFromUtf8(folder);
    std::error_code error;
    fs::file_status status = fs::status(root, error);
    if (!fs::exists(status)) {
        state.errors.push_back({display, 0, 0, "no such folder"});
        return Finish(state);
    }
    if (!fs::is_directory(status)) {
        state.errors.push_back({display, 0, 0, "not a folder"});
        return Finish(state);
    }

    // The paths inside the folder that may hold parts of a resource.
    std::vector<std::string> candidates{std::string(kSymbolHeader)};
    auto list = [&](const std::string& relative, auto&& take) {
        fs::path directory = root / PathFromUtf8(relative);
        if (!fs::is_directory(directory, error)) return;
        fs::directory_iterator it(directory, error);
        if (error) {
            state.errors.push_back({DisplayPath(folder, relative), 0, 0, "cannot be read"});
            return;
        }
        for (; it != fs::directory_iterator(); it.increment(error)) {
            take(Utf8FromPath(it->path().filename()), relative);
        }
        if (error) state.errors.push_back({DisplayPath(folder, relative), 0, 0, "cannot be read"});
    };
    auto addFile = [&](const std::string& name, const std::string& relative) {
        candidates.push_back(relative + "/" + name);
    };
    list(std::string(kDescriptionFolder), addFile);
    list(".", [&](const std::string& name, const std::string&) {
        if (name.rfind(kStringsPrefix, 0) != 0) return;
        candidates.push_back(name + "/" + std::string(kStringTable));
        list(name + "/" + std::string(kDescriptionFolder), addFile);
    });

    std::vector<ResourceFile> files;
    bool symbolHeaderUnreadable = false;
    for (const std::string& relative : candidates) {
        fs::path path = root / PathFromUtf8(relative);
        if (!fs::is_regular_file(path, error)) continue;
        ResourceFile file{relative, {}};
        if (ReadResourceFile(path, DisplayPath(folder, relative), file.text, state.errors)) {
            files.push_back(std::move(file));
        } else if (relative == kSymbolHeader) {
            symbolHeaderUnreadable = true;
        }
    }
    LoadFiles(folder, files, state, symbolHeaderUnreadable);
    return Finish(state);
}

}  // namespace vhost
