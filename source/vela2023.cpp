#include "vela2023.h"

#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

#include "Main.h"
#include "vela_ids.h"

namespace {

constexpr const char* kSourceFile = "..\\source\\vela2023";
constexpr Int32 kInvocationLine = 255;
constexpr const char* kInvocationText = "25.4. 1:53";

BaseContainer* RecordOf(BaseObject* op) {
    return op->GetDataInstance()->GetContainerInstance(ID_VELA);
}

BaseContainer* DocumentRecordOf(BaseDocument* doc) {
    return doc->GetDataInstance()->GetContainerInstance(ID_VELA);
}

void StoreStates(BaseContainer& record, Int32 editorMode, Int32 renderMode, Bool enabled) {
    record.SetInt32(VELA_SAVED_EDITOR_MODE, editorMode);
    record.SetInt32(VELA_SAVED_RENDER_MODE, renderMode);
    record.SetBool(VELA_SAVED_ENABLED, enabled);
}

// Visits every object of the chain starting at `first` and all their descendants in tree order
// (an object, then its children, then its next sibling) without recursion, so hierarchies of any
// depth are safe. `visit` answers whether to go on. `Visit` is called as visit(BaseObject*), or
// as visit(BaseObject*, depth) when it takes the depth too (0 for the chain itself).
template <typename Visit>
void ForEachInChain(BaseObject* first, Visit&& visit) {
    std::vector<BaseObject*> parents;  // objects whose children are being visited
    BaseObject* op = first;
    while (op != nullptr) {
        bool goOn = false;
        if constexpr (std::is_invocable_v<Visit, BaseObject*, std::size_t>) {
            goOn = visit(op, parents.size());
        } else {
            goOn = visit(op);
        }
        if (!goOn) {
            return;
        }
        if (BaseObject* child = op->GetDown()) {
            parents.push_back(op);
            op = child;
            continue;
        }
        op = op->GetNext();
        while (op == nullptr && !parents.empty()) {
            op = parents.back()->GetNext();
            parents.pop_back();
        }
    }
}

// Like ForEachInChain, for `root` and its descendants only (not the siblings after it).
template <typename Visit>
void ForEachInHierarchy(BaseObject* root, Visit&& visit) {
    if (!visit(root)) {
        return;
    }
    BaseObject* const first = root->GetDown();
    if (first != nullptr) {
        ForEachInChain(first, visit);
    }
}

// The chain of objects from the top of the tree down to `op`, both ends included.
std::vector<BaseObject*> PathFromTop(BaseObject* op) {
    std::vector<BaseObject*> path;
    for (; op != nullptr; op = op->GetUp()) {
        path.push_back(op);
    }
    return {path.rbegin(), path.rend()};
}

// True when `a` comes before `b` in tree order, or is `b`.
Bool PrecedesInTreeOrder(BaseObject* a, BaseObject* b) {
    const std::vector<BaseObject*> pathA = PathFromTop(a);
    const std::vector<BaseObject*> pathB = PathFromTop(b);
    std::size_t level = 0;
    while (level < pathA.size() && level < pathB.size() && pathA[level] == pathB[level]) {
        ++level;
    }
    if (level == pathA.size()) {
        return true;  // `a` is `b` or one of its ancestors
    }
    if (level == pathB.size()) {
        return false;  // `b` is an ancestor of `a`
    }
    // Siblings under the deepest common ancestor: `a`'s branch first if `b`'s follows it.
    for (BaseObject* sibling = pathA[level]->GetNext(); sibling != nullptr;
         sibling = sibling->GetNext()) {
        if (sibling == pathB[level]) {
            return true;
        }
    }
    return false;
}

}  // namespace

Bool VELA::Execute(BaseDocument* doc, GeDialog* /*parentManager*/) {
    if (doc == nullptr) {
        return false;
    }
    // The page creates the settings; until it has, the command has nothing to go by.
    BaseContainer world = GetWorldContainer();
    BaseContainer* const settings = world.GetContainerInstance(ID_VELASETTINGS);
    if (settings == nullptr) {
        return false;
    }
    keepOption = settings->GetBool(VELASETTINGS_KEEP_VISIBILITY, false);

    AutoAlloc<AtomArray> selection;
    if (!selection) {
        return false;
    }
    doc->GetActiveObjects(*selection, GETACTIVEOBJECTFLAGS::NONE);
    anySelected = selection->GetCount() != 0;

    affectEditor = true;
    addMode = false;
    affectRender = false;
    affectEnabled = false;
    keepOnRestore = false;

    // A failed query leaves the container empty: no qualifier held.
    BaseContainer input;
    GetInputState(BFM_INPUT_KEYBOARD, BFM_INPUT_QUALIFIER, input);
    const Int32 qualifiers = input.GetInt32(BFM_INPUT_QUALIFIER, 0);
    addMode = (qualifiers & static_cast<Int32>(QUALIFIER::SHIFT)) != 0;
    affectRender = (qualifiers & static_cast<Int32>(QUALIFIER::CTRL)) != 0;
    affectEnabled = (qualifiers & static_cast<Int32>(QUALIFIER::ALT)) != 0;
    if (affectEnabled) {
        if (!affectRender) {
            affectEditor = false;
        } else {
            keepOnRestore = keepOption;
        }
    }

    TakeData* const takes = doc->GetTakeData();
    if (takes == nullptr) {
        return false;
    }
    BaseTake* const take = takes->GetCurrentTake();
    if (take == nullptr) {
        return false;
    }
    WriteConsoleLine(kInvocationText, kSourceFile, kInvocationLine);
    // Isolation works on the objects' own states, which other takes override.
    if (!take->IsMain()) {
        return true;
    }

    StopAllThreads();
    const Int32 result = WalkObjects(doc, doc->GetFirstObject());
    if (result != 0) {
        DocumentRecordOf(doc)->SetInt32(VELA_DOC_STATE, result);
    } else {
        doc->GetDataInstance()->RemoveData(ID_VELA);
    }
    EventAdd(EVENT::NONE);
    return true;
}

Int32 VELA::GetState(BaseDocument* doc, GeDialog* /*parentManager*/) {
    if (doc == nullptr) {
        return CMD_ENABLED;
    }
    BaseContainer* const record = DocumentRecordOf(doc);
    if (record != nullptr && record->GetInt32(VELA_DOC_STATE, 0) != 0) {
        return CMD_ENABLED | CMD_VALUE;
    }
    return CMD_ENABLED;
}

Int32 VELA::WalkObjects(BaseDocument* doc, BaseObject* first) {
    if (first == nullptr) {
        return 0;
    }
    BaseContainer* const docData = doc->GetDataInstance();
    BaseContainer* record = docData->GetContainerInstance(ID_VELA);
    if (record == nullptr) {
        BaseContainer fresh(ID_VELA);
        fresh.SetInt32(VELA_DOC_STATE, -1);
        fresh.SetBool(VELA_DOC_BEGUN_WITH_ALT, affectEnabled);
        docData->SetContainer(ID_VELA, fresh);
        record = docData->GetContainerInstance(ID_VELA);
    }
    // Nothing the walk does writes the document record, so its mode holds for every object.
    if (record->GetInt32(VELA_DOC_STATE, 0) == 1) {
        walkMode_ = addMode ? WalkMode::Add : WalkMode::Restore;
    } else {
        walkMode_ = WalkMode::Isolate;
    }
    if (walkMode_ == WalkMode::Isolate && !anySelected) {
        return 0;
    }
    documentAllows_ = !record->GetBool(VELA_DOC_BEGUN_WITH_ALT, false);

    // The result is that of the chain's last object: each object of the chain (depth 0) overwrites
    // it in turn, so the chain needs no pass of its own to find its end.
    Int32 result = 0;
    BaseContainer scratch(ID_VELA);
    BaseContainer* const outerScratch = recordScratch_;
    recordScratch_ = &scratch;
    expandedDepth_ = kNoDepth;
    expandedReferences_.clear();
    ForEachInChain(first, [&](BaseObject* op, std::size_t depth) {
        if (expandedDepth_ != kNoDepth && depth <= expandedDepth_) {
            expandedDepth_ = kNoDepth;  // left the subtree whose descendants were selected
        }
        walkDepth_ = depth;
        walkPosition_ = op;
        const Int32 objectResult = TreatObject(op, walkMode_);
        if (depth == 0) {
            result = objectResult;
        }
        op->Message(MSG_VELA_WALKED);
        return true;
    });
    walkPosition_ = nullptr;
    expandedDepth_ = kNoDepth;
    expandedReferences_.clear();
    recordScratch_ = outerScratch;
    return result;
}

Int32 VELA::TreatObject(BaseObject* op, WalkMode mode) {
    if (mode == WalkMode::Restore) {
        RestoreObject(op);
        return 0;
    }
    const ObjectStates states{op->GetBit(BIT_ACTIVE), op->GetEditorMode(), op->GetRenderMode(),
                              op->GetDeformMode()};
    if (mode == WalkMode::Isolate) {
        IsolateObject(op, states);
    } else {
        AddObject(op, states);
    }
    return 1;
}

void VELA::IsolateObject(BaseObject* op, const ObjectStates& states) {
    // Every object gets a record before its dependents are looked at, so that an instance that
    // refers to itself finds it; its contents are the object's present states in the end either
    // way. A new record is made with them at once rather than with the defaults and then
    // overwritten. A record the object already carried (copied from an isolated scene) is
    // overwritten.
    BaseContainer* record = RecordOf(op);
    if (record == nullptr) {
        StoreRecord(op, states);
    }
    if (states.selected) {
        IncludeDependents(op);
    }
    if (record != nullptr) {
        StoreStates(*record, states.editorMode, states.renderMode, states.enabled);
    }
    const Int32 mode = states.selected ? MODE_ON : MODE_OFF;
    if (affectEditor) {
        op->SetEditorMode(mode);
    }
    if (affectRender) {
        op->SetRenderMode(mode);
    }
    if (affectEnabled) {
        op->SetDeformMode(states.selected);
    }
}

void VELA::RestoreObject(BaseObject* op) const {
    BaseContainer* const record = RecordOf(op);
    if (record == nullptr) {
        return;  // created while the document was isolated: left as it is
    }
    if (!keepOnRestore) {
        op->SetEditorMode(record->GetInt32(VELA_SAVED_EDITOR_MODE, MODE_UNDEF));
        op->SetRenderMode(record->GetInt32(VELA_SAVED_RENDER_MODE, MODE_UNDEF));
        op->SetDeformMode(record->GetBool(VELA_SAVED_ENABLED, true));
    }
    op->GetDataInstance()->RemoveData(ID_VELA);
}

void VELA::AddObject(BaseObject* op, const ObjectStates& states) {
    if (states.selected) {
        IncludeDependents(op);
        if (RecordOf(op) == nullptr) {
            AddDefaultRecord(op);  // the defaults, not the present states
        }
        ShowObject(op, documentAllows_);
        return;
    }
    if (RecordOf(op) != nullptr) {
        return;  // part of the isolation already: its record and states stay
    }
    // Appeared since the isolation began: remember it as it is now, then hide it.
    StoreRecord(op, states);
    if (affectEnabled) {
        op->SetDeformMode(false);
    }
    if (affectEditor && documentAllows_) {
        op->SetEditorMode(MODE_OFF);
    }
    if (affectRender && documentAllows_) {
        op->SetRenderMode(MODE_OFF);
    }
}

// Shows an object in an add walk: an isolation begun with Alt held changes only enabled states.
void VELA::ShowObject(BaseObject* op, Bool documentAllows) const {
    if (affectEnabled) {
        op->SetDeformMode(true);
    }
    if (affectEditor && documentAllows) {
        op->SetEditorMode(MODE_ON);
    }
    if (affectRender && documentAllows) {
        op->SetRenderMode(MODE_ON);
    }
}

// Selecting descendants is idempotent and nothing in a walk deselects an object or adds one, so
// a walk selects each hierarchy once: below a generator whose descendants it has selected, and
// for a reference it has already selected with its descendants, selecting them again would
// change nothing. This keeps nested generators and many instances of one unwalked reference
// linear in the size of the scene.
void VELA::IncludeDependents(BaseObject* op) {
    BasePlugin* const plugin = FindPlugin(op->GetType(), PLUGINTYPE::OBJECT);
    if (plugin != nullptr && (plugin->GetInfo() & OBJECT_INPUT) != 0) {
        const Bool atWalkPosition = op == walkPosition_;
        const Bool insideSelected =
            atWalkPosition && expandedDepth_ != kNoDepth && walkDepth_ > expandedDepth_;
        if (!insideSelected) {
            SelectHierarchy(op->GetDown());
            if (atWalkPosition) {
                expandedDepth_ = walkDepth_;
            }
        }
    }
    if (op->GetType() != Oinstance) {
        return;
    }
    BaseContainer data = op->GetData();
    BaseDocument* const active = GetActiveDocument();
    BaseObject* const reference = data.GetObjectLink(INSTANCEOBJECT_LINK, active);
    if (reference == nullptr) {
        return;
    }
    if (RecordOf(reference) != nullptr) {
        RevealHierarchy(active, reference);
    } else if (walkPosition_ == nullptr || expandedReferences_.insert(reference).second) {
        reference->SetBit(BIT_ACTIVE);
        SelectHierarchy(reference->GetDown());
    }
}

// Revealing must not reach objects whose record the walk has yet to write: the walk would store
// the revealed states as the objects' own, and the restore could not give back what they had.
// The walk sets every state a reveal sets on each object it reaches, so leaving such objects
// alone changes nothing that is shown. In an isolate walk these are the objects after the walk's
// position in tree order; in an add walk, the objects without a record.
Bool VELA::MayReveal(BaseObject* op, Bool pastWalkPosition) const {
    if (RecordOf(op) == nullptr) {
        return false;
    }
    return walkMode_ != WalkMode::Isolate || walkPosition_ == nullptr || !pastWalkPosition;
}

void VELA::RevealHierarchy(BaseDocument* doc, BaseObject* op) {
    BaseContainer* const record = doc != nullptr ? DocumentRecordOf(doc) : nullptr;
    const Bool documentAllows =
        record == nullptr || !record->GetBool(VELA_DOC_BEGUN_WITH_ALT, false);
    // Objects of the hierarchy come after the walk's position from the first one that is the
    // position's successor; when the position lies outside the hierarchy, either all or none do.
    Bool pastWalkPosition = walkPosition_ != nullptr && !PrecedesInTreeOrder(op, walkPosition_);
    ForEachInHierarchy(op, [&](BaseObject* current) {
        if (MayReveal(current, pastWalkPosition)) {
            if (addMode) {
                ShowObject(current, documentAllows);
            } else {
                if (affectEditor) {
                    current->SetEditorMode(MODE_ON);
                }
                if (affectRender) {
                    current->SetRenderMode(MODE_ON);
                }
                if (affectEnabled) {
                    current->SetDeformMode(true);
                }
            }
        }
        if (current == walkPosition_) {
            pastWalkPosition = true;
        }
        return true;
    });
}

void VELA::StoreRecord(BaseObject* op, const ObjectStates& states) {
    StoreRecordWith(op, states.editorMode, states.renderMode, states.enabled);
}

void VELA::AddDefaultRecord(BaseObject* op) { StoreRecordWith(op, MODE_UNDEF, MODE_UNDEF, true); }

// The scratch record always holds the same three keys in the same order, so the copy stored is
// the same record a fresh container would give.
void VELA::StoreRecordWith(BaseObject* op, Int32 editorMode, Int32 renderMode, Bool enabled) {
    if (recordScratch_ != nullptr) {
        StoreStates(*recordScratch_, editorMode, renderMode, enabled);
        op->GetDataInstance()->SetContainer(ID_VELA, *recordScratch_);
        return;
    }
    BaseContainer record(ID_VELA);
    StoreStates(record, editorMode, renderMode, enabled);
    op->GetDataInstance()->SetContainer(ID_VELA, record);
}

void VELA::SelectHierarchy(  // NOLINT(readability-convert-member-functions-to-static)
    BaseObject* first) {
    ForEachInChain(first, [](BaseObject* op) {
        op->SetBit(BIT_ACTIVE);
        return true;
    });
}

Bool RegisterVela() {
    const String name("vela");
    VELA* const command = new (std::nothrow) VELA();
    const String help("Vela Button for 2023");
    // The icon comes with the module's resource; a command without one still works.
    BaseBitmap* icon = BaseBitmap::Alloc();
    if (icon != nullptr &&
        icon->Init(GetResourceFolder() + String("vela_icon.tif"), -1) == IMAGERESULT::OK) {
        icon->SetData(BASEBITMAP_DATA_GUIPIXELRATIO, 1.0);
    } else {
        BaseBitmap::Free(icon);
    }
    const Bool registered =
        RegisterCommandPlugin(ID_VELA, name, PLUGINFLAG_HIDEPLUGINMENU, icon, help, command);
    BaseBitmap::Free(icon);
    return registered;
}
