// The host's containers: records of typed values keyed by 32-bit ids.
//
// Every document, object, plug-in record, shortcut and the preferences carry one. The module
// reaches them only through the container area of the interface table; the host's own code (scene
// files, the command line, tests) uses this class directly.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vela_host/host_containers.h"

namespace vhost {

class Container;

// The type numbers the interface reports (HOST_TYPE_*).
enum class ValueType : std::int32_t {
    None = HOST_TYPE_NONE,
    Int64 = HOST_TYPE_INT64,
    Int32 = HOST_TYPE_INT32,
    Float = HOST_TYPE_FLOAT,
    String = HOST_TYPE_STRING,
    Container = HOST_TYPE_CONTAINER,
    Link = HOST_TYPE_LINK,
    // Custom data types report their registered id (HOST_TYPE_CUSTOM_FIRST and above).
};

// Stable id of an object, unique within a host session and kept in scene files. 0 is no object.
using ObjectId = std::uint64_t;

// Custom data: a registered type id and the bytes of its record.
struct CustomData {
    std::int32_t type = 0;
    std::vector<std::byte> record;
    bool operator==(const CustomData&) const = default;
};

// One value of any type the containers hold, or nothing. Copies are deep.
//
// Twelve bytes, aligned to four: a type and an eight-byte payload (a number, or the address of the
// block that holds a text, a nested container or custom data), read and written with memcpy. With
// its key, an entry of a container takes sixteen bytes.
class Value {
public:
    Value() = default;
    ~Value() {
        if (OwnsBlock()) Release();
    }
    Value(const Value& other) {
        if (other.OwnsBlock()) {
            CopyFrom(other);
            return;
        }
        type_ = other.type_;
        std::memcpy(payload_, other.payload_, sizeof(payload_));
    }
    Value(Value&& other) noexcept : type_(other.type_) {
        std::memcpy(payload_, other.payload_, sizeof(payload_));
        other.type_ = ValueType::None;
    }
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;

    static Value Int32(std::int32_t v) { return Value(ValueType::Int32, v); }
    static Value Int64(std::int64_t v) { return Value(ValueType::Int64, v); }
    static Value Float(double v) { return Value(ValueType::Float, v); }
    static Value String(std::string_view v);
    static Value Link(ObjectId v) { return Value(ValueType::Link, v); }
    static Value Nested(const vhost::Container& v);
    static Value Nested(vhost::Container&& v);
    static Value Custom(CustomData v);

    // The interface's type number; custom data answers its type id.
    std::int32_t TypeNumber() const;
    bool IsEmpty() const { return type_ == ValueType::None; }

    // Typed reads: the preset when the value holds another type.
    std::int32_t AsInt32(std::int32_t preset = 0) const;
    std::int64_t AsInt64(std::int64_t preset = 0) const;
    double AsFloat(double preset = 0.0) const;
    std::string_view AsString(std::string_view preset = {}) const;
    ObjectId AsLink() const;                      // 0 unless a link
    const vhost::Container* AsContainer() const;  // null unless a container
    vhost::Container* AsContainer();
    const CustomData* AsCustom() const;  // null unless custom data

    // Makes this value the Int32 `v`, in place.
    void AssignInt32(std::int32_t v) {
        if (OwnsBlock()) Release();
        type_ = ValueType::Int32;
        SetPayload(v);
    }

    bool operator==(const Value& other) const;

private:
    // Containers copy, compare and destroy their nested containers without recursion, so they
    // reach into the payload directly.
    friend class Container;

    template <typename T>
    Value(ValueType type, T payload) : type_(type) {
        SetPayload(payload);
    }
    // T is a number or a pointer; for a pointer, the payload holds the pointer itself.
    // NOLINTBEGIN(bugprone-sizeof-expression)
    template <typename T>
    T Payload() const {
        static_assert(sizeof(T) <= sizeof(payload_));
        T v;
        std::memcpy(&v, payload_, sizeof(v));
        return v;
    }
    template <typename T>
    void SetPayload(T v) {
        static_assert(sizeof(T) <= sizeof(payload_));
        std::memcpy(payload_, &v, sizeof(v));
    }
    // NOLINTEND(bugprone-sizeof-expression)
    // Texts, nested containers and custom data live in blocks of their own.
    bool OwnsBlock() const {
        return type_ == ValueType::String || type_ == ValueType::Container ||
               static_cast<std::int32_t>(type_) >= HOST_TYPE_CUSTOM_FIRST;
    }
    void Release() noexcept;
    void CopyFrom(const Value& other);

    ValueType type_ = ValueType::None;
    std::uint32_t payload_[2] = {};
};

// A container. Its first member is the reference slot the interface hands out for in-place access
// (HostContainerRef); it always names this container, also after copies and moves.
//
// Up to three entries are kept inside the container itself, so a record (three keys) and the data
// of most objects need no block of their own, and a nested record is one block of 64 bytes. More
// entries move to one heap array; past 16 keys a hash index is kept beside it.
class Container final {
public:
    // Entries in insertion order.
    struct Entry {
        std::int32_t key;
        Value value;
    };

    // The inline entries are left unconstructed: each is made when a key is added.
    explicit Container(std::int32_t id = 0)  // NOLINT(cppcoreguidelines-pro-type-member-init)
        : ref_{reinterpret_cast<HostContainer*>(this)}, id_(id) {}
    Container(const Container& other);
    Container(Container&& other) noexcept;
    Container& operator=(const Container& other);
    Container& operator=(Container&& other) noexcept;
    ~Container() {
        if (size_ != 0 || onHeap_) DestroyEntries();
    }

    // Containers made with new come from a pool of 64-byte blocks of the thread that makes them
    // (nested containers, records, and the table's containers); they must be deleted on that
    // thread too, as the host's main thread does.
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;
    // Bytes of the pool's blocks in use on this thread: the host's own account of its
    // containers made with new.
    static std::size_t PooledBytes();

    std::int32_t Id() const { return id_; }
    void SetId(std::int32_t id) { id_ = id; }

    // The interface's views of this container.
    // Non-const: the handle lets the interface change this container.
    // NOLINTNEXTLINE(readability-make-member-function-const)
    HostContainer* Handle() { return ref_.container; }
    HostContainerRef* Ref() { return &ref_; }
    static Container* FromHandle(HostContainer* handle) {
        return reinterpret_cast<Container*>(handle);
    }
    static const Container* FromHandle(const HostContainer* handle) {
        return reinterpret_cast<const Container*>(handle);
    }

    std::int32_t Count() const { return static_cast<std::int32_t>(size_); }
    bool Has(std::int32_t key) const;
    std::int32_t TypeOf(std::int32_t key) const;  // 0 when absent
    const Value* Find(std::int32_t key) const;
    Value* Find(std::int32_t key);
    void Set(std::int32_t key, Value value);
    bool Remove(std::int32_t key);
    void Clear();

    std::int32_t GetInt32(std::int32_t key, std::int32_t preset = 0) const;
    void SetInt32(std::int32_t key, std::int32_t v);
    bool GetBool(std::int32_t key, bool preset = false) const;
    void SetBool(std::int32_t key, bool v) { SetInt32(key, v ? 1 : 0); }  // stored as Int32 1 or 0
    std::int64_t GetInt64(std::int32_t key, std::int64_t preset = 0) const;
    void SetInt64(std::int32_t key, std::int64_t v);
    double GetFloat(std::int32_t key, double preset = 0.0) const;
    void SetFloat(std::int32_t key, double v);
    std::string_view GetString(std::int32_t key, std::string_view preset = {}) const;
    void SetString(std::int32_t key, std::string_view v);
    ObjectId GetLink(std::int32_t key) const;  // 0 when absent or not a link
    void SetLink(std::int32_t key, ObjectId target);
    Container* GetContainerInstance(std::int32_t key);
    const Container* GetContainerInstance(std::int32_t key) const;
    void SetContainer(std::int32_t key, const Container& value);

    // Entries in insertion order, for saving and listing. Valid until the container next changes.
    std::span<const Entry> Entries() const { return {Data(), size_}; }

    bool operator==(
        const Container& other) const;  // same id, same keys with equal values, any order

    // Whether this container holds scene state: a document's or an object's data container, or a
    // container nested in one that the interface has handed out in place. The host counts writes
    // to such containers as scene changes. Copies and moves do not carry the mark; assignment
    // keeps the target's.
    bool IsSceneData() const { return sceneData_; }
    void SetSceneData(bool sceneData) { sceneData_ = sceneData; }

private:
    struct KeyIndex;  // key -> position, kept only for large containers

    static constexpr std::uint32_t kInlineEntries = 3;

    // The entries when there are more than fit inside.
    struct HeapEntries {
        Entry* entries;
        std::uint32_t capacity;
        KeyIndex* index;
    };

    Entry* Data() { return onHeap_ ? heap_.entries : InlineEntries(); }
    const Entry* Data() const { return onHeap_ ? heap_.entries : InlineEntries(); }
    Entry* InlineEntries() { return std::launder(reinterpret_cast<Entry*>(inline_)); }
    const Entry* InlineEntries() const {
        return std::launder(reinterpret_cast<const Entry*>(inline_));
    }
    std::uint32_t Capacity() const { return onHeap_ ? heap_.capacity : kInlineEntries; }

    Entry* FindEntry(std::int32_t key);
    static constexpr std::uint32_t kNoPosition = ~std::uint32_t{0};
    std::uint32_t PositionOf(std::int32_t key) const;
    [[gnu::noinline]] std::uint32_t IndexedPositionOf(std::int32_t key) const;
    void Append(std::int32_t key, Value&& value);
    void Grow();
    void TakeEntriesFrom(Container& other) noexcept;
    bool HoldsOnlyPlainValues() const;
    void CopyEntriesFrom(const Container& source);
    void DestroyEntries() noexcept;
    void ReleaseStorage() noexcept;
    void RebuildIndex();

    HostContainerRef ref_;
    std::int32_t id_;
    std::uint32_t size_ : 30 = 0;
    std::uint32_t onHeap_ : 1 = 0;
    std::uint32_t sceneData_ : 1 = 0;
    union {
        alignas(Entry) std::byte inline_[kInlineEntries * sizeof(Entry)];
        HeapEntries heap_;
    };
};

static_assert(sizeof(Value) == 12);
static_assert(sizeof(Container::Entry) == 16);
static_assert(sizeof(Container) == 64);

}  // namespace vhost
