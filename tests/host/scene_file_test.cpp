// Scene files: what is saved comes back the same, deep hierarchies are safe both ways, bad files
// are refused with the file, the place and the reason, and a failed save keeps the old file.
#include "scene_file/scene_file.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "model/object_types.h"
#include "model/scene.h"
#include "support/temp_folder.h"
#include "vela2023/vela_ids.h"
#include "vela_host/host_objects.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;
using namespace std::string_literals;

constexpr std::int32_t kNull = HOST_OBJECT_NULL;
constexpr std::int32_t kPolygon = HOST_OBJECT_POLYGON;
constexpr std::int32_t kCylinder = vhost::kObjectCylinder;
constexpr std::int32_t kInstance = HOST_OBJECT_INSTANCE;
constexpr std::int32_t kRecordId = ID_VELA;  // the isolation records' id
constexpr std::int32_t kInstanceLink = HOST_INSTANCE_LINK;

const Object* NextInTreeOrder(const Object* object) {
    if (object->Down() != nullptr) return object->Down();
    while (object != nullptr && object->Next() == nullptr) object = object->Up();
    return object != nullptr ? object->Next() : nullptr;
}

// Keys in insertion order, nested containers included ("1,2,[5,6],3").
std::string KeyOrder(const Container& container) {
    std::string order;
    for (const Container::Entry& entry : container.Entries()) {
        if (!order.empty()) order += ',';
        order += std::to_string(entry.key);
        if (const Container* nested = entry.value.AsContainer())
            order += "[" + KeyOrder(*nested) + "]";
    }
    return order;
}

std::string SameContainer(const Container& a, const Container& b, const std::string& what) {
    if (!(a == b)) return what + ": the containers differ";
    if (KeyOrder(a) != KeyOrder(b))
        return what + ": key order " + KeyOrder(a) + " became " + KeyOrder(b);
    return {};
}

// The first difference between two documents, field by field and object by object; empty when
// they are the same.
std::string Difference(const Document& a, const Document& b) {
    if (a.Name() != b.Name()) return "name " + a.Name() + " became " + b.Name();
    if (auto d = SameContainer(a.Data(), b.Data(), "document data"); !d.empty()) return d;
    const TakeData* takesA = a.Takes();
    const TakeData* takesB = b.Takes();
    if ((takesA == nullptr) != (takesB == nullptr)) return "take data appeared or vanished";
    if (takesA != nullptr) {
        if (takesA->Takes().size() != takesB->Takes().size()) return "take count";
        for (std::size_t i = 0; i < takesA->Takes().size(); ++i) {
            const Take& ta = *takesA->Takes()[i];
            const Take& tb = *takesB->Takes()[i];
            if (ta.Name() != tb.Name() || ta.IsMain() != tb.IsMain()) return "take " + ta.Name();
            if ((takesA->CurrentTake() == &ta) != (takesB->CurrentTake() == &tb))
                return "current take";
        }
    }
    const Object* oa = a.FirstObject();
    const Object* ob = b.FirstObject();
    for (; oa != nullptr && ob != nullptr; oa = NextInTreeOrder(oa), ob = NextInTreeOrder(ob)) {
        std::string at = "object " + std::to_string(oa->Id()) + " " + oa->Name();
        if (oa->Id() != ob->Id()) return at + ": id " + std::to_string(ob->Id());
        ObjectId parentA = oa->Up() != nullptr ? oa->Up()->Id() : 0;
        ObjectId parentB = ob->Up() != nullptr ? ob->Up()->Id() : 0;
        if (parentA != parentB) return at + ": parent";
        if (oa->Type() != ob->Type()) return at + ": type";
        if (oa->Name() != ob->Name()) return at + ": name " + ob->Name();
        if (oa->EditorMode() != ob->EditorMode()) return at + ": editor mode";
        if (oa->RenderMode() != ob->RenderMode()) return at + ": render mode";
        if (oa->Enabled() != ob->Enabled()) return at + ": enabled";
        if (oa->Bits() != ob->Bits()) return at + ": bits";
        if (auto d = SameContainer(oa->Data(), ob->Data(), at); !d.empty()) return d;
    }
    if (oa != nullptr || ob != nullptr) return "object count";
    return {};
}

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
    std::vector<std::byte> bytes;
    for (int value : values) bytes.push_back(static_cast<std::byte>(value));
    return bytes;
}

struct RichScene {
    std::unique_ptr<Document> document = std::make_unique<Document>("Studio \"A\" \\ Ünïcødé 🚗");
    ObjectId carId = 0;
    ObjectId deletedId = 0;
};

// A scene with every kind of value, a hierarchy, links (one to a deleted object), takes, and an
// isolation in progress: the document record and one record on every object.
RichScene MakeRichScene() {
    RichScene scene;
    Document& doc = *scene.document;
    Container& data = doc.Data();
    data.SetId(77);
    data.SetInt32(9, std::numeric_limits<std::int32_t>::min());
    data.SetInt32(3, std::numeric_limits<std::int32_t>::max());
    data.SetInt64(7, std::numeric_limits<std::int64_t>::min());
    data.SetInt64(8, std::numeric_limits<std::int64_t>::max());
    data.SetFloat(1, 0.1);
    data.SetFloat(2, -0.0);
    data.SetFloat(4, 1e300);
    data.SetFloat(5, std::numeric_limits<double>::denorm_min());
    data.SetFloat(6, -std::numeric_limits<double>::infinity());
    data.SetString(10, "quote \" backslash \\ newline \n tab \t bell \x07 nul \0 日本 🚗"s);
    data.SetString(11, "");
    data.Set(12, Value::Custom({1001053, Bytes({0, 1, 2, 0xFF, 0x80, 0x7F, 0x3E, 0x3F})}));
    data.Set(13, Value::Custom({2000000, {}}));
    data.Set(14, Value());
    Container level3(303);
    level3.SetString(1, "deepest");
    Container level2(202);
    level2.SetContainer(5, level3);
    level2.SetInt32(2, 2);
    Container level1(101);
    level1.SetInt32(4, 1);
    level1.SetContainer(3, level2);
    data.SetContainer(15, level1);
    data.SetContainer(16, Container(-5));
    Container docRecord(kRecordId);
    docRecord.SetInt32(VELA_DOC_STATE, 1);
    docRecord.SetBool(VELA_DOC_BEGUN_WITH_ALT, true);
    data.SetContainer(kRecordId, docRecord);

    Object* car = doc.CreateObject(kNull, "Car");
    Object* body = doc.CreateObject(kPolygon, "Body", {car});
    Object* wheel = doc.CreateObject(kCylinder, "Wheel FL", {car});
    Object* plugin = doc.CreateObject(1234567, "Unknown plug-in object", {body});
    Object* gone = doc.CreateObject(kNull, "Gone");
    scene.deletedId = gone->Id();
    doc.DeleteObject(gone);
    Object* copy = doc.CreateObject(kInstance, "Car Copy");
    Object* stale = doc.CreateObject(kInstance, "Stale Copy", {copy});
    Object* empty = doc.CreateObject(kInstance, "Empty Copy");
    scene.carId = car->Id();
    copy->Data().SetLink(kInstanceLink, car->Id());
    stale->Data().SetLink(kInstanceLink, scene.deletedId);
    empty->Data().SetLink(kInstanceLink, 0);

    car->SetBit(kBitActive);
    body->SetEditorMode(Mode::Off);
    body->SetRenderMode(Mode::On);
    wheel->SetEnabled(false);
    wheel->SetRenderMode(Mode::Off);
    plugin->SetBit((1 << 4) | (1 << 30));
    plugin->SetBit(std::numeric_limits<std::int32_t>::min());
    for (Object* object : {car, body, wheel, plugin, copy, stale, empty}) {
        Container record(kRecordId);
        record.SetInt32(VELA_SAVED_EDITOR_MODE, static_cast<std::int32_t>(object->EditorMode()));
        record.SetInt32(VELA_SAVED_RENDER_MODE, static_cast<std::int32_t>(object->RenderMode()));
        record.SetBool(VELA_SAVED_ENABLED, object->Enabled());
        object->Data().SetString(1, object->Name());
        object->Data().SetContainer(kRecordId, record);
    }

    TakeData* takes = doc.Takes();
    takes->AddTake("Close-up");
    takes->SetCurrent(takes->AddTake("Wide"));
    takes->AddTake("Close-up");  // names need not be unique
    return scene;
}

// Round trips ------------------------------------------------------------------------------------

TEST(SceneFileRoundTrip, RichSceneComesBackTheSame) {
    RichScene scene = MakeRichScene();
    SceneTextResult saved = SerializeScene(*scene.document);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    SceneLoadResult loaded = ParseScene(saved.text, "rich.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    EXPECT_EQ(Difference(*scene.document, *loaded.document), "");

    // The link to the deleted object is kept and still names nothing.
    const Object* stale = loaded.document->FindByPath("Car Copy/Stale Copy").at(0);
    EXPECT_EQ(stale->Data().GetLink(kInstanceLink), scene.deletedId);
    EXPECT_EQ(loaded.document->FindById(scene.deletedId), nullptr);
    EXPECT_EQ(loaded.document->FindByPath("Car Copy").at(0)->Data().GetLink(kInstanceLink),
              scene.carId);
    // The isolation is still there to be restored.
    const Container* record = loaded.document->Data().GetContainerInstance(kRecordId);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetInt32(VELA_DOC_STATE), 1);
    EXPECT_TRUE(record->GetBool(VELA_DOC_BEGUN_WITH_ALT));
    EXPECT_EQ(loaded.document->Takes()->CurrentTake()->Name(), "Wide");

    // Writing is stable: the loaded scene is written out to the same text.
    SceneTextResult again = SerializeScene(*loaded.document);
    ASSERT_TRUE(again.Ok()) << again.error;
    EXPECT_EQ(again.text, saved.text);
}

TEST(SceneFileRoundTrip, SavedFileLoadsTheSame) {
    TempFolder folder;
    RichScene scene = MakeRichScene();
    SceneSaveResult saved = SaveScene(*scene.document, folder / "rich.json");
    ASSERT_TRUE(saved.Ok()) << saved.error;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"rich.json"});
    SceneLoadResult loaded = LoadScene(folder / "rich.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    EXPECT_EQ(Difference(*scene.document, *loaded.document), "");
}

TEST(SceneFileRoundTrip, FloatsThatJsonCannotSpellComeBack) {
    Document doc;
    doc.Data().SetFloat(1, std::numeric_limits<double>::quiet_NaN());
    doc.Data().SetFloat(2, std::numeric_limits<double>::infinity());
    doc.Data().SetFloat(3, -0.0);
    doc.Data().SetFloat(4, 0.1 + 0.2);
    doc.Data().SetFloat(5, std::numeric_limits<double>::max());
    doc.Data().SetFloat(6, 3.0);
    SceneTextResult saved = SerializeScene(doc);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    SceneLoadResult loaded = ParseScene(saved.text, "floats.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    const Container& data = loaded.document->Data();
    EXPECT_TRUE(std::isnan(data.GetFloat(1)));
    EXPECT_EQ(data.GetFloat(2), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::signbit(data.GetFloat(3)));
    EXPECT_EQ(data.GetFloat(4), 0.1 + 0.2);
    EXPECT_EQ(data.GetFloat(5), std::numeric_limits<double>::max());
    EXPECT_EQ(data.TypeOf(6),
              static_cast<std::int32_t>(ValueType::Float));  // 3.0 is not an integer
}

TEST(SceneFileRoundTrip, DocumentsWithoutTakesOrWithoutCurrentTake) {
    Document noTakes("No takes");
    noTakes.RemoveTakeData();
    noTakes.CreateObject(kNull, "Only");
    SceneLoadResult loaded = ParseScene(SerializeScene(noTakes).text, "a.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    EXPECT_EQ(loaded.document->Takes(), nullptr);
    EXPECT_EQ(Difference(noTakes, *loaded.document), "");

    Document noCurrent("No current take");
    noCurrent.Takes()->SetCurrent(nullptr);
    loaded = ParseScene(SerializeScene(noCurrent).text, "b.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    ASSERT_NE(loaded.document->Takes(), nullptr);
    EXPECT_EQ(loaded.document->Takes()->CurrentTake(), nullptr);
    EXPECT_EQ(loaded.document->FirstObject(), nullptr);
}

// The format as docs/scene-format.md shows it: fixed key order, one member per line.
TEST(SceneFileFormat, SmallSceneIsWrittenAsDocumented) {
    Document doc("Small");
    Object* group = doc.CreateObject(kNull, "Group", {}, 900001);
    Object* cube = doc.CreateObject(kObjectCube, "Cube", {group}, 900002);
    cube->SetRenderMode(Mode::Off);
    cube->SetBit(kBitActive);
    Container record(kRecordId);
    record.SetInt32(1000, 2);
    record.SetBool(1002, true);
    cube->Data().SetContainer(kRecordId, record);
    cube->Data().SetLink(5, 900001);
    SceneTextResult saved = SerializeScene(doc);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    EXPECT_EQ(saved.text, R"({
  "format": "vela-host-scene",
  "version": 1,
  "name": "Small",
  "data": {"id": 0, "entries": []},
  "takes": [
    {"name": "Main", "main": true, "current": true}
  ],
  "objects": [
    {
      "id": 900001,
      "parent": null,
      "type": "null",
      "name": "Group",
      "editor": "default",
      "render": "default",
      "enabled": true,
      "selected": false,
      "bits": 0,
      "data": {"id": 0, "entries": []}
    },
    {
      "id": 900002,
      "parent": 900001,
      "type": "cube",
      "name": "Cube",
      "editor": "default",
      "render": "off",
      "enabled": true,
      "selected": true,
      "bits": 0,
      "data": {"id": 0, "entries": [
        {"key": 1022131, "container": {"id": 1022131, "entries": [
          {"key": 1000, "int32": 2},
          {"key": 1002, "int32": 1}
        ]}},
        {"key": 5, "link": 900001}
      ]}
    }
  ]
}
)");
}

// Loading ----------------------------------------------------------------------------------------

// A valid scene of two objects, for the cases below to spoil one place of. Objects are on lines
// 8 and 9.
const std::string kTwoObjects = R"({
  "format": "vela-host-scene",
  "version": 1,
  "name": "Two",
  "data": {"id": 0, "entries": []},
  "takes": [{"name": "Main", "main": true, "current": true}],
  "objects": [
    {"id": 1, "parent": null, "type": "null", "name": "A", "editor": "default", "render": "default", "enabled": true, "selected": false, "bits": 0, "data": {"id": 0, "entries": []}},
    {"id": 2, "parent": 1, "type": "cube", "name": "B", "editor": "on", "render": "off", "enabled": false, "selected": true, "bits": 16, "data": {"id": 0, "entries": [{"key": 1001, "link": 1}]}}
  ]
}
)";

std::string Spoil(std::string_view from, std::string_view to) {
    std::string text = kTwoObjects;
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(SceneFileLoad, ValidSceneReadsEveryField) {
    SceneLoadResult loaded = ParseScene(kTwoObjects, "two.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    const Object* b = loaded.document->FindById(2);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Up(), loaded.document->FindById(1));
    EXPECT_EQ(b->Type(), kObjectCube);
    EXPECT_EQ(b->EditorMode(), Mode::On);
    EXPECT_EQ(b->RenderMode(), Mode::Off);
    EXPECT_FALSE(b->Enabled());
    EXPECT_TRUE(b->Selected());
    EXPECT_EQ(b->Bits(), 16 | kBitActive);
    EXPECT_EQ(b->Data().GetLink(kInstanceLink), 1U);
}

TEST(SceneFileLoad, ChildrenListedBeforeTheirParentsKeepTheirOrder) {
    // Grandchild first, then its parent's younger sibling, then the top, then the parent.
    auto object = [](int id, const char* parent, const char* name) {
        return R"({"id": )" + std::to_string(id) + R"(, "parent": )" + parent +
               R"(, "type": "null", "name": ")" + name +
               R"(", "editor": "default", "render": "default", "enabled": true, "selected": false, "bits": 0, "data": {"id": 0, "entries": []}})";
    };
    std::string text =
        R"({"format": "vela-host-scene", "version": 1, "name": "Order", "data": {"id": 0, "entries": []}, "takes": null, "objects": [)" +
        object(13, "12", "grandchild") + ", " + object(14, "11", "second") + ", " +
        object(11, "null", "top") + ", " + object(12, "11", "first") + ", " +
        object(15, "11", "third") + "]}";
    SceneLoadResult loaded = ParseScene(text, "order.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    std::string order;
    loaded.document->ForEach([&order](Object& o) {
        order += o.Name() + "(" + (o.Up() != nullptr ? o.Up()->Name() : "") + ") ";
        return true;
    });
    EXPECT_EQ(order, "top() second(top) first(top) grandchild(first) third(top) ");
}

TEST(SceneFileLoad, LinkToAnIdOutsideTheSceneStaysEmptyForGood) {
    constexpr ObjectId kFarAway = 900'000'000'000;
    std::string text = Spoil(R"("link": 1)", R"("link": 900000000000)");
    SceneLoadResult loaded = ParseScene(text, "far.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    Document& doc = *loaded.document;
    EXPECT_EQ(doc.FindById(2)->Data().GetLink(kInstanceLink), kFarAway);
    EXPECT_EQ(doc.FindById(kFarAway), nullptr);
    EXPECT_EQ(doc.ObjectCount(), 2U);
    // An object made afterwards must not become the link's target.
    Object* later = doc.CreateObject(kNull, "later");
    EXPECT_GT(later->Id(), kFarAway);
}

// Links that point at their own object, and instances that point at each other in a ring, are
// links like any other: they load, resolve and come back the same when saved.
TEST(SceneFileLoad, LinksToTheirOwnObjectAndRingsOfInstancesLoad) {
    const std::string text = R"({
  "format": "vela-host-scene", "version": 1, "name": "Ring",
  "data": {"id": 0, "entries": []},
  "takes": [{"name": "Main", "main": true, "current": true}],
  "objects": [
    {"id": 1, "parent": null, "type": "instance", "name": "A", "editor": "default", "render": "default", "enabled": true, "selected": true, "bits": 0, "data": {"id": 0, "entries": [{"key": 1001, "link": 2}]}},
    {"id": 2, "parent": 1, "type": "instance", "name": "B", "editor": "on", "render": "off", "enabled": false, "selected": false, "bits": 0, "data": {"id": 0, "entries": [{"key": 1001, "link": 1}]}},
    {"id": 3, "parent": null, "type": "cube", "name": "C", "editor": "off", "render": "on", "enabled": true, "selected": false, "bits": 0, "data": {"id": 0, "entries": [{"key": 5, "link": 3}]}}
  ]
})";
    SceneLoadResult loaded = ParseScene(text, "ring.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    const Document& doc = *loaded.document;
    EXPECT_EQ(doc.FindById(1)->Data().GetLink(kInstanceLink), 2U);
    EXPECT_EQ(doc.FindById(2)->Data().GetLink(kInstanceLink), 1U);
    EXPECT_EQ(doc.FindById(3)->Data().GetLink(5), 3U);
    const SceneTextResult saved = SerializeScene(doc);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    SceneLoadResult again = ParseScene(saved.text, "again.json");
    ASSERT_TRUE(again.Ok()) << again.error;
    EXPECT_EQ(SerializeScene(*again.document).text, saved.text);
}

struct BadScene {
    const char* what;
    std::string text;
    std::string message;
};

TEST(SceneFileLoad, MalformedScenesAreRefusedWithPlaceAndReason) {
    const std::string allBuiltInTypes =
        "null, polygon, camera, light, cube, sphere, cone, torus, plane, cylinder, text, instance, "
        "symmetry, subdivision, boole, extrude, lathe, sweep, loft, cloner, connector";
    const std::vector<BadScene> cases{
        {"not JSON", "this is not a scene",
         "bad.json:1:2: invalid JSON: syntax error while parsing value - invalid literal; last "
         "read: 'th'"},
        {"empty file", "",
         "bad.json:1:1: invalid JSON: syntax error while parsing value - unexpected end of input; "
         "expected '[', '{', or a literal"},
        {"cut short", kTwoObjects.substr(0, kTwoObjects.find(R"("name": "B")")),
         "bad.json:9:44: invalid JSON: syntax error while parsing object key - unexpected end of "
         "input; expected string literal"},
        {"missing comma", Spoil(R"("version": 1,)", R"("version": 1)"),
         "bad.json:4:8: invalid JSON: syntax error while parsing object - unexpected string "
         "literal; expected '}'"},
        {"top level is an array", "[1, 2]",
         "bad.json:1:1: expected a scene (a JSON object), found an array"},
        {"some other JSON file", R"({"name": "package", "objects": [{"id": 1}]})",
         "bad.json: missing member \"format\" (the header comes before \"objects\")"},
        {"header after the objects",
         R"({"name": "Late", "data": {"id": 0, "entries": []}, "takes": null, "objects": [], "format": "vela-host-scene", "version": 1})",
         "bad.json: missing member \"format\" (the header comes before \"objects\")"},
        {"header missing, no objects", R"({"name": "Nothing"})",
         "bad.json: missing member \"format\""},
        {"wrong format", Spoil(R"("vela-host-scene")", R"("blender")"),
         "bad.json:2: format: expected \"vela-host-scene\" (a scene of this host), found "
         "\"blender\""},
        {"newer version", Spoil(R"("version": 1)", R"("version": 4)"),
         "bad.json:3: version: this host reads versions 1 to 3 of the scene format, found "
         "version 4 (written by a newer host?)"},
        {"version as text", Spoil(R"("version": 1)", R"("version": "1")"),
         "bad.json:3: version: expected a version number, found \"1\""},
        {"no objects",
         Spoil(R"(,
  "objects": [)",
               R"(,
  "things": [)"),
         "bad.json: unexpected member \"things\"; the members here are format, version, name, "
         "data, takes, objects"},
        {"missing member", Spoil(R"("name": "A", )", ""),
         "bad.json:8: objects[0]: missing member \"name\""},
        {"unknown member", Spoil(R"("bits": 16, )", R"("bits": 16, "colour": "red", )"),
         "bad.json:9: objects[1]: unexpected member \"colour\"; the members here are id, parent, "
         "type, name, editor, render, enabled, selected, bits, data"},
        {"duplicate member", Spoil(R"("name": "B", )", R"("name": "B", "name": "C", )"),
         "bad.json:9:62: duplicate member \"name\""},
        {"wrong type", Spoil(R"("enabled": false)", R"("enabled": "no")"),
         "bad.json:9: objects[1].enabled: expected true or false, found \"no\""},
        {"name not text", Spoil(R"("name": "A")", R"("name": 5)"),
         "bad.json:8: objects[0].name: expected a string, found 5"},
        {"duplicate ids", Spoil(R"("id": 2,)", R"("id": 1,)"),
         "bad.json:9: objects[1].id: id 1 is used by an earlier object; ids are unique"},
        {"id zero", Spoil(R"("id": 2,)", R"("id": 0,)"),
         "bad.json:9: objects[1].id: expected an object id (an integer above 0), found 0"},
        {"dangling parent", Spoil(R"("parent": 1)", R"("parent": 7)"),
         "bad.json:9: objects[1].parent: no object of the scene has the id 7"},
        {"parent cycle", Spoil(R"("parent": null)", R"("parent": 2)"),
         "bad.json:8: objects[0].parent: the parents form a cycle: 1 -> 2 -> 1"},
        {"own parent", Spoil(R"("parent": 1)", R"("parent": 2)"),
         "bad.json:9: objects[1].parent: the parents form a cycle: 2 -> 2"},
        {"unknown mode", Spoil(R"("editor": "on")", R"("editor": "hidden")"),
         "bad.json:9: objects[1].editor: expected \"default\", \"on\" or \"off\", found "
         "\"hidden\""},
        {"unknown type", Spoil(R"("type": "cube")", R"("type": "teapot")"),
         "bad.json:9: objects[1].type: unknown object type \"teapot\"; expected one of " +
             allBuiltInTypes + ", or a type number"},
        {"selection among the bits", Spoil(R"("bits": 16)", R"("bits": 18)"),
         "bad.json:9: objects[1].bits: bit 2 is the selection, which is given as \"selected\"; "
         "expected bits without it"},
        {"int32 too large",
         Spoil(R"({"key": 1001, "link": 1})", R"({"key": 1001, "int32": 3000000000})"),
         "bad.json:9: objects[1].data.entries[0].int32: expected an integer from -2147483648 to "
         "2147483647, found 3000000000"},
        {"int64 too large",
         Spoil(R"({"key": 1001, "link": 1})", R"({"key": 1001, "int64": 9223372036854775808})"),
         "bad.json:9: objects[1].data.entries[0].int64: expected an integer from "
         "-9223372036854775808 to 9223372036854775807, found 9223372036854775808"},
        {"key too large", Spoil(R"("key": 1001)", R"("key": -2147483649)"),
         "bad.json:9: objects[1].data.entries[0].key: expected an integer from -2147483648 to "
         "2147483647, found -2147483649"},
        {"duplicate key",
         Spoil(R"({"key": 1001, "link": 1})",
               R"({"key": 1001, "link": 1}, {"key": 1001, "int32": 0})"),
         "bad.json:9: objects[1].data.entries[1].key: key 1001 appears twice in this container"},
        {"two values in an entry", Spoil(R"("link": 1})", R"("link": 1, "int32": 1})"),
         "bad.json:9: objects[1].data.entries[0]: expected \"key\" and one value member (int32, "
         "int64, float, string, link, container, custom or none), found 3 members"},
        {"unknown value type", Spoil(R"("link": 1})", R"("bool": true})"),
         "bad.json:9: objects[1].data.entries[0]: unknown value type \"bool\"; expected int32, "
         "int64, float, string, link, container, custom or none"},
        {"link to nothing spelled 0", Spoil(R"("link": 1)", R"("link": 0)"),
         "bad.json:9: objects[1].data.entries[0].link: expected an object id (an integer above 0) "
         "or null for an empty link, found 0"},
        {"custom type too low", Spoil(R"("link": 1})", R"("custom": {"type": 15, "base64": ""}})"),
         "bad.json:9: objects[1].data.entries[0].custom.type: expected a custom data type id of "
         "1000000 or above, found 15"},
        {"bad base64", Spoil(R"("link": 1})", R"("custom": {"type": 1001053, "base64": "AB$="}})"),
         "bad.json:9: objects[1].data.entries[0].custom.base64: expected base64 text (A-Z, a-z, "
         "0-9, + and /, padded with = to a multiple of four characters), found \"AB$=\""},
        {"float as words", Spoil(R"("link": 1})", R"("float": "fast"})"),
         "bad.json:9: objects[1].data.entries[0].float: expected a number, \"nan\", \"inf\" or "
         "\"-inf\", found \"fast\""},
        {"document data not a container",
         Spoil(R"("data": {"id": 0, "entries": []},
  "takes")",
               R"("data": [],
  "takes")"),
         "bad.json:5: data: expected a container {\"id\": ..., \"entries\": [...]}, found an "
         "array"},
        {"main take not first", Spoil(R"("main": true)", R"("main": false)"),
         "bad.json:6: takes[0].main: the first take is the main take; expected true"},
        {"two current takes",
         Spoil(R"("current": true}])",
               R"("current": true}, {"name": "B", "main": false, "current": true}])"),
         "bad.json:6: takes[1].current: takes[0] is the current take already; at most one take "
         "is current"},
        {"renamed main take", Spoil(R"("name": "Main")", R"("name": "Haupt")"),
         "bad.json:6: takes[0].name: the main take is named \"Main\", found \"Haupt\""},
        {"invalid UTF-8 in a name", Spoil(R"("name": "A")", "\"name\": \"A\xff\""),
         "bad.json:8:57: invalid JSON: syntax error while parsing value - invalid string: "
         "ill-formed UTF-8 byte; last read: '\"A\\xFF'"},
        // Absurd numbers.
        {"id past the room of the id counter",
         Spoil(R"("id": 2,)", R"("id": 18446744073709551615,)"),
         "bad.json:9: objects[1].id: object ids go up to 9223372036854775807, found "
         "18446744073709551615"},
        {"link past the room of the id counter",
         Spoil(R"("link": 1)", R"("link": 9223372036854775808)"),
         "bad.json:9: objects[1].data.entries[0].link: object ids go up to 9223372036854775807, "
         "found 9223372036854775808"},
        {"id as a fraction", Spoil(R"("id": 2,)", R"("id": 2.5,)"),
         "bad.json:9: objects[1].id: expected an object id (an integer above 0), found 2.5"},
        {"negative link", Spoil(R"("link": 1)", R"("link": -3)"),
         "bad.json:9: objects[1].data.entries[0].link: expected an object id (an integer above 0) "
         "or null for an empty link, found -3"},
        {"parent beyond any integer", Spoil(R"("parent": 1)", R"("parent": 1e30)"),
         "bad.json:9: objects[1].parent: expected an object id (an integer above 0) or null for an "
         "object at the top level, found 1e+30"},
        {"bits beyond 32 bits", Spoil(R"("bits": 16)", R"("bits": 4294967296)"),
         "bad.json:9: objects[1].bits: expected an integer from -2147483648 to 2147483647, found "
         "4294967296"},
        {"type number beyond 32 bits", Spoil(R"("type": "cube")", R"("type": 99999999999)"),
         "bad.json:9: objects[1].type: expected an object type name (such as \"null\") or a type "
         "number from 1 to 2147483647, found 99999999999"},
        {"float beyond any double", Spoil(R"("link": 1})", R"("float": 1e400})"),
         "bad.json:9:195: invalid JSON: number overflow parsing '1e400'"},
        {"version beyond any double", Spoil(R"("version": 1)", R"("version": 1e400)"),
         "bad.json:3:18: invalid JSON: number overflow parsing '1e400'"},
        // Names that are not UTF-8, in every way a decoder can meet.
        {"overlong UTF-8 in a name", Spoil(R"("name": "A")", "\"name\": \"\xc0\xaf\""),
         "bad.json:8:56: invalid JSON: syntax error while parsing value - invalid string: "
         "ill-formed UTF-8 byte; last read: '\"\\xC0'"},
        {"UTF-8 of a surrogate in a name", Spoil(R"("name": "A")", "\"name\": \"\xed\xa0\x80\""),
         "bad.json:8:57: invalid JSON: syntax error while parsing value - invalid string: "
         "ill-formed UTF-8 byte; last read: '\"\\xED\\xA0'"},
        {"UTF-8 cut short in a name", Spoil(R"("name": "A")", "\"name\": \"\xe2\x82\""),
         "bad.json:8:57: invalid JSON: syntax error while parsing value - invalid string: "
         "ill-formed UTF-8 byte; last read: '\"\\xE2\\x82\"'"},
        {"lone surrogate escaped in a name", Spoil(R"("name": "A")", R"("name": "\ud800")"),
         "bad.json:8:62: invalid JSON: syntax error while parsing value - invalid string: "
         "surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF; last read: '\"\\ud800\"'"},
        {"nesting too deep", Spoil(R"("name": "A")", R"("name": )" + std::string(300, '[')),
         "bad.json:8:308: nested deeper than 256 levels; scene files nest containers at most 64 "
         "deep"},
    };
    for (const BadScene& bad : cases) {
        SCOPED_TRACE(bad.what);
        SceneLoadResult loaded = ParseScene(bad.text, "bad.json");
        EXPECT_FALSE(loaded.Ok());
        EXPECT_EQ(loaded.document, nullptr);
        EXPECT_EQ(loaded.error, bad.message);
    }
}

TEST(SceneFileLoad, MissingFileIsNamedWithTheReason) {
    TempFolder folder;
    SceneLoadResult loaded = LoadScene(folder / "absent.json");
    EXPECT_FALSE(loaded.Ok());
    EXPECT_EQ(loaded.error, (folder / "absent.json").string() +
                                ": cannot open the scene file: No such file or directory");
    loaded = LoadScene(folder.Path());
    EXPECT_EQ(loaded.error,
              folder.Path().string() + ": cannot read the scene file: Is a directory");
}

// Every cut of a saved scene is refused, and random damage never crashes the reader: each result
// is a scene or a message that names the source.
TEST(SceneFileLoad, CutOrDamagedScenesNeverCrash) {
    RichScene scene = MakeRichScene();
    const std::string text = SerializeScene(*scene.document).text;
    ASSERT_FALSE(text.empty());
    for (std::size_t length = 0; length + 1 < text.size(); ++length) {
        SceneLoadResult loaded = ParseScene(std::string_view(text).substr(0, length), "cut.json");
        ASSERT_FALSE(loaded.Ok()) << "a cut at " << length << " was accepted";
        ASSERT_EQ(loaded.error.rfind("cut.json:", 0), 0U) << loaded.error;
    }
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> position(0, text.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = text;
        for (int flips = 1 + round % 4; flips > 0; --flips) {
            damaged[position(random)] = static_cast<char>(byte(random));
        }
        SceneLoadResult loaded = ParseScene(damaged, "damaged.json");
        if (!loaded.Ok()) {
            ASSERT_EQ(loaded.error.rfind("damaged.json:", 0), 0U) << loaded.error;
        }
    }
}

// Depth ------------------------------------------------------------------------------------------

// Under AddressSanitizer the chain is shorter, to keep the run short; a reader or writer that
// recursed per level would still overflow the stack long before 200,000 levels.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kChainDepth = 200'000;
#else
constexpr std::size_t kChainDepth = 1'000'000;
#endif

TEST(SceneFileDeep, MillionLevelChainSavesAndLoads) {
    constexpr std::size_t kDepth = kChainDepth;
    Document doc("Chain");
    Object* parent = doc.CreateObject(kNull, "level");
    const ObjectId topId = parent->Id();
    for (std::size_t i = 1; i < kDepth; ++i) parent = doc.CreateObject(kNull, "level", {parent});
    parent->Data().SetInt32(1, 42);
    const ObjectId deepestId = parent->Id();

    TempFolder folder;
    auto start = std::chrono::steady_clock::now();
    SceneSaveResult saved = SaveScene(doc, folder / "chain.json");
    ASSERT_TRUE(saved.Ok()) << saved.error;
    auto written = std::chrono::steady_clock::now();
    SceneLoadResult loaded = LoadScene(folder / "chain.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    auto read = std::chrono::steady_clock::now();
    using Ms = std::chrono::milliseconds;
    std::printf("[ timing   ] saved in %lld ms, loaded in %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<Ms>(written - start).count()),
                static_cast<long long>(std::chrono::duration_cast<Ms>(read - written).count()));

    const Object* object = loaded.document->FirstObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Id(), topId);
    EXPECT_EQ(object->Next(), nullptr);
    std::size_t depth = 1;
    while (object->Down() != nullptr) {
        ASSERT_EQ(object->Down()->Next(), nullptr);
        object = object->Down();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(object->Id(), deepestId);
    EXPECT_EQ(object->Data().GetInt32(1), 42);
}

TEST(SceneFileDeep, MillionFoldNestedJsonIsRefusedNotFollowed) {
    std::string text = R"({"format": "vela-host-scene", "name": )";
    text += std::string(1'000'000, '[');
    SceneLoadResult loaded = ParseScene(text, "deep.json");
    EXPECT_EQ(loaded.error,
              "deep.json:1:294: nested deeper than 256 levels; scene files nest "
              "containers at most 64 deep");
}

// A container `levels` deep below the data container, the innermost holding an int32.
Container NestedContainer(int levels) {
    Container inner(levels);
    inner.SetInt32(1, levels);
    for (int level = levels - 1; level >= 0; --level) {
        Container outer(level);
        outer.SetContainer(7, inner);
        inner = std::move(outer);
    }
    return inner;
}

TEST(SceneFileDeep, ContainersNestUpToTheLimit) {
    Document doc;
    Object* object = doc.CreateObject(kNull, "Nest");
    object->Data() = NestedContainer(kSceneMaxContainerNesting);
    SceneTextResult saved = SerializeScene(doc);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    SceneLoadResult loaded = ParseScene(saved.text, "nest.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    EXPECT_EQ(Difference(doc, *loaded.document), "");

    // One level more is refused by the writer, and by the reader if it was written by hand.
    object->Data() = NestedContainer(kSceneMaxContainerNesting + 1);
    SceneTextResult refused = SerializeScene(doc);
    EXPECT_FALSE(refused.Ok());
    std::string keys = "7";
    for (int i = 0; i < kSceneMaxContainerNesting; ++i) keys += " > 7";
    EXPECT_EQ(refused.error, "the scene cannot be saved: object " + std::to_string(object->Id()) +
                                 " (\"Nest\"), data key " + keys +
                                 ": containers are nested more than 64 levels deep");
    std::string handWritten = saved.text;
    const std::string innermost = R"({"key": 1, "int32": 64})";
    handWritten.replace(handWritten.find(innermost), innermost.size(),
                        R"({"key": 1, "container": {"id": 65, "entries": []}})");
    loaded = ParseScene(handWritten, "nest.json");
    EXPECT_EQ(
        loaded.error.rfind("nest.json:10: objects[0].data.entries[0].container.entries[0]", 0), 0U)
        << loaded.error;
    EXPECT_NE(loaded.error.find(".container: containers nest at most 64 levels deep"),
              std::string::npos)
        << loaded.error;
}

// Saving -----------------------------------------------------------------------------------------

Document& SmallScene() {
    static Document doc("Small");
    if (doc.FirstObject() == nullptr) doc.CreateObject(kNull, "Only");
    return doc;
}

TEST(SceneFileSave, SaveReplacesTheFileAndKeepsItsPermissions) {
    TempFolder folder;
    WriteFile(folder / "scene.json", "old");
    fs::permissions(folder / "scene.json",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    SceneSaveResult saved = SaveScene(SmallScene(), folder / "scene.json");
    ASSERT_TRUE(saved.Ok()) << saved.error;
    EXPECT_EQ(ReadFile(folder / "scene.json"), SerializeScene(SmallScene()).text);
    EXPECT_EQ(fs::status(folder / "scene.json").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"scene.json"});

    // Through a symbolic link the file it names is replaced; the link stays.
    fs::create_symlink("scene.json", folder / "link.json");
    WriteFile(folder / "scene.json", "old");
    saved = SaveScene(SmallScene(), folder / "link.json");
    ASSERT_TRUE(saved.Ok()) << saved.error;
    EXPECT_TRUE(fs::is_symlink(folder / "link.json"));
    EXPECT_EQ(ReadFile(folder / "scene.json"), SerializeScene(SmallScene()).text);
}

// The process id of a process that has ended (and been waited for).
pid_t EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// A save whose process was killed leaves its temporary file; the next save of the same file
// removes it. Temporaries of running processes and of other files stay, as does anything else.
TEST(SceneFileSave, SaveRemovesTemporariesLeftByEndedProcesses) {
    TempFolder folder;
    const std::string ended = std::to_string(EndedProcessId());
    const std::string running = std::to_string(::getppid());
    const std::vector<std::string> left{".scene.json." + ended + "-0.tmp",
                                        ".scene.json." + ended + "-17.tmp"};
    const std::vector<std::string> kept{
        ".other.json." + ended + "-0.tmp", ".scene.json." + running + "-0.tmp",
        ".scene.json." + ended + "-x.tmp", ".scene.json." + ended + ".tmp",
        "scene.json." + ended + "-0.tmp"};
    for (const std::string& name : left) WriteFile(folder / name.c_str(), "half");
    for (const std::string& name : kept) WriteFile(folder / name.c_str(), "half");

    const SceneSaveResult saved = SaveScene(SmallScene(), folder / "scene.json");
    ASSERT_TRUE(saved.Ok()) << saved.error;
    std::vector<std::string> expected = kept;
    expected.emplace_back("scene.json");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
}

TEST(SceneFileSave, MissingFolderIsReported) {
    TempFolder folder;
    fs::path target = folder / "missing";
    target /= "scene.json";
    SceneSaveResult saved = SaveScene(SmallScene(), target);
    EXPECT_EQ(saved.error, "cannot save the scene to \"" + target.string() +
                               "\": cannot create a file in the folder \"" +
                               target.parent_path().string() + "\": No such file or directory");
    EXPECT_TRUE(folder.Names().empty());
}

TEST(SceneFileSave, UnwritableFolderLeavesTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
    TempFolder folder;
    WriteFile(folder / "scene.json", "old");
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    SceneSaveResult saved = SaveScene(SmallScene(), folder / "scene.json");
    fs::permissions(folder.Path(), fs::perms::owner_all);
    EXPECT_EQ(saved.error, "cannot save the scene to \"" + (folder / "scene.json").string() +
                               "\": cannot create a file in the folder \"" +
                               folder.Path().string() + "\": Permission denied");
    EXPECT_EQ(ReadFile(folder / "scene.json"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"scene.json"});
}

// The disk fills up in the middle of the file (a file size limit stands in for a full disk).
TEST(SceneFileSave, FailedWriteLeavesTheOldFile) {
    TempFolder folder;
    WriteFile(folder / "scene.json", "old");
    Document big("Big");
    for (int i = 0; i < 20000; ++i) big.CreateObject(kNull, "object");

    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limited = before;
    limited.rlim_cur = 4096;
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    SceneSaveResult saved = SaveScene(big, folder / "scene.json");
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, previous);

    EXPECT_EQ(
        saved.error.rfind(
            "cannot save the scene to \"" + (folder / "scene.json").string() + "\": writing \"", 0),
        0U)
        << saved.error;
    EXPECT_NE(saved.error.find("\" failed: File too large"), std::string::npos) << saved.error;
    EXPECT_EQ(ReadFile(folder / "scene.json"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"scene.json"});
}

TEST(SceneFileSave, TargetThatIsAFolderIsNotReplaced) {
    TempFolder folder;
    fs::create_directory(folder / "scene.json");
    WriteFile(folder / "scene.json" / "inside", "kept");
    SceneSaveResult saved = SaveScene(SmallScene(), folder / "scene.json");
    EXPECT_EQ(saved.error, "cannot save the scene to \"" + (folder / "scene.json").string() +
                               "\": cannot replace the file: Is a directory");
    EXPECT_EQ(ReadFile(folder / "scene.json" / "inside"), "kept");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"scene.json"});
}

TEST(SceneFileSave, SceneThatCouldNotBeReadBackIsRefusedBeforeWriting) {
    TempFolder folder;
    WriteFile(folder / "scene.json", "old");
    Document doc("Fine");
    Object* object = doc.CreateObject(kNull, "Fine");
    object->Data().SetString(1000, "ok");
    object->Data().SetString(1001, "bad \xC0\xAF overlong slash");
    SceneSaveResult saved = SaveScene(doc, folder / "scene.json");
    EXPECT_EQ(saved.error, "cannot save the scene to \"" + (folder / "scene.json").string() +
                               "\": object " + std::to_string(object->Id()) +
                               " (\"Fine\"), data key 1001: the string is not valid UTF-8: "
                               "\"bad \\xC0\\xAF overlong slash\"");
    EXPECT_EQ(ReadFile(folder / "scene.json"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"scene.json"});

    Document custom("Custom");
    custom.Data().Set(4, Value::Custom({15, {}}));
    EXPECT_EQ(SerializeScene(custom).error,
              "the scene cannot be saved: the document, data key 4: custom data type 15 is below "
              "1000000, where custom type ids begin");
}

// The example scene ------------------------------------------------------------------------------

TEST(SceneFileExample, StudioSceneLoadsAsDescribed) {
    SceneLoadResult loaded = LoadScene(fs::path(VELA_EXAMPLE_SCENES_DIR) / "studio.json");
    ASSERT_TRUE(loaded.Ok()) << loaded.error;
    const Document& doc = *loaded.document;
    // The type of the one object at `path`, 0 when there is none or more than one.
    auto typeAt = [&doc](const char* path) {
        std::vector<Object*> found = doc.FindByPath(path);
        return found.size() == 1 ? found.front()->Type() : 0;
    };
    EXPECT_EQ(typeAt("Car"), kNull);
    EXPECT_EQ(typeAt("Car/Body"), kPolygon);
    for (const char* wheel : {"Car/Wheel FL", "Car/Wheel FR", "Car/Wheel RL", "Car/Wheel RR"}) {
        EXPECT_EQ(typeAt(wheel), kCylinder) << wheel;
    }
    EXPECT_EQ(typeAt("Lights/Key Light"), HOST_OBJECT_LIGHT);
    EXPECT_EQ(typeAt("Lights/Fill Light"), HOST_OBJECT_LIGHT);
    ASSERT_EQ(typeAt("Car Copy"), kInstance);
    EXPECT_EQ(doc.FindByPath("Car Copy").front()->Data().GetLink(kInstanceLink),
              doc.FindByPath("Car").front()->Id());
    std::size_t instancesWithoutTarget = 0;
    std::size_t disabled = 0;
    std::size_t hidden = 0;
    doc.ForEach([&](Object& o) {
        if (o.Type() == kInstance && doc.FindById(o.Data().GetLink(kInstanceLink)) == nullptr) {
            ++instancesWithoutTarget;
        }
        if (!o.Enabled()) ++disabled;
        if (o.EditorMode() != Mode::Default || o.RenderMode() != Mode::Default) ++hidden;
        return true;
    });
    EXPECT_EQ(instancesWithoutTarget, 1U);
    EXPECT_EQ(disabled, 1U);
    EXPECT_GE(hidden, 2U);

    // Written back and read again, the example is unchanged.
    SceneTextResult saved = SerializeScene(doc);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    SceneLoadResult again = ParseScene(saved.text, "studio again");
    ASSERT_TRUE(again.Ok()) << again.error;
    EXPECT_EQ(Difference(doc, *again.document), "");
}

}  // namespace
}  // namespace vhost
