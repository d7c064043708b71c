#include "resources/resource_file_reader.h"

#include <utility>

#include "text/quoting.h"

namespace vhost::resources {

namespace {

constexpr std::size_t kMaxErrorsPerFile = 20;

}  // namespace

FileReader::FileReader(LoadState& state, std::string file, std::string_view text, bool header)
    : state_(state), file_(std::move(file)), tokens_(Tokenize(text, header, problem_)) {}

bool FileReader::Expected(const Token& at, const std::string& what) {
    Report(at, at.kind == TokenKind::Error ? problem_ : "expected " + what);
    return false;
}

void FileReader::Report(const Token& at, std::string message) {
    if (reported_ == kMaxErrorsPerFile) {
        state_.errors.push_back(
            {file_, at.line, at.column, "too many errors; the rest of this file is not checked"});
    }
    if (reported_++ >= kMaxErrorsPerFile) return;
    state_.errors.push_back({file_, at.line, at.column, std::move(message)});
}

std::optional<std::int32_t> FileReader::ResolveId(const Token& token) {
    if (token.kind == TokenKind::Number) {
        std::optional<std::int64_t> value = ParseWhole(token.raw);
        if (value && FitsInt32(*value)) return static_cast<std::int32_t>(*value);
        Report(token, QuotedToken(token.raw) + " is not a 32-bit whole number");
        return std::nullopt;
    }
    if (std::optional<std::int32_t> value = state_.resource.FindSymbol(token.raw)) {
        return value;
    }
    if (state_.symbolsIncomplete) {
        ++reported_;  // the file is not kept, but the header's message speaks for it
    } else {
        Report(token, "unknown symbol " + std::string(token.raw));
    }
    return std::nullopt;
}

}  // namespace vhost::resources
