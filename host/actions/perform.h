// Doing an action on a host: each action's steps, written once. Every action checks all it needs
// before it changes anything, so a refused action leaves the host as it was.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "actions/action.h"

namespace vhost {
class Document;
class Host;
class Progress;
}  // namespace vhost

namespace vhost::actions {

// Why an action was refused.
enum class Refusal {
    None,
    NoSuchObject,    // an id names no object of the active document
    IdTaken,         // an add's id is used by another object
    NoSuchCommand,   // the command is not registered
    NoSuchType,      // the object type is none the host has
    NotAChild,       // `after` is not a child of the parent given
    OwnHierarchy,    // a move into the moved object's own hierarchy
    NotAnInstance,   // a link from an object that is not an instance object
    LinkLoop,        // a link of an instance to itself or to an object above it
    TakeTaken,       // a new take's name is taken
    NoSuchTake,      // no take has the name
    FileProblem,     // the file cannot be read or written
    KeptDocument,    // the person kept the document that would have closed
    BadName,         // an empty name, or one the scene file cannot hold
    NotFinite,       // a transform with a number that is not finite
    NothingToCopy,   // a copy of no objects
    EmptyClipboard,  // a paste with nothing copied
    NoSuchDocument,  // no open document has the serial (it may have closed)
    NothingToUndo,
    NothingToRedo,
    OutOfStep,  // the document is not as the step to undo or redo left it
    Cancelled,  // an open or a save was called off through its progress; nothing changed
};

struct Outcome {
    Refusal refusal = Refusal::None;
    // What was refused, as the host's messages say it: a clause without a full stop. Callers
    // that name objects their own way (paths, rows) word the refusal from its kind instead.
    std::string message;
    bool commandResult = false;    // PressCommand: what the command answered
    bool keyTaken = false;         // StrokeKey: whether a shortcut took the stroke
    ObjectId created = 0;          // AddObject: the new object's id
    std::vector<ObjectId> pasted;  // PasteObjects: the copies made, in the clipboard's order
    // An edit, Undo and Redo: the name of the step of the document's history it did or took
    // back, e.g. "Move Wheel FL".
    std::string step;
    // OpenDocument: what the import left out of the file, one sentence per kind beginning with
    // the file (none for the host's own scene files); the host's console has them too.
    std::vector<std::string> leftOut;

    bool Done() const { return refusal == Refusal::None; }

    // An outcome that refuses for `why`, in the words of `message`.
    static Outcome Refused(Refusal why, std::string message) {
        Outcome outcome;
        outcome.refusal = why;
        outcome.message = std::move(message);
        return outcome;
    }
};

// Asked before an action closes `closing` (an open with closeActive); false keeps it and refuses
// the action (Refusal::KeptDocument). The person's answer, not part of the action.
using MayClose = std::function<bool(const Document& closing)>;

// Does `action` on the host's active document. [host thread]
//
// An open and a save tell `progress`, when given, how far they are, and stop when it is
// cancelled: a cancelled open leaves the host as it was, a cancelled save leaves the file (and
// its mesh file) as they were; both are refused with Refusal::Cancelled.
Outcome Perform(Host& host, const Action& action, const MayClose& mayClose = {},
                Progress* progress = nullptr);

}  // namespace vhost::actions
