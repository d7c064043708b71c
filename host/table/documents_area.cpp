// The host side of the document area: documents, object trees, takes, input and events. Writes to
// objects count as scene changes in the host's Activity.
#include "host.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

// An atom array is the host's counted list of object handles.
using AtomArray = std::vector<HostObject*>;

AtomArray* Get(HostAtomArray* handle) { return reinterpret_cast<AtomArray*>(handle); }
const AtomArray* Get(const HostAtomArray* handle) {
    return reinterpret_cast<const AtomArray*>(handle);
}

HostObject* HandleOf(Object* object) { return object != nullptr ? object->Handle() : nullptr; }

bool IsMode(std::int32_t mode) { return mode >= HOST_MODE_ON && mode <= HOST_MODE_UNDEF; }

void NoteSceneChange(const HostTable* host) { Host::FromTable(host).GetActivity().SceneChanged(); }

// Documents -------------------------------------------------------------------------------------

HostDocument* HOST_ABI GetActiveDocument(const HostTable* host) {
    return Host::FromTable(host).ActiveDocument().Handle();
}

HostContainerRef* HOST_ABI DocumentGetDataInstance(const HostTable* /*host*/,
                                                   HostDocument* document) {
    return document != nullptr ? Document::FromHandle(document)->Data().Ref() : nullptr;
}

HostObject* HOST_ABI GetFirstObject(const HostTable* /*host*/, const HostDocument* document) {
    return document != nullptr ? HandleOf(Document::FromHandle(document)->FirstObject()) : nullptr;
}

// Every selected object, selected descendants of selected objects included, as the host's own "no
// flags" query answers; the plug-in only asks whether anything is selected. No flag changes that.
void HOST_ABI GetActiveObjects(const HostTable* /*host*/, const HostDocument* document,
                               HostAtomArray* array, std::int32_t /*flags*/) {
    if (array == nullptr) return;
    AtomArray& objects = *Get(array);
    objects.clear();
    if (document == nullptr) return;
    for (Object* object : Document::FromHandle(document)->SelectedObjects(true)) {
        objects.push_back(object->Handle());
    }
}

// Atom arrays -----------------------------------------------------------------------------------

HostAtomArray* HOST_ABI AtomArrayCreate(const HostTable* /*host*/) {
    return reinterpret_cast<HostAtomArray*>(new AtomArray());
}

void HOST_ABI AtomArrayDestroy(const HostTable* /*host*/, HostAtomArray* array) {
    delete Get(array);
}

std::int32_t HOST_ABI AtomArrayCount(const HostTable* /*host*/, const HostAtomArray* array) {
    return array != nullptr ? static_cast<std::int32_t>(Get(array)->size()) : 0;
}

HostObject* HOST_ABI AtomArrayGet(const HostTable* /*host*/, const HostAtomArray* array,
                                  std::int32_t index) {
    if (array == nullptr || index < 0) return nullptr;
    const AtomArray& objects = *Get(array);
    auto position = static_cast<std::size_t>(index);
    return position < objects.size() ? objects[position] : nullptr;
}

// Takes -----------------------------------------------------------------------------------------

HostTakeData* HOST_ABI GetTakeData(const HostTable* /*host*/, HostDocument* document) {
    if (document == nullptr) return nullptr;
    TakeData* takes = Document::FromHandle(document)->Takes();
    return takes != nullptr ? takes->Handle() : nullptr;
}

HostTake* HOST_ABI GetCurrentTake(const HostTable* /*host*/, const HostTakeData* takes) {
    if (takes == nullptr) return nullptr;
    Take* current = TakeData::FromHandle(takes)->CurrentTake();
    return current != nullptr ? current->Handle() : nullptr;
}

HostTake* HOST_ABI GetMainTake(const HostTable* /*host*/, const HostTakeData* takes) {
    return takes != nullptr ? TakeData::FromHandle(takes)->MainTake()->Handle() : nullptr;
}

bool HOST_ABI TakeIsMain(const HostTable* /*host*/, const HostTake* take) {
    return take != nullptr && Take::FromHandle(take)->IsMain();
}

// Objects ---------------------------------------------------------------------------------------

std::int32_t HOST_ABI ObjectGetType(const HostTable* /*host*/, const HostObject* object) {
    return object != nullptr ? Object::FromHandle(object)->Type() : 0;
}

std::size_t HOST_ABI ObjectGetName(const HostTable* /*host*/, const HostObject* object,
                                   char* buffer, std::size_t capacity) {
    std::string_view name;
    if (object != nullptr) name = Object::FromHandle(object)->Name();
    return WriteText(name, buffer, capacity);
}

HostObject* HOST_ABI ObjectGetUp(const HostTable* /*host*/, const HostObject* object) {
    return object != nullptr ? HandleOf(Object::FromHandle(object)->Up()) : nullptr;
}

HostObject* HOST_ABI ObjectGetDown(const HostTable* /*host*/, const HostObject* object) {
    return object != nullptr ? HandleOf(Object::FromHandle(object)->Down()) : nullptr;
}

HostObject* HOST_ABI ObjectGetNext(const HostTable* /*host*/, const HostObject* object) {
    return object != nullptr ? HandleOf(Object::FromHandle(object)->Next()) : nullptr;
}

HostObject* HOST_ABI ObjectGetPred(const HostTable* /*host*/, const HostObject* object) {
    return object != nullptr ? HandleOf(Object::FromHandle(object)->Pred()) : nullptr;
}

HostDocument* HOST_ABI ObjectGetDocument(const HostTable* /*host*/, const HostObject* object) {
    if (object == nullptr) return nullptr;
    Document* document = Object::FromHandle(object)->GetDocument();
    return document != nullptr ? document->Handle() : nullptr;
}

HostContainerRef* HOST_ABI ObjectGetDataInstance(const HostTable* /*host*/, HostObject* object) {
    return object != nullptr ? Object::FromHandle(object)->Data().Ref() : nullptr;
}

// Objects of this host record every message and make nothing else of it.
bool HOST_ABI ObjectMessage(const HostTable* /*host*/, HostObject* object, std::int32_t id,
                            void* /*data*/) {
    if (object == nullptr) return false;
    Object::FromHandle(object)->ReceiveMessage(id);
    return true;
}

bool HOST_ABI ObjectGetBit(const HostTable* /*host*/, const HostObject* object, std::int32_t mask) {
    return object != nullptr && Object::FromHandle(object)->GetBit(mask);
}

void HOST_ABI ObjectSetBit(const HostTable* host, HostObject* object, std::int32_t mask) {
    if (object == nullptr) return;
    Object::FromHandle(object)->SetBit(mask);
    NoteSceneChange(host);
}

void HOST_ABI ObjectDelBit(const HostTable* host, HostObject* object, std::int32_t mask) {
    if (object == nullptr) return;
    Object::FromHandle(object)->DelBit(mask);
    NoteSceneChange(host);
}

std::int32_t HOST_ABI ObjectGetEditorMode(const HostTable* /*host*/, const HostObject* object) {
    if (object == nullptr) return HOST_MODE_UNDEF;
    return static_cast<std::int32_t>(Object::FromHandle(object)->EditorMode());
}

void HOST_ABI ObjectSetEditorMode(const HostTable* host, HostObject* object, std::int32_t mode) {
    if (object == nullptr || !IsMode(mode)) return;
    Object::FromHandle(object)->SetEditorMode(static_cast<Mode>(mode));
    NoteSceneChange(host);
}

std::int32_t HOST_ABI ObjectGetRenderMode(const HostTable* /*host*/, const HostObject* object) {
    if (object == nullptr) return HOST_MODE_UNDEF;
    return static_cast<std::int32_t>(Object::FromHandle(object)->RenderMode());
}

void HOST_ABI ObjectSetRenderMode(const HostTable* host, HostObject* object, std::int32_t mode) {
    if (object == nullptr || !IsMode(mode)) return;
    Object::FromHandle(object)->SetRenderMode(static_cast<Mode>(mode));
    NoteSceneChange(host);
}

bool HOST_ABI ObjectGetEnabled(const HostTable* /*host*/, const HostObject* object) {
    return object != nullptr && Object::FromHandle(object)->Enabled();
}

void HOST_ABI ObjectSetEnabled(const HostTable* host, HostObject* object, bool enabled) {
    if (object == nullptr) return;
    Object::FromHandle(object)->SetEnabled(enabled);
    NoteSceneChange(host);
}

// Input and events ------------------------------------------------------------------------------

bool HOST_ABI GetInputState(const HostTable* host, std::int32_t device, std::int32_t channel,
                            HostContainer* result) {
    const Host& owner = Host::FromTable(host);
    bool known = device == HOST_INPUT_DEVICE_KEYBOARD && channel == HOST_INPUT_CHANNEL_QUALIFIER;
    if (!known || !owner.KeyboardAvailable() || result == nullptr) return false;
    Container::FromHandle(result)->SetInt32(HOST_INPUT_CHANNEL_QUALIFIER, owner.Qualifiers());
    return true;
}

// This host draws nothing in the background; the call is counted so its order can be checked.
void HOST_ABI StopAllThreads(const HostTable* host) {
    Host::FromTable(host).GetActivity().ThreadsStopped();
}

// Counted here; Host::InvokeCommand refreshes the command states once the command has returned.
void HOST_ABI EventAdd(const HostTable* host, std::int32_t /*flags*/) {
    Host::FromTable(host).GetActivity().EventAdded();
}

constexpr HostDocumentArea kArea{
    .size = sizeof(HostDocumentArea),
    .get_active_document = &GetActiveDocument,
    .document_get_data_instance = &DocumentGetDataInstance,
    .get_first_object = &GetFirstObject,
    .get_active_objects = &GetActiveObjects,
    .atom_array_create = &AtomArrayCreate,
    .atom_array_destroy = &AtomArrayDestroy,
    .atom_array_count = &AtomArrayCount,
    .atom_array_get = &AtomArrayGet,
    .get_take_data = &GetTakeData,
    .get_current_take = &GetCurrentTake,
    .get_main_take = &GetMainTake,
    .take_is_main = &TakeIsMain,
    .object_get_type = &ObjectGetType,
    .object_get_name = &ObjectGetName,
    .object_get_up = &ObjectGetUp,
    .object_get_down = &ObjectGetDown,
    .object_get_next = &ObjectGetNext,
    .object_get_pred = &ObjectGetPred,
    .object_get_document = &ObjectGetDocument,
    .object_get_data_instance = &ObjectGetDataInstance,
    .object_message = &ObjectMessage,
    .object_get_bit = &ObjectGetBit,
    .object_set_bit = &ObjectSetBit,
    .object_del_bit = &ObjectDelBit,
    .object_get_editor_mode = &ObjectGetEditorMode,
    .object_set_editor_mode = &ObjectSetEditorMode,
    .object_get_render_mode = &ObjectGetRenderMode,
    .object_set_render_mode = &ObjectSetRenderMode,
    .object_get_enabled = &ObjectGetEnabled,
    .object_set_enabled = &ObjectSetEnabled,
    .get_input_state = &GetInputState,
    .stop_all_threads = &StopAllThreads,
    .event_add = &EventAdd,
};

}  // namespace

const HostDocumentArea* DocumentArea() { return &kArea; }

}  // namespace vhost::table
