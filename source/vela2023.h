// The isolation command: shows the selected objects of a document and hides every other object,
// and on the next invocation gives every object back exactly the states it had.
#pragma once

#include <cstddef>
#include <unordered_set>
#include <vector>

#include "host_api/c4d.h"

class VELA : public CommandData {
public:
    Bool Execute(BaseDocument* doc, GeDialog* parentManager) override;
    Int32 GetState(BaseDocument* doc, GeDialog* parentManager) override;

    // Treats every object of the chain starting at `first` and all their descendants, in tree
    // order (each object before its children, children before the next sibling), by the
    // document's state: isolate, add, or restore. Creates the document record when it is missing.
    // Answers 1 after an isolate or add walk, 0 after a restore walk, an isolate walk with nothing
    // selected, or an empty chain.
    Int32 WalkObjects(BaseDocument* doc, BaseObject* first);
    // Makes what a selected object needs to be seen count as selected: the descendants of a
    // generator that takes its children as input, and the object an instance refers to.
    void IncludeDependents(BaseObject* op);
    // Shows `op` and its descendants in the states the flags choose, without touching records.
    void RevealHierarchy(BaseDocument* doc, BaseObject* op);
    // Gives `op` a record holding the defaults (editor and render default, enabled).
    void AddDefaultRecord(BaseObject* op);
    // Selects every object of the chain starting at `first` and all their descendants.
    void SelectHierarchy(
        BaseObject* first);  // NOLINT(readability-convert-member-functions-to-static)

    // Set by each invocation before the walk; read by the walk. No meaning between invocations.
    Bool affectEditor = false;   // the walk changes editor visibility
    Bool addMode = false;        // Shift: add to a running isolation instead of ending it
    Bool affectRender = false;   // Ctrl: the walk also changes render visibility
    Bool affectEnabled = false;  // Alt: the walk also changes the enabled state
    Bool keepOnRestore = false;  // ending the isolation drops the records without restoring
    Bool anySelected = false;    // the document had a selected object when the command started
    Bool keepOption = false;     // the preference option, as read by this invocation

private:
    enum class WalkMode { Isolate, Restore, Add };

    struct ObjectStates {
        Bool selected;
        Int32 editorMode;
        Int32 renderMode;
        Bool enabled;
    };

    Int32 TreatObject(BaseObject* op, WalkMode mode);
    void IsolateObject(BaseObject* op, const ObjectStates& states);
    void RestoreObject(BaseObject* op) const;
    void AddObject(BaseObject* op, const ObjectStates& states);
    void ShowObject(BaseObject* op, Bool documentAllows) const;
    Bool MayReveal(BaseObject* op, Bool pastWalkPosition) const;
    // Gives `op` a new record holding `states`.
    void StoreRecord(BaseObject* op, const ObjectStates& states);
    // Stores a record holding these states as `op`'s record.
    void StoreRecordWith(BaseObject* op, Int32 editorMode, Int32 renderMode, Bool enabled);

    // The walk's own bookkeeping, valid while a walk runs.
    WalkMode walkMode_ = WalkMode::Isolate;
    Bool documentAllows_ = true;          // the isolation did not begin with Alt held
    BaseObject* walkPosition_ = nullptr;  // the object the walk is treating
    // A record container the walk fills and stores a copy of for each new record, so that a walk
    // makes one container rather than one per object; null outside a walk.
    BaseContainer* recordScratch_ = nullptr;
    // The walk's depth below the chain it was given, and the depth of the generator whose
    // descendants it selected last while the walk is still among them (kNoDepth when it is not).
    static constexpr std::size_t kNoDepth = static_cast<std::size_t>(-1);
    std::size_t walkDepth_ = 0;
    std::size_t expandedDepth_ = kNoDepth;
    // References the walk has selected with their descendants before reaching them.
    std::unordered_set<BaseObject*> expandedReferences_;
};

// Registers the command with the host.
Bool RegisterVela();
