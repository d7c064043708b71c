// The values containers hold: numbers and links in place, texts, nested containers and custom data
// in blocks of their own.
#include <cstring>
#include <string>
#include <utility>

#include "model/container.h"

namespace vhost {

namespace {

// Custom data is kept under this tag; TypeNumber answers the record's own type id instead.
constexpr auto kCustomTag = static_cast<ValueType>(HOST_TYPE_CUSTOM_FIRST);

}  // namespace

Value& Value::operator=(const Value& other) {
    if (this != &other) *this = Value(other);
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

// Only a value that owns a block is released: a text, a nested container or custom data.
void Value::Release() noexcept {
    if (type_ == ValueType::String) {
        delete Payload<std::string*>();
    } else if (type_ == ValueType::Container) {
        delete Payload<vhost::Container*>();
    } else {
        delete Payload<CustomData*>();
    }
    type_ = ValueType::None;
}

// Only a value that owns a block is copied so: its block is copied too. The blocks are read
// straight from the payload, which such a value always holds (AsCustom and AsContainer answer
// null for other types, which some compilers cannot rule out here and warn of).
void Value::CopyFrom(const Value& other) {
    if (other.type_ == ValueType::String) {
        SetPayload(new std::string(*other.Payload<const std::string*>()));
    } else if (other.type_ == ValueType::Container) {
        SetPayload(new vhost::Container(*other.Payload<const vhost::Container*>()));
    } else {
        SetPayload(new CustomData(*other.Payload<const CustomData*>()));
    }
    type_ = other.type_;
}

}  // namespace vhost
