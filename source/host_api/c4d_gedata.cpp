#include "c4d_gedata.h"

#include "host_interface.h"

using hostapi::HostInterface;

namespace {
const HostContainerArea& Area() { return *HostInterface::Table()->containers; }
}  // namespace

GeData::GeData() : HostValueRef{Area().value_create(HostInterface::Table())} {}

GeData::GeData(Int32 number) : GeData() { SetInt32(number); }

GeData::~GeData() { Area().value_destroy(HostInterface::Table(), value); }

GeData::GeData(const GeData& other) : GeData() {
    Area().value_assign(HostInterface::Table(), value, other.value);
}

GeData& GeData::operator=(const GeData& other) {
    if (this != &other) {
        Area().value_assign(HostInterface::Table(), value, other.value);
    }
    return *this;
}

Int32 GeData::GetType() const {
    return value != nullptr ? Area().value_get_type(HostInterface::Table(), value) : 0;
}

void GeData::Free() {
    if (value != nullptr) {
        Area().value_clear(HostInterface::Table(), value);
    }
}

Int32 GeData::GetInt32() const {
    return value != nullptr ? Area().value_get_int32(HostInterface::Table(), value) : 0;
}

void GeData::SetInt32(Int32 number) {
    if (value != nullptr) {
        Area().value_set_int32(HostInterface::Table(), value, number);
    }
}

Float GeData::GetFloat() const {
    return value != nullptr ? Area().value_get_float(HostInterface::Table(), value) : 0.0;
}

void GeData::SetFloat(Float number) {
    if (value != nullptr) {
        Area().value_set_float(HostInterface::Table(), value, number);
    }
}

String GeData::GetString() const {
    if (value == nullptr) {
        return {};
    }
    return String(hostapi::ReadText([this](char* buffer, std::size_t capacity) {
        return Area().value_get_string(HostInterface::Table(), value, buffer, capacity);
    }));
}

void GeData::SetString(const String& text) {
    if (value != nullptr) {
        Area().value_set_string(HostInterface::Table(), value, hostapi::View(text.View()));
    }
}

void GeData::SetCustomDataType(Int32 type, const void* record, std::size_t size) {
    if (value != nullptr) {
        Area().value_set_custom(HostInterface::Table(), value, type, record, size);
    }
}
