#include "resources/string_table_reader.h"

#include <optional>

namespace vhost::resources {

// The syntax:
//   STRINGTABLE [NAME] { ID "text"; ... }        ID: a symbol or a whole number; NAME only (and
//                                               always) in the tables of descriptions

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

}  // namespace vhost::resources
