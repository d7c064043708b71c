// Doing an action on a host: each action's steps, written once. Every action checks all it needs
// before it changes anything, so a refused action leaves the host as it was.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "actions/action.h"

namespace vhost {
class Document;
class Host;
}  // namespace vhost

namespace vhost::actions {

// Why an action was refused.
enum class Refusal {
    None,
    NoSuchObject,   // an id names no object of the active document
    IdTaken,        // an add's id is used by another object
    NoSuchCommand,  // the command is not registered
    NoSuchType,     // the object type is none the host has
    NotAChild,      // `after` is not a child of the parent given
    OwnHierarchy,   // a move into the moved object's own hierarchy
    NotAnInstance,  // a link from an object that is not an instance object
    TakeTaken,      // a new take's name is taken
    NoSuchTake,     // no take has the name
    FileProblem,    // the file cannot be read or written
    KeptDocument,   // the person kept the document that would have closed
};

struct Outcome {
    Refusal refusal = Refusal::None;
    // What was refused, as the host's messages say it: a clause without a full stop. Callers
    // that name objects their own way (paths, rows) word the refusal from its kind instead.
    std::string message;
    bool commandResult = false;  // PressCommand: what the command answered
    bool keyTaken = false;       // StrokeKey: whether a shortcut took the stroke
    ObjectId created = 0;        // AddObject: the new object's id
    // OpenDocument: what the import left out of the file, one sentence per kind beginning with
    // the file (none for the host's own scene files); the host's console has them too.
    std::vector<std::string> leftOut;

    bool Done() const { return refusal == Refusal::None; }
};

// Asked before an action closes `closing` (an open with closeActive); false keeps it and refuses
// the action (Refusal::KeptDocument). The person's answer, not part of the action.
using MayClose = std::function<bool(const Document& closing)>;

// Does `action` on the host's active document. [host thread]
Outcome Perform(Host& host, const Action& action, const MayClose& mayClose = {});

}  // namespace vhost::actions
