#include "model/container.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "model/block_pool.h"

namespace vhost {

namespace {

// Containers up to this many keys are searched linearly: records hold three keys and object data
// a handful, where a scan of one cache line beats any hashing.
constexpr std::uint32_t kIndexThreshold = 16;

// Least capacity of a heap array, when a container outgrows its inline entries.
constexpr std::uint32_t kInitialCapacity = 8;

}  // namespace

void* Container::operator new(std::size_t size) {
    static_assert(sizeof(Container) == kPoolBlockBytes);
    static_cast<void>(size);  // always sizeof(Container): the class is final
    return AllocatePoolBlock();
}

std::size_t Container::PooledBytes() { return PoolBytesInUse(); }

void Container::operator delete(void* block) noexcept {
    if (block != nullptr) ReleasePoolBlock(block);
}

struct Container::KeyIndex {
    std::unordered_map<std::int32_t, std::uint32_t> positions;
};

// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): entries are made as they are copied
Container::Container(const Container& other)
    : ref_{reinterpret_cast<HostContainer*>(this)}, id_(other.id_) {
    CopyEntriesFrom(other);
}

// NOLINTNEXTLINE(cppcoreguidelines-pro-type-member-init): entries are made as they are taken
Container::Container(Container&& other) noexcept
    : ref_{reinterpret_cast<HostContainer*>(this)}, id_(other.id_) {
    TakeEntriesFrom(other);
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
        TakeEntriesFrom(other);
    }
    return *this;
}

// Takes over the entries of `other` (its heap array as it is, or its inline entries moved one by
// one) and leaves it empty. This container must hold no entries.
void Container::TakeEntriesFrom(Container& other) noexcept {
    if (other.onHeap_) {
        heap_ = other.heap_;
        onHeap_ = 1;
        size_ = other.size_;
        other.onHeap_ = 0;
        other.size_ = 0;
        return;
    }
    Entry* from = other.InlineEntries();
    Entry* to = InlineEntries();
    for (std::uint32_t i = 0; i < other.size_; ++i) {
        new (&to[i]) Entry{from[i].key, std::move(from[i].value)};
        from[i].~Entry();
    }
    size_ = other.size_;
    other.size_ = 0;
}

// Nested containers are copied level by level from a work list rather than by recursion, so the
// depth of nesting is limited by memory only. Each pending pair is a source container and its
// (still empty) copy at a stable heap address. The list is made only when a nested container is
// met: flat containers, such as isolation records, copy without it.
void Container::CopyEntriesFrom(const Container& source) {
    if (source.HoldsOnlyPlainValues()) {
        // Numbers and links copy as they are (records take this way).
        std::memcpy(static_cast<void*>(inline_), source.inline_, source.size_ * sizeof(Entry));
        size_ = source.size_;
        return;
    }
    std::vector<std::pair<const Container*, Container*>> pending;
    auto copyLevel = [&pending](const Container& from, Container& to) {
        if (from.size_ > kInlineEntries) {
            to.heap_ = {static_cast<Entry*>(::operator new(from.size_ * sizeof(Entry))), from.size_,
                        nullptr};
            to.onHeap_ = 1;
        }
        const Entry* entries = from.Data();
        Entry* copies = to.Data();
        for (std::uint32_t i = 0; i < from.size_; ++i) {
            const Entry& entry = entries[i];
            const Container* nested = entry.value.AsContainer();
            if (nested == nullptr) {
                new (&copies[i]) Entry(entry);
            } else {
                auto* copy = new Container(nested->id_);
                new (&copies[i]) Entry{entry.key, Value(ValueType::Container, copy)};
                pending.emplace_back(nested, copy);
            }
            ++to.size_;
        }
        if (to.size_ > kIndexThreshold) to.RebuildIndex();
    };
    copyLevel(source, *this);
    while (!pending.empty()) {
        auto [from, to] = pending.back();
        pending.pop_back();
        copyLevel(*from, *to);
    }
}

// Whether the entries are inside and none of them owns a block (text, container, custom data).
bool Container::HoldsOnlyPlainValues() const {
    if (onHeap_) return false;
    const Entry* entries = InlineEntries();
    for (std::uint32_t i = 0; i < size_; ++i) {
        if (entries[i].value.OwnsBlock()) return false;
    }
    return true;
}

// Detaches nested containers from their values before deleting them, so each delete finds a
// container without nested ones and destruction never recurses.
void Container::DestroyEntries() noexcept {
    if (HoldsOnlyPlainValues()) {
        size_ = 0;  // numbers and links need no destruction (records take this way)
        return;
    }
    std::vector<Container*> pending;
    auto detachNested = [&pending](Container& container) {
        Entry* entries = container.Data();
        for (std::uint32_t i = 0; i < container.size_; ++i) {
            Value& value = entries[i].value;
            if (value.type_ != ValueType::Container) continue;
            pending.push_back(value.Payload<Container*>());
            value.type_ = ValueType::None;
        }
    };
    detachNested(*this);
    while (!pending.empty()) {
        Container* nested = pending.back();
        pending.pop_back();
        detachNested(*nested);
        delete nested;
    }
    ReleaseStorage();
}

// Destroys the (no longer nested) entries and gives back the heap array and index.
void Container::ReleaseStorage() noexcept {
    Entry* entries = Data();
    for (std::uint32_t i = 0; i < size_; ++i) entries[i].~Entry();
    if (onHeap_) {
        delete heap_.index;
        ::operator delete(heap_.entries);
        onHeap_ = 0;
    }
    size_ = 0;
}

void Container::RebuildIndex() {
    if (!onHeap_) return;
    if (size_ <= kIndexThreshold) {
        delete heap_.index;
        heap_.index = nullptr;
        return;
    }
    if (heap_.index == nullptr) heap_.index = new KeyIndex();
    heap_.index->positions.clear();
    heap_.index->positions.reserve(size_);
    for (std::uint32_t i = 0; i < size_; ++i)
        heap_.index->positions.emplace(heap_.entries[i].key, i);
}

// The scan of a small container is inlined where the container looks up keys; large ones ask
// their index. Answers kNoPosition when the key is absent.
inline std::uint32_t Container::PositionOf(std::int32_t key) const {
    if (onHeap_ && heap_.index != nullptr) return IndexedPositionOf(key);
    const Entry* entries = Data();
    for (std::uint32_t i = 0; i < size_; ++i) {
        if (entries[i].key == key) return i;
    }
    return kNoPosition;
}

std::uint32_t Container::IndexedPositionOf(std::int32_t key) const {
    auto found = heap_.index->positions.find(key);
    return found == heap_.index->positions.end() ? kNoPosition : found->second;
}

Container::Entry* Container::FindEntry(std::int32_t key) {
    const std::uint32_t position = PositionOf(key);
    return position == kNoPosition ? nullptr : &Data()[position];
}

Value* Container::Find(std::int32_t key) {
    const std::uint32_t position = PositionOf(key);
    return position == kNoPosition ? nullptr : &Data()[position].value;
}

const Value* Container::Find(std::int32_t key) const {
    const std::uint32_t position = PositionOf(key);
    return position == kNoPosition ? nullptr : &Data()[position].value;
}

bool Container::Has(std::int32_t key) const { return Find(key) != nullptr; }

// Moves the entries to a heap array of twice the room (at least kInitialCapacity).
void Container::Grow() {
    const std::uint32_t capacity = std::max<std::uint32_t>(Capacity() * 2, kInitialCapacity);
    auto* grown = static_cast<Entry*>(::operator new(capacity * sizeof(Entry)));
    Entry* entries = Data();
    for (std::uint32_t i = 0; i < size_; ++i) {
        new (&grown[i]) Entry{entries[i].key, std::move(entries[i].value)};
        entries[i].~Entry();
    }
    if (onHeap_) {
        ::operator delete(heap_.entries);
        heap_.entries = grown;
        heap_.capacity = capacity;
    } else {
        heap_ = {grown, capacity, nullptr};
        onHeap_ = 1;
    }
}

void Container::Append(std::int32_t key, Value&& value) {
    if (size_ == Capacity()) Grow();
    new (&Data()[size_]) Entry{key, std::move(value)};
    ++size_;
    if (!onHeap_) return;
    if (heap_.index != nullptr) {
        heap_.index->positions.emplace(key, size_ - 1);
    } else if (size_ > kIndexThreshold) {
        RebuildIndex();
    }
}

std::int32_t Container::TypeOf(std::int32_t key) const {
    const Value* value = Find(key);
    return value != nullptr ? value->TypeNumber() : 0;
}

void Container::Set(std::int32_t key, Value value) {
    if (Value* existing = Find(key)) {
        *existing = std::move(value);
        return;
    }
    Append(key, std::move(value));
}

bool Container::Remove(std::int32_t key) {
    Entry* found = FindEntry(key);
    if (found == nullptr) return false;
    // Take the value out first so that its destruction cannot see a half-updated container.
    Value removed = std::move(found->value);
    Entry* entries = Data();
    for (auto i = static_cast<std::uint32_t>(found - entries); i + 1 < size_; ++i) {
        entries[i].key = entries[i + 1].key;
        entries[i].value = std::move(entries[i + 1].value);
    }
    entries[size_ - 1].~Entry();
    --size_;
    if (onHeap_ && heap_.index != nullptr) RebuildIndex();
    return true;
}

void Container::Clear() { DestroyEntries(); }

std::int32_t Container::GetInt32(std::int32_t key, std::int32_t preset) const {
    const Value* value = Find(key);
    return value != nullptr ? value->AsInt32(preset) : preset;
}

void Container::SetInt32(std::int32_t key, std::int32_t v) {
    if (Value* existing = Find(key)) {
        existing->AssignInt32(v);
        return;
    }
    Append(key, Value::Int32(v));
}

bool Container::GetBool(std::int32_t key, bool preset) const {
    const Value* value = Find(key);
    if (value == nullptr || value->type_ != ValueType::Int32) return preset;
    return value->AsInt32() != 0;
}

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
        if (a->id_ != b->id_ || a->size_ != b->size_) return false;
        for (const Entry& entry : a->Entries()) {
            const Value* counterpart = b->Find(entry.key);
            if (counterpart == nullptr) return false;
            if (entry.value.type_ != counterpart->type_) return false;
            if (entry.value.type_ == ValueType::Container) {
                pending.emplace_back(entry.value.AsContainer(), counterpart->AsContainer());
            } else if (!(entry.value == *counterpart)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace vhost
