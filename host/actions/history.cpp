#include "actions/history.h"

namespace vhost::actions {

namespace {

// Runs `step` one way and, when it was done, moves it from `from` to `to`.
Outcome Take(std::vector<std::unique_ptr<Step>>& from, std::vector<std::unique_ptr<Step>>& to,
             bool undo) {
    Step& step = *from.back();
    Outcome outcome = undo ? step.Undo() : step.Do();
    if (!outcome.Done()) return outcome;
    outcome.step = step.Name();
    to.push_back(std::move(from.back()));
    from.pop_back();
    return outcome;
}

}  // namespace

Outcome History::Do(std::unique_ptr<Step> step) {
    Outcome outcome = step->Do();
    if (!outcome.Done()) return outcome;
    outcome.step = step->Name();
    redo_.clear();
    undo_.push_back(std::move(step));
    return outcome;
}

Outcome History::Continue(std::unique_ptr<Step> step) {
    Outcome outcome = step->Do();
    if (!outcome.Done()) return outcome;
    outcome.step = step->Name();
    if (redo_.empty() && !undo_.empty() && undo_.back()->Absorb(*step)) {
        if (undo_.back()->ChangesNothing()) {
            // Undone, the step puts back exactly what it found, which the continuation may have
            // come back to only within rounding.
            undo_.back()->Undo();
            undo_.pop_back();
        }
        return outcome;
    }
    // Nothing to continue (the drag's step was dropped, or another edit came between): a new
    // step, unless this one changes nothing either.
    if (step->ChangesNothing()) return outcome;
    redo_.clear();
    undo_.push_back(std::move(step));
    return outcome;
}

Outcome History::Undo() {
    if (undo_.empty()) return Outcome::Refused(Refusal::NothingToUndo, "there is nothing to undo");
    return Take(undo_, redo_, true);
}

Outcome History::Redo() {
    if (redo_.empty()) return Outcome::Refused(Refusal::NothingToRedo, "there is nothing to redo");
    return Take(redo_, undo_, false);
}

std::string History::UndoName() const { return undo_.empty() ? "" : undo_.back()->Name(); }

std::string History::RedoName() const { return redo_.empty() ? "" : redo_.back()->Name(); }

void History::Clear() {
    redo_.clear();
    undo_.clear();
}

History& HistoryOf(Host& host, const Document& document) {
    // The actions keep nothing else beside a document, so its companion is its history.
    return dynamic_cast<History&>(
        host.CompanionOf(document, [] { return std::make_unique<History>(); }));
}

}  // namespace vhost::actions
