// UTF-8, the encoding of every text in the host: characters decoded and checked as RFC 3629
// defines them (the shortest form only, no surrogates, nothing above U+10FFFF; the rule the JSON
// reader applies, so whatever the host writes it can read back), code points encoded, and texts
// measured and cut in characters rather than bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vhost {

// A character at the front of a text: its code point and the number of bytes it takes.
struct Utf8Character {
    char32_t code = 0;
    std::size_t length = 0;  // 0: the text is empty or does not begin with a well-formed character
};

// The character `text` begins with.
Utf8Character DecodeUtf8(std::string_view text);

// Whether all of `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 of `code`, a Unicode scalar value (at most U+10FFFF, not a surrogate); the
// caller checks that.
void AppendUtf8(std::string& out, char32_t code);

// The length of what a non-empty `text` begins with, taken as one character: a well-formed
// character, or else the bytes that begin one but break off (a sequence cut short), or else a
// single byte. Decoders that follow Unicode's practice (browsers, editors) show each such stretch
// of ill-formed bytes as one replacement character; stepping by these lengths visits every
// character and every such stretch once.
std::size_t CharacterStep(std::string_view text);

// The number of characters in `text`, as CharacterStep steps through it.
std::size_t CharacterCount(std::string_view text);

// The start of `text` with at most `characters` characters (counted as CharacterCount does), so
// that a text cut short never ends inside a character.
std::string_view FirstCharacters(std::string_view text, std::size_t characters);

}  // namespace vhost
