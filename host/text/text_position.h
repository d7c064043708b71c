// Places in a text as the host's messages name them: "FILE:LINE:COLUMN: what is wrong".
//
// Lines and columns count from 1. A line ends after '\n' (a '\r' before it is the line's last
// character). A column counts characters, not bytes: each well-formed UTF-8 character is one
// column, and so is each stretch of ill-formed bytes that a decoder shows as one replacement
// character (CharacterStep in text/utf8.h); a tab is one column like any other character. A byte
// order mark at the start of the text is not counted. Editors that count characters number the
// columns of a UTF-8 file the same way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vhost {

struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;
};

// The position of the byte at `offset` in `text`; an offset past the end is the end's position.
// Takes time in proportion to `offset`: for messages, not for numbering every token of a file.
TextPosition PositionAt(std::string_view text, std::size_t offset);

// "FILE:LINE:COLUMN".
std::string PlaceText(std::string_view file, TextPosition at);

// The columns of a text read from front to back, for a reader that numbers many places on one line
// (a lexer): counting each from the line's start would take time in the square of the line's
// length. Asking for places in increasing order costs time in proportion to the distance moved;
// a place before the last one asked for is counted again from the start of its line.
class ColumnCounter {
public:
    explicit ColumnCounter(std::string_view text);

    // The line being read begins at `offset`, just after a '\n'.
    void StartLine(std::size_t offset);

    // The column of the byte at `offset`, which lies on the line being read.
    std::size_t ColumnAt(std::size_t offset);

private:
    std::string_view text_;
    std::size_t lineStart_ = 0;
    std::size_t counted_ = 0;  // the offset whose column is `column_`
    std::size_t column_ = 1;
};

}  // namespace vhost
