// Reading one file of a resource: its tokens, a cursor over them, and its errors, recorded in the
// state that the whole resource is loaded into.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource_lexer.h"
#include "resources/resource_loader.h"

namespace vhost::resources {

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
    FileReader(LoadState& state, std::string file, std::string_view text, bool header);

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
    bool Expected(const Token& at, const std::string& what);
    // An error of meaning: reading goes on.
    void Report(const Token& at, std::string message);
    bool HasErrors() const { return reported_ > 0; }

    // The value of a symbol or a whole number used as an id; reports and answers nothing when
    // it is neither.
    std::optional<std::int32_t> ResolveId(const Token& token);

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

}  // namespace vhost::resources
