// The host side of the container area: containers and values, forwarded to vhost::Container and
// vhost::Value. Null handles answer the preset (or nothing) instead of failing.
#include <algorithm>
#include <cstring>

#include "host.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

Container* Get(HostContainer* handle) { return Container::FromHandle(handle); }
const Container* Get(const HostContainer* handle) { return Container::FromHandle(handle); }
Value* Get(HostValue* handle) { return reinterpret_cast<Value*>(handle); }
const Value* Get(const HostValue* handle) { return reinterpret_cast<const Value*>(handle); }

// Stores a value and counts the write when it changes the scene.
void Store(const HostTable* host, HostContainer* handle, std::int32_t key, Value value) {
    Container* container = Get(handle);
    if (container == nullptr) return;
    container->Set(key, std::move(value));
    NoteWrite(host, container);
}

// Containers ------------------------------------------------------------------------------------

// A container's handle is its own address (Container::Handle), so the caller's handle is the
// allocation it hands back to `destroy`.
HostContainer* HOST_ABI Create(const HostTable* /*host*/, std::int32_t id) {
    return reinterpret_cast<HostContainer*>(new Container(id));
}

HostContainer* HOST_ABI Clone(const HostTable* /*host*/, const HostContainer* source) {
    if (source == nullptr) return nullptr;
    return reinterpret_cast<HostContainer*>(new Container(*Get(source)));
}

void HOST_ABI Destroy(const HostTable* /*host*/, HostContainer* container) {
    delete Get(container);
}

void HOST_ABI Assign(const HostTable* host, HostContainer* target, const HostContainer* source) {
    Container* to = Get(target);
    if (to == nullptr || source == nullptr) return;
    *to = *Get(source);
    NoteWrite(host, to);
}

std::int32_t HOST_ABI GetId(const HostTable* /*host*/, const HostContainer* container) {
    return container != nullptr ? Get(container)->Id() : 0;
}

void HOST_ABI SetId(const HostTable* host, HostContainer* container, std::int32_t id) {
    if (container == nullptr) return;
    Get(container)->SetId(id);
    NoteWrite(host, Get(container));
}

std::int32_t HOST_ABI Count(const HostTable* /*host*/, const HostContainer* container) {
    return container != nullptr ? Get(container)->Count() : 0;
}

bool HOST_ABI KeyAt(const HostTable* /*host*/, const HostContainer* container, std::int32_t index,
                    std::int32_t* key) {
    if (container == nullptr || key == nullptr || index < 0) return false;
    const auto& entries = Get(container)->Entries();
    if (static_cast<std::size_t>(index) >= entries.size()) return false;
    *key = entries[static_cast<std::size_t>(index)].key;
    return true;
}

std::int32_t HOST_ABI GetType(const HostTable* /*host*/, const HostContainer* container,
                              std::int32_t key) {
    return container != nullptr ? Get(container)->TypeOf(key) : HOST_TYPE_NONE;
}

bool HOST_ABI RemoveData(const HostTable* host, HostContainer* container, std::int32_t key) {
    if (container == nullptr || !Get(container)->Remove(key)) return false;
    NoteWrite(host, Get(container));
    return true;
}

// Typed access ----------------------------------------------------------------------------------

std::int32_t HOST_ABI GetInt32(const HostTable* /*host*/, const HostContainer* container,
                               std::int32_t key, std::int32_t preset) {
    return container != nullptr ? Get(container)->GetInt32(key, preset) : preset;
}

// Integers and booleans are written in place when the key is there already.
void StoreInt32(const HostTable* host, HostContainer* handle, std::int32_t key,
                std::int32_t value) {
    Container* container = Get(handle);
    if (container == nullptr) return;
    container->SetInt32(key, value);
    NoteWrite(host, container);
}

void HOST_ABI SetInt32(const HostTable* host, HostContainer* container, std::int32_t key,
                       std::int32_t value) {
    StoreInt32(host, container, key, value);
}

bool HOST_ABI GetBool(const HostTable* /*host*/, const HostContainer* container, std::int32_t key,
                      bool preset) {
    return container != nullptr ? Get(container)->GetBool(key, preset) : preset;
}

void HOST_ABI SetBool(const HostTable* host, HostContainer* container, std::int32_t key,
                      bool value) {
    StoreInt32(host, container, key, value ? 1 : 0);
}

std::int64_t HOST_ABI GetInt64(const HostTable* /*host*/, const HostContainer* container,
                               std::int32_t key, std::int64_t preset) {
    return container != nullptr ? Get(container)->GetInt64(key, preset) : preset;
}

void HOST_ABI SetInt64(const HostTable* host, HostContainer* container, std::int32_t key,
                       std::int64_t value) {
    Store(host, container, key, Value::Int64(value));
}

double HOST_ABI GetFloat(const HostTable* /*host*/, const HostContainer* container,
                         std::int32_t key, double preset) {
    return container != nullptr ? Get(container)->GetFloat(key, preset) : preset;
}

void HOST_ABI SetFloat(const HostTable* host, HostContainer* container, std::int32_t key,
                       double value) {
    Store(host, container, key, Value::Float(value));
}

std::size_t HOST_ABI GetString(const HostTable* /*host*/, const HostContainer* container,
                               std::int32_t key, HostStringView preset, char* buffer,
                               std::size_t capacity) {
    std::string_view text =
        container != nullptr ? Get(container)->GetString(key, Text(preset)) : Text(preset);
    return WriteText(text, buffer, capacity);
}

void HOST_ABI SetString(const HostTable* host, HostContainer* container, std::int32_t key,
                        HostStringView value) {
    Store(host, container, key, Value::String(Text(value)));
}

// A nested container handed out from scene data is scene data too: writes through it count.
HostContainerRef* HOST_ABI GetContainerInstance(const HostTable* /*host*/, HostContainer* container,
                                                std::int32_t key) {
    if (container == nullptr) return nullptr;
    Container* nested = Get(container)->GetContainerInstance(key);
    if (nested == nullptr) return nullptr;
    if (Get(container)->IsSceneData()) nested->SetSceneData(true);
    return nested->Ref();
}

void HOST_ABI SetContainer(const HostTable* host, HostContainer* container, std::int32_t key,
                           const HostContainer* value) {
    if (value == nullptr) return;
    Store(host, container, key, Value::Nested(*Get(value)));
}

HostObject* HOST_ABI GetObjectLink(const HostTable* /*host*/, const HostContainer* container,
                                   std::int32_t key, const HostDocument* document) {
    if (container == nullptr || document == nullptr) return nullptr;
    ObjectId id = Get(container)->GetLink(key);
    if (id == 0) return nullptr;
    Object* object = Document::FromHandle(document)->FindById(id);
    return object != nullptr ? object->Handle() : nullptr;
}

void HOST_ABI SetObjectLink(const HostTable* host, HostContainer* container, std::int32_t key,
                            const HostObject* object) {
    ObjectId id = object != nullptr ? Object::FromHandle(object)->Id() : 0;
    Store(host, container, key, Value::Link(id));
}

bool HOST_ABI GetData(const HostTable* /*host*/, const HostContainer* container, std::int32_t key,
                      HostValue* value) {
    const Value* stored = container != nullptr ? Get(container)->Find(key) : nullptr;
    if (value != nullptr) *Get(value) = stored != nullptr ? *stored : Value();
    return stored != nullptr;
}

void HOST_ABI SetData(const HostTable* host, HostContainer* container, std::int32_t key,
                      const HostValue* value) {
    if (container == nullptr) return;
    if (value == nullptr || Get(value)->IsEmpty()) {
        if (Get(container)->Remove(key)) NoteWrite(host, Get(container));
        return;
    }
    Store(host, container, key, *Get(value));
}

// Values ----------------------------------------------------------------------------------------

HostValue* HOST_ABI ValueCreate(const HostTable* /*host*/) {
    return reinterpret_cast<HostValue*>(new Value());
}

void HOST_ABI ValueDestroy(const HostTable* /*host*/, HostValue* value) { delete Get(value); }

void HOST_ABI ValueAssign(const HostTable* /*host*/, HostValue* target, const HostValue* source) {
    if (target == nullptr) return;
    *Get(target) = source != nullptr ? *Get(source) : Value();
}

std::int32_t HOST_ABI ValueGetType(const HostTable* /*host*/, const HostValue* value) {
    return value != nullptr ? Get(value)->TypeNumber() : HOST_TYPE_NONE;
}

void HOST_ABI ValueClear(const HostTable* /*host*/, HostValue* value) {
    if (value != nullptr) *Get(value) = Value();
}

std::int32_t HOST_ABI ValueGetInt32(const HostTable* /*host*/, const HostValue* value) {
    return value != nullptr ? Get(value)->AsInt32() : 0;
}

void HOST_ABI ValueSetInt32(const HostTable* /*host*/, HostValue* value, std::int32_t number) {
    if (value != nullptr) *Get(value) = Value::Int32(number);
}

std::int64_t HOST_ABI ValueGetInt64(const HostTable* /*host*/, const HostValue* value) {
    return value != nullptr ? Get(value)->AsInt64() : 0;
}

void HOST_ABI ValueSetInt64(const HostTable* /*host*/, HostValue* value, std::int64_t number) {
    if (value != nullptr) *Get(value) = Value::Int64(number);
}

double HOST_ABI ValueGetFloat(const HostTable* /*host*/, const HostValue* value) {
    return value != nullptr ? Get(value)->AsFloat() : 0.0;
}

void HOST_ABI ValueSetFloat(const HostTable* /*host*/, HostValue* value, double number) {
    if (value != nullptr) *Get(value) = Value::Float(number);
}

std::size_t HOST_ABI ValueGetString(const HostTable* /*host*/, const HostValue* value, char* buffer,
                                    std::size_t capacity) {
    return WriteText(value != nullptr ? Get(value)->AsString() : std::string_view(), buffer,
                     capacity);
}

void HOST_ABI ValueSetString(const HostTable* /*host*/, HostValue* value, HostStringView text) {
    if (value != nullptr) *Get(value) = Value::String(Text(text));
}

void HOST_ABI ValueSetCustom(const HostTable* /*host*/, HostValue* value, std::int32_t type,
                             const void* record, std::size_t size) {
    if (value == nullptr || (record == nullptr && size > 0)) return;
    CustomData data;
    data.type = type;
    data.record.resize(size);
    if (size > 0) std::memcpy(data.record.data(), record, size);
    *Get(value) = Value::Custom(std::move(data));
}

std::size_t HOST_ABI ValueGetCustom(const HostTable* /*host*/, const HostValue* value,
                                    std::int32_t type, void* record, std::size_t capacity) {
    const CustomData* data = value != nullptr ? Get(value)->AsCustom() : nullptr;
    if (data == nullptr || data->type != type) return 0;
    std::size_t count = std::min(capacity, data->record.size());
    if (record != nullptr && count > 0) std::memcpy(record, data->record.data(), count);
    return data->record.size();
}

constexpr HostContainerArea kArea{
    .size = sizeof(HostContainerArea),
    .create = &Create,
    .clone = &Clone,
    .destroy = &Destroy,
    .assign = &Assign,
    .get_id = &GetId,
    .set_id = &SetId,
    .count = &Count,
    .key_at = &KeyAt,
    .get_type = &GetType,
    .remove_data = &RemoveData,
    .get_int32 = &GetInt32,
    .set_int32 = &SetInt32,
    .get_bool = &GetBool,
    .set_bool = &SetBool,
    .get_int64 = &GetInt64,
    .set_int64 = &SetInt64,
    .get_float = &GetFloat,
    .set_float = &SetFloat,
    .get_string = &GetString,
    .set_string = &SetString,
    .get_container_instance = &GetContainerInstance,
    .set_container = &SetContainer,
    .get_object_link = &GetObjectLink,
    .set_object_link = &SetObjectLink,
    .get_data = &GetData,
    .set_data = &SetData,
    .value_create = &ValueCreate,
    .value_destroy = &ValueDestroy,
    .value_assign = &ValueAssign,
    .value_get_type = &ValueGetType,
    .value_clear = &ValueClear,
    .value_get_int32 = &ValueGetInt32,
    .value_set_int32 = &ValueSetInt32,
    .value_get_int64 = &ValueGetInt64,
    .value_set_int64 = &ValueSetInt64,
    .value_get_float = &ValueGetFloat,
    .value_set_float = &ValueSetFloat,
    .value_get_string = &ValueGetString,
    .value_set_string = &ValueSetString,
    .value_set_custom = &ValueSetCustom,
    .value_get_custom = &ValueGetCustom,
};

}  // namespace

const HostContainerArea* ContainerArea() { return &kArea; }

}  // namespace vhost::table
