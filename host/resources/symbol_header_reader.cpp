#include "resources/symbol_header_reader.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace vhost::resources {

// The syntax:
//   enum [NAME] { SYMBOL [= VALUE] , ... [,] } [;]     repeated; VALUE is a sum of numbers and
//   symbols defined before; a symbol without one is the previous symbol plus one (the first 0).

namespace {

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

}  // namespace

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

}  // namespace vhost::resources
