#include "cli/script_parser.h"

#include "text/quoting.h"
#include "text/text_position.h"
#include "text/utf8.h"

namespace vhost::cli {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

class LineSplitter {
public:
    LineSplitter(std::string_view line, const std::string& file, int number)
        : text_(line), file_(file), number_(number) {}

    // Appends the line's words to `words`; false with `error` set on a malformed line.
    bool Split(std::vector<std::string>& words, ScriptError& error) {
        while (SkipBlanks()) {
            if (text_[pos_] == '#') {
                return true;  // a comment runs to the end of the line
            }
            std::string word;
            if (!ReadWord(word, error)) {
                return false;
            }
            words.push_back(std::move(word));
        }
        return true;
    }

private:
    int ColumnAt(std::size_t offset) const {
        return static_cast<int>(PositionAt(text_, offset).column);
    }

    // The character after the backslash just read, whole even when it takes several bytes.
    std::string EscapedCharacter() const {
        return Printable(text_.substr(pos_ - 1, CharacterStep(text_.substr(pos_ - 1))));
    }

    bool SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) {
            ++pos_;
        }
        return pos_ < text_.size();
    }

    bool ReadWord(std::string& word, ScriptError& error) {
        while (pos_ < text_.size() && !IsBlank(text_[pos_])) {
            if (text_[pos_] == '"') {
                if (!ReadQuoted(word, error)) {
                    return false;
                }
            } else {
                word += text_[pos_++];
            }
        }
        return true;
    }

    bool ReadQuoted(std::string& word, ScriptError& error) {
        const std::size_t open = pos_++;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                word += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                break;
            }
            const char escaped = text_[pos_++];
            switch (escaped) {
                case '"':
                case '\\':
                    word += escaped;
                    break;
                case 'n':
                    word += '\n';
                    break;
                case 't':
                    word += '\t';
                    break;
                default:
                    error = {file_, number_, ColumnAt(pos_ - 2),
                             "unknown escape '\\" + EscapedCharacter() +
                                 R"(' (expected \", \\, \n or \t))"};
                    return false;
            }
        }
        error = {file_, number_, ColumnAt(open),
                 "the quote opened here is not closed on this line"};
        return false;
    }

    std::string_view text_;
    const std::string& file_;
    int number_;
    std::size_t pos_ = 0;
};

}  // namespace

ParsedScript ParseScript(std::string_view text, const std::string& file) {
    ParsedScript script;
    int number = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        ++number;
        ScriptLine line{file, number, {}};
        ScriptError error;
        if (!LineSplitter(text.substr(start, end - start), file, number).Split(line.words, error)) {
            script.errors.push_back(std::move(error));
        } else if (!line.words.empty()) {
            script.lines.push_back(std::move(line));
        }
        if (end == text.size()) {
            break;
        }
        start = end + 1;
    }
    return script;
}

}  // namespace vhost::cli
