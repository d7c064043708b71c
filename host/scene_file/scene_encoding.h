// How a scene file spells what is not plain JSON, shared by the reader and the writer: numbers
// as the shortest text that reads back the same, floats JSON has no numbers for, custom data as
// base64, and object types by their token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/object_types.h"
#include "text/json_text.h"
#include "vela_host/host_containers.h"

namespace vhost::scene_file {

// Custom data type ids begin here; a scene file holds none below it.
inline constexpr std::int32_t kFirstCustomType = HOST_TYPE_CUSTOM_FIRST;

// The object types the host knows by name; others are written as their number.
const ObjectTypes& KnownTypes();

template <typename Number>
std::string NumberText(Number value) {
    std::string out;
    AppendNumber(out, value);
    return out;
}

// Floats: the shortest text that reads back as the same number, always with a point or an
// exponent so a reader sees a float; values JSON has no numbers for are strings.
void AppendFloat(std::string& out, double value);

void AppendBase64(std::string& out, const std::vector<std::byte>& bytes);

// Strict base64: padded to a multiple of four, no whitespace, unused bits zero. Null otherwise.
std::optional<std::vector<std::byte>> DecodeBase64(std::string_view text);

}  // namespace vhost::scene_file
