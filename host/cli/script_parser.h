// Session scripts: one command a line, words separated by blanks, "quoted words" for names with
// blanks, and comments from a '#' that starts a word to the end of the line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vhost::cli {

struct ScriptLine {
    std::string file;
    int line = 0;
    std::vector<std::string> words;  // the command first; never empty
};

struct ScriptError {
    std::string file;
    int line = 0;
    int column = 0;  // counted as text/text_position.h says
    std::string message;
};

struct ParsedScript {
    std::vector<ScriptLine> lines;
    std::vector<ScriptError> errors;
};

// Splits a script's text into command lines. Blank and comment-only lines are left out. Errors
// (an unterminated quote, an unknown escape) are collected with their line and column. A word is
// written back in this syntax by QuoteWord (text/quoting.h).
ParsedScript ParseScript(std::string_view text, const std::string& file);

}  // namespace vhost::cli
