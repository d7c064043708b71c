// Writes the example scene examples/scenes/city.json: a city of a few thousand objects with the
// kinds of hierarchy production scenes have (nested groups, generators with children, instances
// of a shared tree, lights and cameras), built the same way every time.
#include <cstdint>
#include <iostream>
#include <string>

#include "model/object_types.h"
#include "model/scene.h"
#include "scene_file/scene_file.h"
#include "vela_host/host_objects.h"

namespace {

using vhost::Document;
using vhost::Mode;
using vhost::Object;
using vhost::Placement;

constexpr std::int32_t kNull = HOST_OBJECT_NULL;
constexpr std::int32_t kPolygon = HOST_OBJECT_POLYGON;
constexpr std::int32_t kCube = vhost::kObjectCube;
constexpr std::int32_t kSphere = vhost::kObjectSphere;
constexpr std::int32_t kCylinder = vhost::kObjectCylinder;
constexpr std::int32_t kPlane = vhost::kObjectPlane;
constexpr std::int32_t kLight = HOST_OBJECT_LIGHT;
constexpr std::int32_t kCamera = HOST_OBJECT_CAMERA;
constexpr std::int32_t kInstance = HOST_OBJECT_INSTANCE;
constexpr std::int32_t kSubdivision = vhost::kObjectSubdivision;
constexpr std::int32_t kCloner = vhost::kObjectCloner;
constexpr std::int32_t kExtrude = vhost::kObjectExtrude;
constexpr std::int32_t kInstanceLink = HOST_INSTANCE_LINK;

constexpr int kDistricts = 6;
constexpr int kBlocksPerDistrict = 8;
constexpr int kBuildingsPerBlock = 6;
constexpr int kFloorsPerBuilding = 5;

Object* Add(Document& document, std::int32_t type, const std::string& name, Object* parent) {
    return document.CreateObject(type, name, Placement{parent, nullptr});
}

// A tree that every street instances: a trunk and a crown of a few spheres.
Object* AddTree(Document& document, Object* parent) {
    Object* tree = Add(document, kNull, "Tree", parent);
    Add(document, kCylinder, "Trunk", tree);
    Object* crown = Add(document, kSubdivision, "Crown", tree);
    for (int i = 1; i <= 3; ++i) {
        Add(document, kPolygon, "Leaves " + std::to_string(i), crown);
    }
    return tree;
}

void AddBuilding(Document& document, Object* block, int number) {
    Object* building = Add(document, kNull, "Building " + std::to_string(number), block);
    Object* shell = Add(document, kSubdivision, "Shell", building);
    Add(document, kPolygon, "Shell Cage", shell)->SetEditorMode(Mode::Off);
    Object* floors = Add(document, kCloner, "Floors", building);
    for (int f = 1; f <= kFloorsPerBuilding; ++f) {
        Add(document, kCube, "Floor " + std::to_string(f), floors);
    }
    Object* sign = Add(document, kExtrude, "Sign", building);
    Add(document, kPolygon, "Sign Outline", sign);
    Object* roofLight = Add(document, kLight, "Roof Light", building);
    if (number % 3 == 0) {
        roofLight->SetEnabled(false);
    }
}

void AddBlock(Document& document, Object* district, int number, const Object& tree) {
    Object* block = Add(document, kNull, "Block " + std::to_string(number), district);
    for (int b = 1; b <= kBuildingsPerBlock; ++b) {
        AddBuilding(document, block, b);
    }
    Object* street = Add(document, kNull, "Street", block);
    Add(document, kPlane, "Road", street)->SetRenderMode(Mode::On);
    for (int t = 1; t <= 4; ++t) {
        Object* instance = Add(document, kInstance, "Tree " + std::to_string(t), street);
        instance->Data().SetLink(kInstanceLink, tree.Id());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_city_scene OUTPUT.json\n";
        return 2;
    }
    Document document("City");
    Object* assets = Add(document, kNull, "Assets", nullptr);
    assets->SetEditorMode(Mode::Off);
    assets->SetRenderMode(Mode::Off);
    const Object* tree = AddTree(document, assets);
    Object* city = Add(document, kNull, "City", nullptr);
    for (int d = 1; d <= kDistricts; ++d) {
        Object* district = Add(document, kNull, "District " + std::to_string(d), city);
        for (int b = 1; b <= kBlocksPerDistrict; ++b) {
            AddBlock(document, district, b, *tree);
        }
    }
    Object* lights = Add(document, kNull, "Lights", nullptr);
    Add(document, kLight, "Sun", lights);
    Add(document, kLight, "Sky", lights);
    Add(document, kCamera, "Street Camera", nullptr);
    Add(document, kCamera, "Aerial Camera", nullptr)->SetEditorMode(Mode::On);
    // What an artist would have selected when saving: one building's sign.
    for (Object* sign : document.FindByPath("City/District 2/Block 3/Building 4/Sign")) {
        sign->SetBit(vhost::kBitActive);
    }
    const vhost::SceneSaveResult saved = vhost::SaveScene(document, argv[1]);
    if (!saved.Ok()) {
        std::cerr << saved.error << '\n';
        return 1;
    }
    std::cout << argv[1] << ": " << document.ObjectCount() << " objects\n";
    return 0;
}
