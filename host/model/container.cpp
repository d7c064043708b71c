#include "model/container.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace vhost {

namespace {

// Custom data is kept under this tag; TypeNumber answers the record's own type id instead.
constexpr auto kCustomTag = static_cast<ValueType>(1000000);

// Containers up to this many keys are searched linearly: records hold three keys and object data
// a handful, where a scan of one cache line beats any hashing.
constexpr std::size_t kIndexThreshold = 16;

// First capacity of a container that receives a key, so the usual small records grow once.
constexpr std::size_t kInitialCapacity = 4;

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

}  // namespace

// Value -------------------------------------------------------------------------------------------

Value::~Value() { Release(); }

Value::Value(const Value& other) { CopyFrom(other); }

Value::Value(Value&& other) noexcept
    : type_(other.type_), customType_(other.customType_), u_(other.u_) {
    other.type_ = ValueType::None;
    other.u_ = {};
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        Release();
        type_ = other.type_;
        customType_ = other.customType_;
        u_ = other.u_;
        other.type_ = ValueType::None;
        other.u_ = {};
    }
    return *this;
}

Value Value::Int32(std::int32_t v) {
    Value value;
    value.type_ = ValueType::Int32;
    value.u_.i32 = v;
    return value;
}

Value Value::Int64(std::int64_t v) {
    Value value;
    value.type_ = ValueType::Int64;
    value.u_.i64 = v;
    return value;
}

Value Value::Float(double v) {
    Value value;
    value.type_ = ValueType::Float;
    value.u_.f64 = v;
    return value;
}

Value Value::String(std::string_view v) {
    Value value;
    value.u_.text = new std::string(v);
    value.type_ = ValueType::String;
    return value;
}

Value Value::Link(ObjectId v) {
    Value value;
    value.type_ = ValueType::Link;
    value.u_.link = v;
    return value;
}

Value Value::Nested(const vhost::Container& v) {
    Value value;
    value.u_.nested = new vhost::Container(v);
    value.type_ = ValueType::Container;
    return value;
}

Value Value::Nested(vhost::Container&& v) {
    Value value;
    value.u_.nested = new vhost::Container(std::move(v));
    value.type_ = ValueType::Container;
    return value;
}

Value Value::Custom(CustomData v) {
    Value value;
    value.customType_ = v.type;
    value.u_.custom = new CustomData(std::move(v));
    value.type_ = kCustomTag;
    return value;
}

std::int32_t Value::TypeNumber() const {
    return type_ == kCustomTag ? customType_ : static_cast<std::int32_t>(type_);
}

bool Value::IsEmpty() const { return type_ == ValueType::None; }

std::int32_t Value::AsInt32(std::int32_t preset) const {
    return type_ == ValueType::Int32 ? u_.i32 : preset;
}

std::int64_t Value::AsInt64(std::int64_t preset) const {
    return type_ == ValueType::Int64 ? u_.i64 : preset;
}

double Value::AsFloat(double preset) const { return type_ == ValueType::Float ? u_.f64 : preset; }

std::string_view Value::AsString(std::string_view preset) const {
    return type_ == ValueType::String ? std::string_view(*u_.text) : preset;
}

ObjectId Value::AsLink() const { return type_ == ValueType::Link ? u_.link : 0; }

const vhost::Container* Value::AsContainer() const {
    return type_ == ValueType::Container ? u_.nested : nullptr;
}

vhost::Container* Value::AsContainer() {
    return type_ == ValueType::Container ? u_.nested : nullptr;
}

const CustomData* Value::AsCustom() const { return type_ == kCustomTag ? u_.custom : nullptr; }

bool Value::operator==(const Value& other) const {
    if (type_ != other.type_ || TypeNumber() != other.TypeNumber()) return false;
    if (type_ == kCustomTag) return *u_.custom == *other.u_.custom;
    switch (type_) {
        case ValueType::None:
            return true;
        case ValueType::Int32:
            return u_.i32 == other.u_.i32;
        case ValueType::Int64:
            return u_.i64 == other.u_.i64;
        case ValueType::Float:
            return u_.f64 == other.u_.f64;
        case ValueType::String:
            return *u_.text == *other.u_.text;
        case ValueType::Link:
            return u_.link == other.u_.link;
        case ValueType::Container:
            return *u_.nested == *other.u_.nested;
    }
    return false;
}

void Value::Release() noexcept {
    switch (type_) {
        case ValueType::String:
            delete u_.text;
            break;
        case ValueType::Container:
            delete u_.nested;
            break;
        case ValueType::None:
        case ValueType::Int32:
        case ValueType::Int64:
        case ValueType::Float:
        case ValueType::Link:
            break;
    }
    if (type_ == kCustomTag) delete u_.custom;
    type_ = ValueType::None;
    u_ = {};
}

void Value::CopyFrom(const Value& other) {
    customType_ = other.customType_;
    switch (other.type_) {
        case ValueType::String:
            u_.text = new std::string(*other.u_.text);
            break;
        case ValueType::Container:
            u_.nested = new vhost::Container(*other.u_.nested);
            break;
        case ValueType::None:
        case ValueType::Int32:
        case ValueType::Int64:
        case ValueType::Float:
        case ValueType::Link:
            u_ = other.u_;
            break;
    }
    if (other.type_ == kCustomTag) u_.custom = new CustomData(*other.u_.custom);
    type_ = other.type_;
}

// Container ---------------------------------------------------------------------------------------

struct Container::KeyIndex {
    std::unordered_map<std::int32_t, std::size_t> positions;
};

Container::Container(std::int32_t id) : ref_{reinterpret_cast<HostContainer*>(this)}, id_(id) {}

Container::Container(const Container& other)
    : ref_{reinterpret_cast<HostContainer*>(this)}, id_(other.id_) {
    CopyEntriesFrom(other);
}

Container::Container(Container&& other) noexcept
    : ref_{reinterpret_cast<HostContainer*>(this)},
      id_(other.id_),
      entries_(std::move(other.entries_)),
      index_(std::move(other.index_)) {
    other.entries_.clear();
}

Container& Container::operator=(const Container& other) {
    if (this != &other) {
        // Copy first: `other` may live inside this container.
        Container copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Container& Container::operator=(Container&& other) noexcept {
    if (this != &other) {
        DestroyEntries();
        id_ = other.id_;
        entries_ = std::move(other.entries_);
        index_ = std::move(other.index_);
        other.entries_.clear();
    }
    return *this;
}

Container::~Container() { DestroyEntries(); }

Container* Container::FromHandle(HostContainer* handle) {
    return reinterpret_cast<Container*>(handle);
}

const Container* Container::FromHandle(const HostContainer* handle) {
    return reinterpret_cast<const Container*>(handle);
}

// Nested containers are copied level by level from a work list rather than by recursion, so the
// depth of nesting is limited by memory only. Each pending pair is a source container and its
// (still empty) copy at a stable heap address. The list is made only when a nested container is
// met: flat containers, such as isolation records, copy without it.
void Container::CopyEntriesFrom(const Container& source) {
    std::vector<std::pair<const Container*, Container*>> pending;
    auto copyLevel = [&pending](const Container& from, Container& to) {
        to.entries_.reserve(from.entries_.size());
        for (const Entry& entry : from.entries_) {
            const Container* nested = entry.value.AsContainer();
            if (nested == nullptr) {
                to.entries_.push_back(entry);
                continue;
            }
            Value copy;
            copy.u_.nested = new Container(nested->id_);
            copy.type_ = ValueType::Container;
            pending.emplace_back(nested, copy.u_.nested);
            to.entries_.push_back({entry.key, std::move(copy)});
        }
        if (to.entries_.size() > kIndexThreshold) to.RebuildIndex();
    };
    copyLevel(source, *this);
    while (!pending.empty()) {
        auto [from, to] = pending.back();
        pending.pop_back();
        copyLevel(*from, *to);
    }
}

// Detaches nested containers from their values before deleting them, so each delete finds a
// container without nested ones and destruction never recurses.
void Container::DestroyEntries() noexcept {
    std::vector<Container*> pending;
    auto detachNested = [&pending](std::vector<Entry>& entries) {
        for (Entry& entry : entries) {
            if (entry.value.type_ != ValueType::Container) continue;
            pending.push_back(entry.value.u_.nested);
            entry.value.type_ = ValueType::None;
            entry.value.u_ = {};
        }
    };
    detachNested(entries_);
    while (!pending.empty()) {
        Container* nested = pending.back();
        pending.pop_back();
        detachNested(nested->entries_);
        delete nested;
    }
    entries_.clear();
    index_.reset();
}

void Container::RebuildIndex() {
    if (entries_.size() <= kIndexThreshold) {
        index_.reset();
        return;
    }
    if (!index_) index_ = std::make_unique<KeyIndex>();
    index_->positions.clear();
    index_->positions.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) index_->positions.emplace(entries_[i].key, i);
}

std::size_t Container::PositionOf(std::int32_t key) const {
    if (index_) {
        auto found = index_->positions.find(key);
        return found == index_->positions.end() ? kNotFound : found->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].key == key) return i;
    }
    return kNotFound;
}

std::int32_t Container::Count() const { return static_cast<std::int32_t>(entries_.size()); }

bool Container::Has(std::int32_t key) const { return PositionOf(key) != kNotFound; }

std::int32_t Container::TypeOf(std::int32_t key) const {
    const Value* value = Find(key);
    return value != nullptr ? value->TypeNumber() : 0;
}

const Value* Container::Find(std::int32_t key) const {
    std::size_t position = PositionOf(key);
    return position == kNotFound ? nullptr : &entries_[position].value;
}

Value* Container::Find(std::int32_t key) {
    std::size_t position = PositionOf(key);
    return position == kNotFound ? nullptr : &entries_[position].value;
}

void Container::Set(std::int32_t key, Value value) {
    if (Value* existing = Find(key)) {
        *existing = std::move(value);
        return;
    }
    if (entries_.capacity() == 0) entries_.reserve(kInitialCapacity);
    entries_.push_back({key, std::move(value)});
    if (index_) {
        index_->positions.emplace(key, entries_.size() - 1);
    } else if (entries_.size() > kIndexThreshold) {
        RebuildIndex();
    }
}

bool Container::Remove(std::int32_t key) {
    std::size_t position = PositionOf(key);
    if (position == kNotFound) return false;
    // Take the value out first so that its destruction cannot see a half-updated container.
    Value removed = std::move(entries_[position].value);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
    if (index_) RebuildIndex();
    return true;
}

void Container::Clear() { DestroyEntries(); }

std::int32_t Container::GetInt32(std::int32_t key, std::int32_t preset) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsInt32(preset) : preset;
}

void Container::SetInt32(std::int32_t key, std::int32_t v) { Set(key, Value::Int32(v)); }

bool Container::GetBool(std::int32_t key, bool preset) const {
    const Value* value = Find(key);
    if (value == nullptr || value->TypeNumber() != static_cast<std::int32_t>(ValueType::Int32)) {
        return preset;
    }
    return value->AsInt32() != 0;
}

void Container::SetBool(std::int32_t key, bool v) { SetInt32(key, v ? 1 : 0); }

std::int64_t Container::GetInt64(std::int32_t key, std::int64_t preset) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsInt64(preset) : preset;
}

void Container::SetInt64(std::int32_t key, std::int64_t v) { Set(key, Value::Int64(v)); }

double Container::GetFloat(std::int32_t key, double preset) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsFloat(preset) : preset;
}

void Container::SetFloat(std::int32_t key, double v) { Set(key, Value::Float(v)); }

std::string_view Container::GetString(std::int32_t key, std::string_view preset) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsString(preset) : preset;
}

void Container::SetString(std::int32_t key, std::string_view v) { Set(key, Value::String(v)); }

ObjectId Container::GetLink(std::int32_t key) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsLink() : 0;
}

void Container::SetLink(std::int32_t key, ObjectId target) { Set(key, Value::Link(target)); }

Container* Container::GetContainerInstance(std::int32_t key) {
    Value* value = Find(key);
    return value != nullptr ? value->AsContainer() : nullptr;
}

const Container* Container::GetContainerInstance(std::int32_t key) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsContainer() : nullptr;
}

void Container::SetContainer(std::int32_t key, const Container& value) {
    // The copy is made before the old value goes: `value` may be the very container replaced.
    Set(key, Value::Nested(value));
}

// Compares level by level from a work list, for the same reason copies do.
bool Container::operator==(const Container& other) const {
    std::vector<std::pair<const Container*, const Container*>> pending{{this, &other}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (a->id_ != b->id_ || a->entries_.size() != b->entries_.size()) return false;
        for (const Entry& entry : a->entries_) {
            const Value* counterpart = b->Find(entry.key);
            if (counterpart == nullptr) return false;
            if (entry.value.type_ != counterpart->type_) return false;
            if (entry.value.type_ == ValueType::Container) {
                pending.emplace_back(entry.value.u_.nested, counterpart->u_.nested);
            } else if (!(entry.value == *counterpart)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace vhost
