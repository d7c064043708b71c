// The command on a scene imported from a real 3D file: every instance of the engine, isolated in
// turn, brings in the part it shows, and the next press gives every object its states back.
#include <string>

#include <gtest/gtest.h>

#include "import/scene_import.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"

namespace velatest {
namespace {

using ImportedScene = PluginTest;

constexpr const char* kEngine =
    "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";

TEST_F(ImportedScene, EachIsolatedInstanceBringsInItsPartAndEveryStateComesBack) {
    vhost::ImportedScene imported = vhost::ImportScene(kEngine);
    ASSERT_TRUE(imported.Ok()) << imported.error;
    Host().AdoptDocument(std::move(imported.document));
    // States of every kind, so a restore that wrote defaults would show.
    const Mode modes[] = {Mode::Default, Mode::On, Mode::Off};
    int index = 0;
    for (vhost::Object* object : AllObjects(Doc())) {
        SetStates(*object, {modes[index % 3], modes[(index / 3) % 3], index % 5 != 0});
        ++index;
    }
    const SceneView before = ViewOf(Doc());

    int instances = 0;
    for (vhost::Object* instance : AllObjects(Doc())) {
        if (instance->Type() != kInstance) continue;
        ++instances;
        const vhost::Object* part = Doc().FindById(instance->Data().GetLink(kInstanceLink));
        ASSERT_NE(part, nullptr) << instance->Name();
        Doc().DeselectAll();
        instance->SetBit(vhost::kBitActive);
        ASSERT_TRUE(Press()) << instance->Name();
        EXPECT_EQ(State(), kIsolated);
        EXPECT_EQ(StatesOf(*instance).editor, Mode::On) << instance->Name();
        EXPECT_EQ(StatesOf(*part).editor, Mode::On)
            << instance->Name() << " shows " << part->Name();
        EXPECT_TRUE(RecordOf(*part).has_value());

        ASSERT_TRUE(Press()) << instance->Name();
        EXPECT_EQ(State(), kNotIsolated);
        instance->DelBit(vhost::kBitActive);
        for (const vhost::Object* object : AllObjects(Doc())) {
            ASSERT_EQ(StatesOf(*object), before.at(object->Id()).states)
                << object->Name() << " after isolating " << instance->Name();
            ASSERT_FALSE(RecordOf(*object).has_value()) << object->Name();
        }
    }
    EXPECT_EQ(instances, 38);
}

}  // namespace
}  // namespace velatest
