// How the host shows texts inside its messages and its listings.
//
// - A text that comes from outside (a name, a title, a value, a path, a word of a script) is shown
//   by Quoted: always in double quotes, so that where it begins and ends is plain even when it is
//   empty, has blanks or has quotes of its own.
// - What a script should say is shown by QuoteWord, as the script would have to say it, so that it
//   can be copied into a script.
// - A token of a resource file is shown by QuotedToken in single quotes, as the resource reader's
//   messages name the syntax they expected ('{' after 'CONTAINER').
// Every message is printable: bytes that are not UTF-8 are shown as \xNN.
#pragma once

#include <string>
#include <string_view>

namespace vhost {

// `text` in double quotes, escaped as a JSON string is (\" \\ \n \r \t \b \f, \u00XX for the other
// control characters), with each byte that is not part of a well-formed UTF-8 character as \xNN.
std::string Quoted(std::string_view text);

// `text` with each byte that is not part of a well-formed UTF-8 character as \xNN (upper-case
// hexadecimal digits); the rest as it is.
std::string Printable(std::string_view text);

// A word as a session script writes it (host/cli/script_parser.h reads it): as it is when it reads
// back as the same word, else in double quotes with \" \\ \n \t. A word needs quotes when it is
// empty, begins with '#' (a comment), or holds a blank (space, tab, carriage return), a quote, a
// backslash or a line break.
std::string QuoteWord(std::string_view word);

// A token of a resource file as written (a word or a number, printable ASCII) in single quotes.
std::string QuotedToken(std::string_view token);

}  // namespace vhost
