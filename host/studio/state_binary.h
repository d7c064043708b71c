// The whole state as GET /api/state answers it: a binary body whose header is the state's other
// members as JSON and whose object table is typed arrays, so that a scene of 10^6 objects is a
// few tens of megabytes and the page reads its columns without parsing them (docs/studio.md,
// "The whole state").
//
//   "VST1"  u32 L  L bytes of JSON  zeros up to a multiple of 8  the columns
//
// Numbers are little-endian. The JSON is an object with the state's members and `objects`:
// {count, types, modes, flags, columns}, where each column is {name, type, offset, length}: its
// type one of u8, u16, u32, i32, f64, its offset in bytes from the first column (a multiple of 8)
// and its length in values.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "studio/state_json.h"

namespace vhost::studio {

inline constexpr const char* kStateContentType = "application/vnd.vela.state";

// The name a type number is sent as.
using TypeNameOf = std::function<std::string(std::int32_t type)>;

// The whole state of the studio's host, as GET /api/state answers it.
std::string WholeStateBody(const StateSources& sources, std::uint64_t version);

// The body for the members `membersJson` (a JSON object's text, without `objects`) and the
// objects: `shapes` and `states` at the same index, in the object manager's order.
std::string EncodeWholeState(std::string_view membersJson, const std::vector<ObjectShape>& shapes,
                             const std::vector<ObjectStates>& states, const TypeNameOf& typeName);

// A body read back, for programs that read the state (tests, benchmarks, the fuzz target).
// NOLINTNEXTLINE(bugprone-exception-escape): nlohmann's members may throw only when out of memory
struct DecodedState {
    nlohmann::json members;  // every member of the state but `objects`
    std::vector<std::string> typeNames;
    std::vector<ObjectShape> shapes;  // `type` is an index into typeNames
    std::vector<ObjectStates> states;
};

class StateFormError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws StateFormError, with a sentence, for a body that is not of the form above.
DecodedState DecodeWholeState(std::string_view body);

// The state as one JSON document, each object with the members the page's objectAt gives:
// id, parent (0 at the top level), type, the states, and transform (column-major 4x4), mesh and
// link when the object has them.
nlohmann::json WholeStateJson(const DecodedState& state);

}  // namespace vhost::studio
