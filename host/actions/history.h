// A document's history: the edits done to it as steps that can be undone and done again, as an
// editor's undo keeps its commands. The host keeps one history per open document
// (HistoryOf); Perform records every edit in it and undoes and redoes through it.
//
// A step keeps only what its edit changed: the ids it touched and the values before and after,
// or the subtree a delete took out, whole with its data containers; never a copy of the scene.
// Steps are undone in the reverse order they were done, so each finds the document as its edit
// left it.
//
// A press of a command records no step and ends the history of the document it acted on (see
// Perform): the command changes the states and the isolation records of every object without a
// step, so a step recorded before it holds values the press made stale, and undoing it would
// write them into an isolated scene, or take away or bring back objects whose records the
// isolation counts on. Steps recorded after a press only touch what they changed, and a delete
// undone brings the object back with its containers, so an isolated object keeps its record.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "actions/perform.h"
#include "host.h"

namespace vhost::actions {

// One edit with its way back. `Do` does the edit (again); `Undo` takes it back. Each checks all
// it needs first and refuses, changing nothing, when the document is not as the step left it.
class Step {
public:
    explicit Step(std::string name) : name_(std::move(name)) {}
    virtual ~Step() = default;
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

    // The name a menu gives the step after "Undo" or "Redo", e.g. "Move Wheel FL".
    const std::string& Name() const { return name_; }
    virtual Outcome Do() = 0;
    virtual Outcome Undo() = 0;
    // Whether the step takes in `later`, done right after it as its continuation (the next
    // update of one drag): it then ends where `later` ends. Steps of other kinds, or on other
    // objects, are not taken in.
    virtual bool Absorb(const Step& /*later*/) { return false; }
    // Whether the step, done, leaves the document as it found it.
    virtual bool ChangesNothing() const { return false; }

private:
    std::string name_;
};

class History : public DocumentCompanion {
public:
    // Does `step` and keeps it as the last step to undo; steps undone before can no longer be
    // done again. A refused step is not kept.
    Outcome Do(std::unique_ptr<Step> step);
    // Does `step` as the continuation of the last step to undo, which absorbs it if it can
    // (Step::Absorb) and is dropped once it changes nothing; else as Do does, but a step that
    // changes nothing is not kept.
    Outcome Continue(std::unique_ptr<Step> step);
    // Refused with a sentence when there is nothing to undo or to redo.
    Outcome Undo();
    Outcome Redo();
    // The name of the step Undo or Redo would take; empty when there is none.
    std::string UndoName() const;
    std::string RedoName() const;
    std::size_t UndoCount() const { return undo_.size(); }
    std::size_t RedoCount() const { return redo_.size(); }
    void Clear();

private:
    std::vector<std::unique_ptr<Step>> undo_;
    std::vector<std::unique_ptr<Step>> redo_;
};

// The history of edits of an open document of `host`, kept beside it until it closes.
History& HistoryOf(Host& host, const Document& document);

}  // namespace vhost::actions
