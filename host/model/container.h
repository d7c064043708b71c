// The host's containers: records of typed values keyed by 32-bit ids.
//
// Every document, object, plug-in record, shortcut and the preferences carry one. The module
// reaches them only through the container area of the interface table; the host's own code (scene
// files, the command line, tests) uses this class directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host_api/table/host_abi.h"

namespace vhost {

class Container;

// The type numbers the interface reports (HOST_TYPE_*).
enum class ValueType : std::int32_t {
    None = 0,
    Int64 = 3,
    Int32 = 15,
    Float = 19,
    String = 130,
    Container = 132,
    Link = 133,
    // Custom data types report their registered id (1000000 and above).
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
class Value {
public:
    Value() = default;
    ~Value();
    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;

    static Value Int32(std::int32_t v);
    static Value Int64(std::int64_t v);
    static Value Float(double v);
    static Value String(std::string_view v);
    static Value Link(ObjectId v);
    static Value Nested(const vhost::Container& v);
    static Value Nested(vhost::Container&& v);
    static Value Custom(CustomData v);

    // The interface's type number; custom data answers its type id.
    std::int32_t TypeNumber() const;
    bool IsEmpty() const;

    // Typed reads: the preset when the value holds another type.
    std::int32_t AsInt32(std::int32_t preset = 0) const;
    std::int64_t AsInt64(std::int64_t preset = 0) const;
    double AsFloat(double preset = 0.0) const;
    std::string_view AsString(std::string_view preset = {}) const;
    ObjectId AsLink() const;                      // 0 unless a link
    const vhost::Container* AsContainer() const;  // null unless a container
    vhost::Container* AsContainer();
    const CustomData* AsCustom() const;  // null unless custom data

    bool operator==(const Value& other) const;

private:
    // Containers copy, compare and destroy their nested containers without recursion, so they
    // reach into the union directly.
    friend class Container;
    ValueType type_ = ValueType::None;
    std::int32_t customType_ = 0;
    union {
        std::int32_t i32;
        std::int64_t i64;
        double f64;
        ObjectId link;
        std::string* text;
        vhost::Container* nested;
        CustomData* custom;
    } u_{};
    void Release() noexcept;
    void CopyFrom(const Value& other);
};

// A container. Its first member is the reference slot the interface hands out for in-place access
// (HostContainerRef); it always names this container, also after copies and moves.
class Container {
public:
    explicit Container(std::int32_t id = 0);
    Container(const Container& other);
    Container(Container&& other) noexcept;
    Container& operator=(const Container& other);
    Container& operator=(Container&& other) noexcept;
    ~Container();

    std::int32_t Id() const { return id_; }
    void SetId(std::int32_t id) { id_ = id; }

    // The interface's views of this container.
    HostContainer* Handle() { return ref_.container; }
    HostContainerRef* Ref() { return &ref_; }
    static Container* FromHandle(HostContainer* handle);
    static const Container* FromHandle(const HostContainer* handle);

    std::int32_t Count() const;
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
    void SetBool(std::int32_t key, bool v);  // stored as Int32 1 or 0
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

    // Entries in insertion order, for saving and listing.
    struct Entry {
        std::int32_t key;
        Value value;
    };
    const std::vector<Entry>& Entries() const { return entries_; }

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

    void CopyEntriesFrom(const Container& source);
    void DestroyEntries() noexcept;
    std::size_t PositionOf(std::int32_t key) const;
    void RebuildIndex();

    HostContainerRef ref_;
    std::int32_t id_;
    bool sceneData_ = false;
    std::vector<Entry> entries_;
    std::unique_ptr<KeyIndex> index_;
};

}  // namespace vhost
