#include "resources/description_reader.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/quoting.h"

namespace vhost {

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

}  // namespace vhost

namespace vhost::resources {

// The syntax:
//   CONTAINER NAME { NAME SYMBOL; INCLUDE NAME; ... ITEMS }
//   ITEMS: KIND [ID] { ATTRIBUTES }   (GROUP's braces hold attributes and ITEMS)
//   ATTRIBUTES: KEY WORDS...;  or  KEY WORDS... { ATTRIBUTES }

namespace {

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

}  // namespace

bool ReadDescription(FileReader& in, Description& description) {
    return DescriptionReader(in, description).Read();
}

}  // namespace vhost::resources
