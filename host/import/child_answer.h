// What the child that reads a file (trial_run.h) answers the host: the file refused with its
// message, or imported, and then either the document itself or only that it imports.
//
// The document crosses in its handed form (handed_scene.h), which the host reads at memory speed,
// with the report of what was left out. A document that has no handed form crosses as "imports",
// and the host reads the file itself.
#pragma once

#include <string>
#include <string_view>

#include "import/imported_scene.h"

namespace vhost {

// The answer with the document when it can cross, else as AnswerWithVerdict.
std::string AnswerWithScene(const ImportedScene& imported);
// The answer without the document: the refusal's message, or that the file imports.
std::string AnswerWithVerdict(const ImportedScene& imported);

struct TakenAnswer {
    // Refused: `scene.error` says why. Scene: `scene` is the child's document and report.
    // ReadHere: the file imports; the host reads it itself. Damaged: the answer is none of these
    // (`scene.error` says so).
    enum class Kind { Refused, Scene, ReadHere, Damaged };
    Kind kind = Kind::Damaged;
    ImportedScene scene;
};

// The answer read back; messages begin with `sourceName`.
TakenAnswer TakeAnswer(std::string_view answer, std::string_view sourceName);

}  // namespace vhost
