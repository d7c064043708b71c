// The binary form of the studio's whole state, both ways. Random object tables (ids, parents,
// types, transforms with any bits, names with any bytes, every mode and flag) are encoded and
// must be read back as they were; the input's bytes, read as a body, are either read or refused
// with a StateFormError, never anything worse.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz_check.h"
#include "studio/state_binary.h"

namespace {

using vhost::Matrix;
using vhost::Mode;
using vhost::studio::ObjectShape;
using vhost::studio::ObjectStates;

double AnyNumber(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? input.ConsumeFloatingPoint<double>()
                               : static_cast<double>(input.ConsumeIntegralInRange(-2, 2));
}

Matrix AnyTransform(FuzzedDataProvider& input) {
    Matrix m;
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return m;
        case 1:
            m.v1 = {AnyNumber(input), AnyNumber(input), AnyNumber(input)};
            m.v2 = {AnyNumber(input), AnyNumber(input), AnyNumber(input)};
            m.v3 = {AnyNumber(input), AnyNumber(input), AnyNumber(input)};
            [[fallthrough]];
        default:
            m.off = {AnyNumber(input), AnyNumber(input), AnyNumber(input)};
            return m;
    }
}

Mode AnyMode(FuzzedDataProvider& input) {
    return input.PickValueInArray({Mode::On, Mode::Off, Mode::Default});
}

struct Table {
    std::vector<ObjectShape> shapes;
    std::vector<ObjectStates> states;
};

// Objects in the tree's order: each parent is an object before it, or none.
Table AnyTable(FuzzedDataProvider& input) {
    Table table;
    const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 64);
    const bool largeIds = input.ConsumeBool();
    for (std::size_t i = 0; i < count; ++i) {
        ObjectShape shape;
        shape.id = largeIds ? (std::uint64_t{1} << 40) + i : i + 1;
        if (i > 0 && input.ConsumeBool()) {
            shape.parent = table.shapes[input.ConsumeIntegralInRange<std::size_t>(0, i - 1)].id;
        }
        shape.type = input.ConsumeIntegralInRange<std::int32_t>(-3, 5);
        shape.mesh = input.ConsumeIntegralInRange<std::int64_t>(0, 4);
        shape.link = input.ConsumeBool() ? input.ConsumeIntegral<std::uint32_t>() : 0;
        ObjectStates states;
        states.name = input.ConsumeRandomLengthString(24);
        states.editor = AnyMode(input);
        states.render = AnyMode(input);
        states.enabled = input.ConsumeBool();
        states.selected = input.ConsumeBool();
        states.isolated = input.ConsumeBool();
        states.transform.matrix = AnyTransform(input);
        table.shapes.push_back(shape);
        table.states.push_back(states);
    }
    return table;
}

std::string TypeName(std::int32_t type) { return "type " + std::to_string(type); }

void CheckRoundTrip(FuzzedDataProvider& input) {
    const Table table = AnyTable(input);
    const std::string body = vhost::studio::EncodeWholeState(R"({"version":7,"console":[]})",
                                                             table.shapes, table.states, TypeName);
    const vhost::studio::DecodedState read = vhost::studio::DecodeWholeState(body);
    vfuzz::Require(
        read.members == nlohmann::json{{"version", 7}, {"console", nlohmann::json::array()}},
        "the members come back");
    vfuzz::Require(
        read.shapes.size() == table.shapes.size() && read.states.size() == table.states.size(),
        "every object comes back");
    for (std::size_t i = 0; i < table.shapes.size(); ++i) {
        ObjectShape shape = read.shapes[i];
        vfuzz::Require(read.typeNames.at(static_cast<std::size_t>(shape.type)) ==
                           TypeName(table.shapes[i].type),
                       "an object's type comes back by its name");
        shape.type = table.shapes[i].type;
        vfuzz::Require(shape == table.shapes[i], "an object's place and links come back");
        vfuzz::Require(read.states[i].name == table.states[i].name &&
                           read.states[i].editor == table.states[i].editor &&
                           read.states[i].render == table.states[i].render &&
                           read.states[i].enabled == table.states[i].enabled &&
                           read.states[i].selected == table.states[i].selected &&
                           read.states[i].isolated == table.states[i].isolated &&
                           read.states[i].transform == table.states[i].transform,
                       "an object's states come back");
    }
}

void CheckAnyBody(const std::uint8_t* data, std::size_t size) {
    try {
        static_cast<void>(vhost::studio::DecodeWholeState(
            std::string_view(reinterpret_cast<const char*>(data), size)));
    } catch (const vhost::studio::StateFormError&) {
        // A body not of the form is refused with a sentence: that is all it may do.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == 'V') {
        CheckAnyBody(data, size);
        return 0;
    }
    FuzzedDataProvider input(data, size);
    CheckRoundTrip(input);
    return 0;
}
