// Every combination of qualifier keys, pressed on one scene that holds every kind of object the
// command treats differently, and then the way back with a plain press.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "support/expected_states.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {
namespace {

// How an object ends up in the isolation.
enum class Role {
    Hidden,    // neither selected nor needed by a selected object
    Chosen,    // selected by the user
    PulledIn,  // selected by the command: below a selected input generator, or the later object a
               // selected instance refers to, with its descendants
    Revealed,  // the earlier object a selected instance refers to, with its descendants: shown, not
               // selected
};

struct Piece {
    const char* name;
    std::int32_t type;
    const char* parent;
    Role role;
};

// In tree order; every parent comes before its children.
constexpr Piece kScene[] = {
    {"Stage", kNull, nullptr, Role::Hidden},
    {"Floor", kPolygon, "Stage", Role::Chosen},
    {"Floor Detail", kPolygon, "Floor", Role::Hidden},
    {"Lamp", kLight, "Stage", Role::Hidden},
    {"Earlier Target", kNull, nullptr, Role::Revealed},
    {"Earlier Leaf", kCube, "Earlier Target", Role::Revealed},
    {"Earlier Leaf Child", kNull, "Earlier Leaf", Role::Revealed},
    {"Beside Earlier Target", kNull, nullptr, Role::Hidden},
    {"Smooth", kSubdivision, nullptr, Role::Chosen},
    {"Cage", kPolygon, "Smooth", Role::PulledIn},
    {"Cage Detail", kNull, "Cage", Role::PulledIn},
    {"Cage Two", kPolygon, "Smooth", Role::PulledIn},
    {"Mirror", kSymmetry, nullptr, Role::Hidden},
    {"Half", kPolygon, "Mirror", Role::Hidden},
    {"Box", kCube, nullptr, Role::Chosen},
    {"Box Child", kSphere, "Box", Role::Hidden},
    {"Box Child Chosen", kPolygon, "Box", Role::Chosen},
    {"Points At Later", kInstance, nullptr, Role::Chosen},
    {"Points At Earlier", kInstance, nullptr, Role::Chosen},
    {"Points Nowhere", kInstance, nullptr, Role::Chosen},
    {"Later Target", kNull, nullptr, Role::PulledIn},
    {"Later Leaf", kSphere, "Later Target", Role::PulledIn},
    {"Beside Later Target", kPolygon, nullptr, Role::Hidden},
    {"Group", kNull, nullptr, Role::Hidden},
    {"Subgroup", kNull, "Group", Role::Hidden},
    {"Deep", kPolygon, "Subgroup", Role::Chosen},
    {"Deep Child", kNull, "Deep", Role::Hidden},
    {"Deep Sibling", kPolygon, "Subgroup", Role::Chosen},
    {"Stranger", kUnknownType, nullptr, Role::Chosen},
    {"Stranger Child", kNull, "Stranger", Role::Hidden},
    {"Last Lamp", kLight, nullptr, Role::Hidden},
};

// Gives the objects, in turn, every combination of editor mode, render mode and enabled state.
States CycledStates(std::size_t index) {
    return States{static_cast<Mode>(index % 3), static_cast<Mode>((index / 3) % 3),
                  (index / 9) % 2 == 0};
}

class QualifierVariants : public PluginTest,
                          public ::testing::WithParamInterface<std::tuple<std::int32_t, bool>> {
protected:
    void SetUp() override {
        StartSession({.createSettings = true, .keepOption = std::get<1>(GetParam())});
        if (HasFatalFailure()) return;
        std::unordered_map<std::string, vhost::Object*> byName;
        std::size_t index = 0;
        for (const Piece& piece : kScene) {
            vhost::Object* parent = piece.parent != nullptr ? byName.at(piece.parent) : nullptr;
            vhost::Object& object = AddObject(Doc(), piece.type, piece.name, parent,
                                              CycledStates(index++), piece.role == Role::Chosen);
            byName[piece.name] = &object;
            objects_.push_back(&object);
        }
        LinkInstance(*byName.at("Points At Later"), byName.at("Later Target"));
        LinkInstance(*byName.at("Points At Earlier"), byName.at("Earlier Target"));
        LinkInstance(*byName.at("Points Nowhere"), nullptr);
    }

    std::vector<vhost::Object*> objects_;  // in the order of kScene
};

TEST_P(QualifierVariants, IsolatesByTheKeysHeldAndAPlainPressGivesEverythingBack) {
    const std::int32_t mask = std::get<0>(GetParam());
    const Flags& flags = FlagsOf(mask);
    const std::vector<vhost::Object*> treeOrder = AllObjects(Doc());
    ASSERT_EQ(treeOrder, objects_) << "the scene table is not in tree order";

    std::vector<States> before;
    for (const vhost::Object* object : objects_) before.push_back(StatesOf(*object));
    ASSERT_EQ(State(), kNotIsolated);

    ASSERT_TRUE(Press(mask));

    EXPECT_EQ(State(), kIsolated);
    EXPECT_EQ(DocumentRecordOf(Doc()), (DocumentRecord{1, flags.enabled}));
    for (std::size_t i = 0; i < objects_.size(); ++i) {
        const vhost::Object& object = *objects_[i];
        const Piece& piece = kScene[i];
        SCOPED_TRACE(piece.name);
        States expected;
        switch (piece.role) {
            case Role::Hidden:
                expected = Hidden(before[i], flags);
                break;
            case Role::Chosen:
            case Role::PulledIn:
                expected = Shown(before[i], flags);
                break;
            case Role::Revealed:
                expected = RevealedAfterHiding(before[i], flags);
                break;
        }
        EXPECT_EQ(StatesOf(object), expected);
        EXPECT_EQ(object.Selected(), piece.role == Role::Chosen || piece.role == Role::PulledIn);
        EXPECT_EQ(RecordOf(object), RecordOfStates(before[i]));
    }

    ASSERT_TRUE(Press(0));

    EXPECT_EQ(State(), kNotIsolated);
    EXPECT_FALSE(Doc().Data().Has(kCommandId));
    for (std::size_t i = 0; i < objects_.size(); ++i) {
        const vhost::Object& object = *objects_[i];
        const Piece& piece = kScene[i];
        SCOPED_TRACE(piece.name);
        EXPECT_EQ(StatesOf(object), before[i]);
        EXPECT_FALSE(object.Data().Has(kCommandId));
        // What the isolation selected stays selected.
        EXPECT_EQ(object.Selected(), piece.role == Role::Chosen || piece.role == Role::PulledIn);
    }
}

INSTANTIATE_TEST_SUITE_P(AllKeyCombinations, QualifierVariants,
                         ::testing::Combine(::testing::Range(0, 8), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<std::int32_t, bool>>& param) {
                             return MaskName(std::get<0>(param.param)) +
                                    (std::get<1>(param.param) ? "_OptionOn" : "_OptionOff");
                         });

}  // namespace
}  // namespace velatest
