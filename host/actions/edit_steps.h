// The steps of a document's history, one kind per edit. Each is made from what its edit was
// checked to need (Perform checks before it makes one), names objects by id and keeps only what
// it changes.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "actions/history.h"
#include "model/scene.h"

namespace vhost::actions {

// An object's states as SetStates gives them; a state not given is not changed.
struct States {
    std::optional<Mode> editor;
    std::optional<Mode> render;
    std::optional<bool> enabled;
};

// `object` with the states given.
std::unique_ptr<Step> StatesStep(Document& document, const Object& object, const States& to);
// A new object as `add` makes it; its parent and `after` must be places in the document.
std::unique_ptr<Step> AddStep(Document& document, const AddObject& add);
// The objects with their subtrees taken out, kept whole for the undo: one step, named after the
// object or the count. Objects below others of the list go with those.
std::unique_ptr<Step> DeleteStep(Document& document, const std::vector<const Object*>& objects);
// `object` moved to `parent` (0: the top level) after `after` (0: last, or first with
// `first`); checked to be no place inside its own subtree.
std::unique_ptr<Step> MoveStep(Document& document, const Object& object, ObjectId parent,
                               ObjectId after, bool first = false);
// An instance object referring to `target` (0: nothing).
std::unique_ptr<Step> LinkStep(Document& document, const Object& instance, ObjectId target);
std::unique_ptr<Step> RenameStep(Document& document, const Object& object, std::string name);
std::unique_ptr<Step> TransformStep(Document& document, const Object& object, const Matrix& to);
// A take added to the document; its name is checked to be free.
std::unique_ptr<Step> NewTakeStep(Document& document, std::string name);
// The take with this name made current; it is checked to exist.
std::unique_ptr<Step> UseTakeStep(Document& document, std::string name);

// The steps that make objects (an add, a paste) answer them in Outcome::pasted each time they
// are done.
//
// Copies of the clipboard's top-level objects with their subtrees, placed at `parent` after
// `after` one after the other; the clipboard must hold some.
std::unique_ptr<Step> PasteStep(Document& document, const Document& clipboard, ObjectId parent,
                                ObjectId after);

}  // namespace vhost::actions
