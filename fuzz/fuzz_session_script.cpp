// The session-script reader on any bytes: errors carry the file and a place inside the text, every
// line has a command, and the words of each line, quoted again, read back as the same words.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/script_parser.h"
#include "fuzz_check.h"
#include "text/quoting.h"

namespace {

using vhost::QuoteWord;
using vhost::cli::ParsedScript;
using vhost::cli::ParseScript;
using vhost::cli::ScriptLine;

void CheckPlaces(const ParsedScript& parsed, std::string_view text) {
    const int lineCount = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    int previous = 0;
    for (const ScriptLine& line : parsed.lines) {
        vfuzz::Require(line.file == "input.vela", "a line names its file");
        vfuzz::Require(!line.words.empty(), "a line has a command");
        vfuzz::Require(line.line > previous && line.line <= lineCount,
                       "lines come in order, within the text");
        previous = line.line;
    }
    for (const auto& error : parsed.errors) {
        vfuzz::Require(error.file == "input.vela", "an error names its file");
        vfuzz::Require(error.line >= 1 && error.line <= lineCount && error.column >= 1,
                       "an error has a place within the text");
        vfuzz::Require(!error.message.empty(), "an error says what is wrong");
    }
}

// Each line's words, quoted and joined, read back as the same words.
void CheckQuoting(const ParsedScript& parsed) {
    for (const ScriptLine& line : parsed.lines) {
        std::string rebuilt;
        for (const std::string& word : line.words) {
            if (!rebuilt.empty()) rebuilt += ' ';
            rebuilt += QuoteWord(word);
        }
        const ParsedScript again = ParseScript(rebuilt, "again.vela");
        vfuzz::Require(again.errors.empty(), "quoted words read back without errors: " + rebuilt);
        vfuzz::Require(again.lines.size() == 1 && again.lines[0].words == line.words,
                       "quoted words read back as the same words: " + rebuilt);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ParsedScript parsed = ParseScript(text, "input.vela");
    CheckPlaces(parsed, text);
    CheckQuoting(parsed);
    return 0;
}
