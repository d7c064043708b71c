// What a person, or a script, can do to the host's documents, as values: which action, on which
// objects (named by their stable ids), with what. A value says everything the action needs, so
// it can be kept, shown and done again; `Perform` (actions/perform.h) is the one place that does
// each of them, for session scripts, the studio, the benchmarks, the fuzz targets and the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/scene.h"

namespace vhost::actions {

// A click on a registered command with exactly `keys` held (HOST_QUALIFIER_*); the keyboard
// reports what it held before once the command has returned.
struct PressCommand {
    std::int32_t command = 0;
    std::int32_t keys = 0;
};

// A key stroke as the keyboard delivers it: the shortcut table decides what it runs, and a
// command it runs runs with `keys` held.
struct StrokeKey {
    std::int32_t keys = 0;
    std::int32_t key = 0;
};

enum class SelectHow {
    Replace,  // the objects become the selection
    Add,      // the objects join the selection
    Toggle,   // each object changes its selection; with the children they all end as it does
};

// Selects objects of the active document; with `children`, each with everything below it, as a
// double-click in an object manager does.
struct SelectObjects {
    std::vector<ObjectId> objects{};
    SelectHow how = SelectHow::Replace;
    bool children = false;
};

// Deselects these objects of the active document; no objects: all of them.
struct DeselectObjects {
    std::vector<ObjectId> objects{};
};

// Changes an object's states by hand; a state that is not given stays as it is.
struct SetStates {
    ObjectId object = 0;
    std::optional<Mode> editor{};
    std::optional<Mode> render{};
    std::optional<bool> enabled{};
};

// Creates an object in the active document, last among the children of `parent` (0: the top
// level) or right after its child `after`. `id` 0 takes the next free id; a given id brings back
// the object an earlier add made, so the same value done again makes the same object. An
// instance made with a `link` is one step, as a link after the add would be a second.
struct AddObject {
    std::int32_t type = 0;
    std::string name{};
    ObjectId parent = 0;
    ObjectId after = 0;
    Mode editor = Mode::Default;
    Mode render = Mode::Default;
    bool enabled = true;
    bool selected = false;
    ObjectId id = 0;
    ObjectId link = 0;  // an instance object made referring to this object; 0: to nothing
};

// Deletes objects with everything below them, as one step of the history. An object below
// another one named is deleted with it; naming it too changes nothing.
struct DeleteObject {
    std::vector<ObjectId> objects;
};

// Moves an object with everything below it to `parent` (0: the top level), last among its
// children or right after its child `after`; with `first` and no `after`, first among them.
struct MoveObject {
    ObjectId object = 0;
    ObjectId parent = 0;
    ObjectId after = 0;
    bool first = false;
};

// Lets an instance object refer to `target`; 0 lets it refer to nothing.
struct LinkInstance {
    ObjectId instance = 0;
    ObjectId target = 0;
};

// Adds a take to the active document.
struct NewTake {
    std::string name{};
};

// Makes a take of the active document the current one.
struct UseTake {
    std::string name{};
};

// A new empty document, which becomes the active one.
struct NewDocument {
    std::string name = "Untitled";
};

// Opens a scene file or imports another application's 3D file (UTF-8 path); the document
// becomes the active one. `name` empty keeps the name the file gives it. With `closeActive` the
// document that was active closes, once the file has been read.
struct OpenDocument {
    std::string path{};
    std::string name{};
    bool closeActive = false;
};

// Saves the active document to a scene file (UTF-8 path), replacing it atomically; with
// `nameAfterFile` the document takes the file's name, as a save under a new name does.
struct SaveDocument {
    std::string path{};
    bool nameAfterFile = false;
};

// Gives an object a new name. An empty name, and one the scene file cannot hold (not UTF-8), is
// refused.
struct RenameObject {
    ObjectId object = 0;
    std::string name{};
};

// Places an object relative to its parent: moved by `position`, turned by `rotation` (degrees
// about X, then Y, then Z, each about the parent's axes turned by those before, as three.js
// turns in its XYZ order) and scaled along its own axes by `scale`. A number that is not finite
// is refused. With `continues`, the transform goes on from the last step of the history when that
// is a transform of the same object with nothing undone after it: the step then ends here
// instead of a new one beginning, so that a drag's many updates are one step to undo. A drag
// brought back to where it began leaves no step.
struct TransformObject {
    ObjectId object = 0;
    Vector position{};
    Vector rotation{};
    Vector scale{1.0, 1.0, 1.0};
    bool continues = false;
};

// Copies objects of the active document, each with everything below it and its data containers
// (an isolation record among them), to the host's clipboard, which they replace. An object
// below another one given goes with that one.
struct CopyObjects {
    std::vector<ObjectId> objects{};
};

// Copies what the clipboard holds into a document (0: the active one; else the document with
// this serial), last among the children of `parent` (0: the top level) or right after its child
// `after`, in the order they were copied; the copies get new ids. The clipboard keeps them.
struct PasteObjects {
    std::uint64_t document = 0;
    ObjectId parent = 0;
    ObjectId after = 0;
};

// Makes the open document with this serial the active one.
struct SwitchDocument {
    std::uint64_t document = 0;
};

// Closes the open document with this serial (0: the active one), once the caller's MayClose
// agrees; the last document that closes is replaced by a new empty one.
struct CloseDocument {
    std::uint64_t document = 0;
};

// Undoes the last edit of the active document that is not undone, or does again the last one
// undone. Only edits are steps of a document's history (actions/history.h); a press of a
// command ends the history, so neither ever crosses a press.
struct Undo {};
struct Redo {};

using Action = std::variant<PressCommand, StrokeKey, SelectObjects, DeselectObjects, SetStates,
                            AddObject, DeleteObject, MoveObject, LinkInstance, NewTake, UseTake,
                            NewDocument, OpenDocument, SaveDocument, RenameObject, TransformObject,
                            CopyObjects, PasteObjects, SwitchDocument, CloseDocument, Undo, Redo>;

// The action's name as a menu or a log line gives it, e.g. "press" or "select".
std::string_view NameOf(const Action& action);

}  // namespace vhost::actions
