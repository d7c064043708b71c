// JSON as the host writes it in its files, and the messages of the JSON library it reads them with.
#pragma once

#include <array>
#include <charconv>
#include <string>
#include <string_view>

namespace vhost {

// Appends `text` as a JSON string (RFC 8259): in double quotes, with \" \\ \n \r \t \b \f, \u00XX
// for the other control characters, and everything else as it is. The result is JSON only when
// `text` is valid UTF-8; writers check that first. (Quoted in text/quoting.h shows a text in a
// message by the same escapes, and there also shows bytes that are not UTF-8.)
void AppendJsonString(std::string& out, std::string_view text);

// Appends an integer or a floating-point number as the shortest text that reads back as the same
// value (std::to_chars). Floats JSON has no numbers for (not-a-number, infinities) are the
// caller's to spell.
template <typename Number>
void AppendNumber(std::string& out, Number value) {
    std::array<char, 32> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), end);
}

// What the JSON library's exception text says is wrong, without what the host says in its own
// form: the library's id ("[json.exception.parse_error.101] ") and its own place ("parse error at
// line 3, column 7: "). Bytes that are not UTF-8 (the library quotes what it last read) become
// \xNN, so the answer can go into a message as it is.
std::string JsonReaderProblem(std::string_view what);

}  // namespace vhost
