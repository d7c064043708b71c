#include "model/container.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VHOST_POISON(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define VHOST_UNPOISON(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define VHOST_POISON(block, size) static_cast<void>(0)
#define VHOST_UNPOISON(block, size) static_cast<void>(0)
#endif

namespace vhost {

namespace {

// Custom data is kept under this tag; TypeNumber answers the record's own type id instead.
constexpr auto kCustomTag = static_cast<ValueType>(HOST_TYPE_CUSTOM_FIRST);

// Containers up to this many keys are searched linearly: records hold three keys and object data
// a handful, where a scan of one cache line beats any hashing.
constexpr std::uint32_t kIndexThreshold = 16;

// Least capacity of a heap array, when a container outgrows its inline entries.
constexpr std::uint32_t kInitialCapacity = 8;

}  // namespace

// Value -------------------------------------------------------------------------------------------

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Value& Value::operator=(Value&& other) noexcept {
    if (this != &other) {
        if (OwnsBlock()) Release();
        type_ = other.type_;
        std::memcpy(payload_, other.payload_, sizeof(payload_));
        other.type_ = ValueType::None;
    }
    return *this;
}

Value Value::String(std::string_view v) { return {ValueType::String, new std::string(v)}; }

Value Value::Nested(const vhost::Container& v) {
    return {ValueType::Container, new vhost::Container(v)};
}

Value Value::Nested(vhost::Container&& v) {
    return {ValueType::Container, new vhost::Container(std::move(v))};
}

Value Value::Custom(CustomData v) { return {kCustomTag, new CustomData(std::move(v))}; }

std::int32_t Value::TypeNumber() const {
    return type_ == kCustomTag ? Payload<const CustomData*>()->type
                               : static_cast<std::int32_t>(type_);
}

std::int32_t Value::AsInt32(std::int32_t preset) const {
    return type_ == ValueType::Int32 ? Payload<std::int32_t>() : preset;
}

const vhost::Container* Value::AsContainer() const {
    return type_ == ValueType::Container ? Payload<vhost::Container*>() : nullptr;
}

vhost::Container* Value::AsContainer() {
    return type_ == ValueType::Container ? Payload<vhost::Container*>() : nullptr;
}

std::int64_t Value::AsInt64(std::int64_t preset) const {
    return type_ == ValueType::Int64 ? Payload<std::int64_t>() : preset;
}

double Value::AsFloat(double preset) const {
    return type_ == ValueType::Float ? Payload<double>() : preset;
}

std::string_view Value::AsString(std::string_view preset) const {
    return type_ == ValueType::String ? std::string_view(*Payload<const std::string*>()) : preset;
}

ObjectId Value::AsLink() const { return type_ == ValueType::Link ? Payload<ObjectId>() : 0; }

const CustomData* Value::AsCustom() const {
    return type_ == kCustomTag ? Payload<const CustomData*>() : nullptr;
}

bool Value::operator==(const Value& other) const {
    if (type_ != other.type_ || TypeNumber() != other.TypeNumber()) return false;
    if (type_ == kCustomTag) {
        return *Payload<const CustomData*>() == *other.Payload<const CustomData*>();
    }
    switch (type_) {
        case ValueType::None:
            return true;
        case ValueType::Int32:
            return AsInt32() == other.AsInt32();
        case ValueType::Int64:
            return AsInt64() == other.AsInt64();
        case ValueType::Float:
            return AsFloat() == other.AsFloat();
        case ValueType::String:
            return AsString() == other.AsString();
        case ValueType::Link:
            return AsLink() == other.AsLink();
        case ValueType::Container:
            return *AsContainer() == *other.AsContainer();
    }
    return false;
}

void Value::Release() noexcept {
    switch (type_) {
        case ValueType::String:
            delete Payload<std::string*>();
            break;
        case ValueType::Container:
            delete Payload<vhost::Container*>();
            break;
        case ValueType::None:
        case ValueType::Int32:
        case ValueType::Int64:
        case ValueType::Float:
        case ValueType::Link:
            break;
    }
    if (type_ == kCustomTag) delete Payload<CustomData*>();
    type_ = ValueType::None;
}

void Value::CopyFrom(const Value& other) {
    switch (other.type_) {
        case ValueType::String:
            SetPayload(new std::string(other.AsString()));
            break;
        case ValueType::Container:
            SetPayload(new vhost::Container(*other.AsContainer()));
            break;
        case ValueType::None:
        case ValueType::Int32:
        case ValueType::Int64:
        case ValueType::Float:
        case ValueType::Link:
            std::memcpy(payload_, other.payload_, sizeof(payload_));
            break;
    }
    if (other.type_ == kCustomTag) {
        SetPayload(new CustomData(*other.Payload<const CustomData*>()));
    }
    type_ = other.type_;
}

// Block pool --------------------------------------------------------------------------------------

namespace {

// Fixed-size blocks for containers made with new, carved from aligned 64 KiB chunks. A block's
// chunk is found from its address; each chunk keeps its own free list and count of live blocks,
// and a chunk whose blocks are all free again is given back (one empty chunk is kept for the next
// burst). Millions of records are then made and freed without the general allocator, next to one
// another in the order the walk makes them.
//
// A container is destroyed on the thread that made it (every host thread keeps its documents to
// itself). A thread that ends gives back its empty chunk; a chunk that still held live blocks
// would stay with them.
class BlockPool {
public:
    static constexpr std::size_t kBlockBytes = sizeof(Container);
    static constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

    BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;
    ~BlockPool() {
        if (spare_ != nullptr && spare_->live == 0) {
            Unlist(spare_);
            VHOST_UNPOISON(spare_, kChunkBytes);
            ::operator delete (static_cast<void*>(spare_), std::align_val_t{kChunkBytes});
        }
    }

    // Blocks handed out and not yet given back, by this thread's pool.
    std::size_t LiveBlocks() const { return liveBlocks_; }

    void* Allocate() {
        ++liveBlocks_;
        Chunk* chunk = withRoom_ != nullptr ? withRoom_ : NewChunk();
        void* block = chunk->Take();
        if (!chunk->HasRoom()) Unlist(chunk);
        return block;
    }

    static void Release(void* block) noexcept {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): a block's chunk is its aligned start
        auto* chunk = reinterpret_cast<Chunk*>(reinterpret_cast<std::uintptr_t>(block) &
                                               ~(std::uintptr_t{kChunkBytes} - 1));
        BlockPool& owner = *chunk->owner;
        --owner.liveBlocks_;
        const bool hadRoom = chunk->HasRoom();
        chunk->Give(block);
        if (!hadRoom) owner.List(chunk);
        if (chunk->live == 0) owner.Retire(chunk);
    }

private:
    struct FreeBlock {
        FreeBlock* next;
    };

    // The chunk's header fills its first block.
    struct Chunk {
        BlockPool* owner;
        Chunk* prev;
        Chunk* next;
        FreeBlock* free;
        std::uint32_t live;
        std::uint32_t carved;  // blocks handed out at least once, after the header

        static constexpr std::uint32_t kBlocks = kChunkBytes / kBlockBytes;

        bool HasRoom() const { return free != nullptr || carved < kBlocks; }
        // A free block is poisoned for AddressSanitizer but for its link.
        void* Take() {
            ++live;
            if (free != nullptr) {
                FreeBlock* block = free;
                free = block->next;
                VHOST_UNPOISON(block, kBlockBytes);
                return block;
            }
            void* block = reinterpret_cast<std::byte*>(this) + kBlockBytes * carved++;
            VHOST_UNPOISON(block, kBlockBytes);
            return block;
        }
        void Give(void* block) {
            --live;
            free = new (block) FreeBlock{free};
            VHOST_POISON(reinterpret_cast<std::byte*>(block) + sizeof(FreeBlock),
                         kBlockBytes - sizeof(FreeBlock));
        }
    };
    static_assert(sizeof(Chunk) <= kBlockBytes);

    Chunk* NewChunk() {
        void* memory = ::operator new (kChunkBytes, std::align_val_t{kChunkBytes});
        auto* chunk = new (memory) Chunk{this, nullptr, nullptr, nullptr, 0, 1};
        VHOST_POISON(static_cast<std::byte*>(memory) + kBlockBytes, kChunkBytes - kBlockBytes);
        List(chunk);
        return chunk;
    }

    void List(Chunk* chunk) {
        chunk->prev = nullptr;
        chunk->next = withRoom_;
        if (withRoom_ != nullptr) withRoom_->prev = chunk;
        withRoom_ = chunk;
    }

    void Unlist(Chunk* chunk) {
        (chunk->prev != nullptr ? chunk->prev->next : withRoom_) = chunk->next;
        if (chunk->next != nullptr) chunk->next->prev = chunk->prev;
        chunk->prev = nullptr;
        chunk->next = nullptr;
    }

    // Keeps one empty chunk and gives back any other.
    void Retire(Chunk* chunk) {
        if (spare_ == nullptr) {
            spare_ = chunk;
            return;
        }
        if (spare_ == chunk) return;
        Unlist(chunk);
        VHOST_UNPOISON(chunk, kChunkBytes);
        ::operator delete (static_cast<void*>(chunk), std::align_val_t{kChunkBytes});
    }

    Chunk* withRoom_ = nullptr;  // chunks with a free block, the one used last first
    Chunk* spare_ = nullptr;     // an empty chunk kept rather than given back
    std::size_t liveBlocks_ = 0;
};

thread_local BlockPool t_pool;

}  // namespace

// Container ---------------------------------------------------------------------------------------

void* Container::operator new(std::size_t size) {
    static_assert(sizeof(Container) == BlockPool::kBlockBytes);
    static_cast<void>(size);  // always sizeof(Container): the class is final
    return t_pool.Allocate();
}

std::size_t Container::PooledBytes() { return t_pool.LiveBlocks() * BlockPool::kBlockBytes; }

void Container::operator delete(void* block) noexcept {
    if (block != nullptr) BlockPool::Release(block);
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
