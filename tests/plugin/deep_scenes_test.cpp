// Scenes far larger than a person builds by hand: a hierarchy 100,000 levels deep and 100,000
// objects side by side. They isolate and restore like small ones.

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {
namespace {

constexpr std::size_t kCount = 100000;

States CycledStates(std::size_t index) {
    return States{static_cast<Mode>(index % 3), static_cast<Mode>((index / 3) % 3),
                  (index / 9) % 2 == 0};
}

constexpr States kShown{Mode::On, Mode::On, true};
constexpr States kHidden{Mode::Off, Mode::Off, false};

class DeepScenes : public PluginTest {
protected:
    // Isolates with Ctrl+Alt, checks every object against `shown` and its record against its
    // states from before, then restores and checks that every object has those states back and no
    // record is left.
    void IsolateAndRestore(const std::vector<vhost::Object*>& objects,
                           const std::vector<bool>& shown) {
        std::vector<States> before;
        before.reserve(objects.size());
        for (const vhost::Object* object : objects) before.push_back(StatesOf(*object));

        ASSERT_TRUE(Press(kCtrl | kAlt));
        ASSERT_EQ(State(), kIsolated);
        std::size_t wrongStates = 0;
        std::size_t wrongRecords = 0;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (StatesOf(*objects[i]) != (shown[i] ? kShown : kHidden)) ++wrongStates;
            if (RecordOf(*objects[i]) != RecordOfStates(before[i])) ++wrongRecords;
        }
        EXPECT_EQ(wrongStates, 0U);
        EXPECT_EQ(wrongRecords, 0U);

        ASSERT_TRUE(Press());
        EXPECT_EQ(State(), kNotIsolated);
        EXPECT_FALSE(Doc().Data().Has(kCommandId));
        std::size_t notRestored = 0;
        std::size_t recordsLeft = 0;
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (StatesOf(*objects[i]) != before[i]) ++notRestored;
            if (objects[i]->Data().Has(kCommandId)) ++recordsLeft;
        }
        EXPECT_EQ(notRestored, 0U);
        EXPECT_EQ(recordsLeft, 0U);
    }

    // A chain of kCount objects, each the only child of the one before.
    std::vector<vhost::Object*> BuildChain(std::int32_t topType, std::int32_t levelType = kNull) {
        std::vector<vhost::Object*> chain;
        chain.reserve(kCount);
        vhost::Object* parent = nullptr;
        for (std::size_t i = 0; i < kCount; ++i) {
            parent = &AddObject(Doc(), i == 0 ? topType : levelType, "Level " + std::to_string(i),
                                parent, CycledStates(i));
            chain.push_back(parent);
        }
        return chain;
    }
};

TEST_F(DeepScenes, AChainOfAHundredThousandLevelsShowsOnlyItsSelectedLevel) {
    const std::vector<vhost::Object*> chain = BuildChain(kNull);
    const std::size_t chosen = kCount / 2;
    chain[chosen]->SetBit(vhost::kBitActive);
    std::vector<bool> shown(kCount, false);
    shown[chosen] = true;

    IsolateAndRestore(chain, shown);
}

TEST_F(DeepScenes, AChainUnderAnInputGeneratorWithAnInstanceOfItsTopAtTheBottom) {
    std::vector<vhost::Object*> chain = BuildChain(kSubdivision);
    chain.front()->SetBit(vhost::kBitActive);
    vhost::Object& bottom = AddObject(Doc(), kInstance, "Bottom", chain.back(), {});
    LinkInstance(bottom, chain.front());
    chain.push_back(&bottom);

    IsolateAndRestore(chain, std::vector<bool>(chain.size(), true));
    std::size_t unselected = 0;
    for (const vhost::Object* object : chain) {
        if (!object->Selected()) ++unselected;
    }
    EXPECT_EQ(unselected, 0U);
}

// Every level selects all levels below it; a walk that selected them again at every level would
// take on the order of kCount squared steps.
TEST_F(DeepScenes, AChainOfInputGeneratorsSelectsAndShowsEveryLevel) {
    std::vector<vhost::Object*> chain = BuildChain(kSubdivision, kSubdivision);
    chain.front()->SetBit(vhost::kBitActive);

    IsolateAndRestore(chain, std::vector<bool>(chain.size(), true));
    std::size_t unselected = 0;
    for (const vhost::Object* object : chain) {
        if (!object->Selected()) ++unselected;
    }
    EXPECT_EQ(unselected, 0U);
}

TEST_F(DeepScenes, AHundredThousandSiblingsWithAnInstanceOfTheFirstAtTheEnd) {
    std::vector<vhost::Object*> siblings;
    std::vector<bool> shown;
    siblings.reserve(kCount + 1);
    for (std::size_t i = 0; i < kCount; ++i) {
        const bool selected = i % 7 == 3;
        siblings.push_back(&AddObject(Doc(), i % 5 == 0 ? kCube : kPolygon,
                                      "Sibling " + std::to_string(i), nullptr, CycledStates(i),
                                      selected));
        shown.push_back(selected || i == 0);
    }
    vhost::Object& last = AddObject(Doc(), kInstance, "Last", nullptr, {}, true);
    LinkInstance(last, siblings.front());
    siblings.push_back(&last);
    shown.push_back(true);

    IsolateAndRestore(siblings, shown);
}

}  // namespace
}  // namespace velatest
