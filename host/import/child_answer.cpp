#include "import/child_answer.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "import/handed_scene.h"

namespace vhost {

namespace {

// The answer's first byte; a scene is followed by its report (after its length as u64 in the
// machine's order: both ends are one program) and the document in its handed form, to the end.
constexpr char kRefused = 'E';
constexpr char kImports = 'O';
constexpr char kScene = 'S';

void PutSized(std::string& out, std::string_view bytes) {
    const std::uint64_t size = bytes.size();
    out.append(reinterpret_cast<const char*>(&size), sizeof size);
    out += bytes;
}

std::optional<std::string_view> TakeSized(std::string_view& rest) {
    std::uint64_t size = 0;
    if (rest.size() < sizeof size) return std::nullopt;
    std::memcpy(&size, rest.data(), sizeof size);
    rest.remove_prefix(sizeof size);
    if (rest.size() < size) return std::nullopt;
    const std::string_view taken = rest.substr(0, size);
    rest.remove_prefix(size);
    return taken;
}

TakenAnswer Damaged(std::string_view sourceName, std::string_view what) {
    TakenAnswer taken;
    taken.scene.error = std::string(sourceName) + ": cannot import: " + std::string(what);
    return taken;
}

TakenAnswer SceneFrom(std::string_view rest, std::string_view sourceName) {
    const std::optional<std::string_view> reportBytes = TakeSized(rest);
    std::optional<ImportReport> report;
    if (reportBytes) report = ImportReport::Decode(*reportBytes);
    std::unique_ptr<Document> document = report ? TakeHandedDocument(rest) : nullptr;
    if (!document) return Damaged(sourceName, "the reader's answer is damaged");
    TakenAnswer taken;
    taken.kind = TakenAnswer::Kind::Scene;
    taken.scene.document = std::move(document);
    taken.scene.leftOut = std::move(*report);
    return taken;
}

}  // namespace

std::string AnswerWithVerdict(const ImportedScene& imported) {
    return imported.Ok() ? std::string(1, kImports) : kRefused + imported.error;
}

std::string AnswerWithScene(const ImportedScene& imported) {
    if (!imported.Ok()) return AnswerWithVerdict(imported);
    std::string answer(1, kScene);
    PutSized(answer, imported.leftOut.Encode());
    if (!AppendHandedDocument(*imported.document, answer)) return AnswerWithVerdict(imported);
    return answer;
}

TakenAnswer TakeAnswer(std::string_view answer, std::string_view sourceName) {
    if (answer.empty()) return Damaged(sourceName, "the reader gave no answer");
    const std::string_view rest = answer.substr(1);
    switch (answer.front()) {
        case kRefused:
            return {TakenAnswer::Kind::Refused, {nullptr, std::string(rest), {}}};
        case kImports:
            return {TakenAnswer::Kind::ReadHere, {}};
        case kScene:
            return SceneFrom(rest, sourceName);
        default:
            return Damaged(sourceName, "the reader's answer is not one the host knows");
    }
}

}  // namespace vhost
