// The object tree of a document: placement, moves, deletion, copies, look-ups and takes.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/object_types.h"
#include "model/scene.h"
#include "vela_host/host_objects.h"

namespace vhost {
namespace {

constexpr std::int32_t kNull = HOST_OBJECT_NULL;

// Names of the tree in pre-order, children in brackets: "A[B C] D".
std::string Outline(const Object* first) {
    std::string text;
    for (const Object* o = first; o != nullptr; o = o->Next()) {
        if (!text.empty()) text += ' ';
        text += o->Name();
        if (o->Down() != nullptr) text += '[' + Outline(o->Down()) + ']';
    }
    return text;
}

// Every link agrees with its counterpart: the check a broken unlink fails.
void ExpectConsistentLinks(const Document& doc) {
    doc.ForEach([](Object& o) {
        if (o.Next() != nullptr) {
            EXPECT_EQ(o.Next()->Pred(), &o) << o.Name();
        }
        if (o.Pred() != nullptr) {
            EXPECT_EQ(o.Pred()->Next(), &o) << o.Name();
        } else if (o.Up() != nullptr) {
            EXPECT_EQ(o.Up()->Down(), &o) << o.Name();
        }
        if (o.Down() != nullptr) {
            EXPECT_EQ(o.Down()->Up(), &o) << o.Name();
        }
        return true;
    });
}

class SceneTree : public ::testing::Test {
protected:
    Object* Make(std::string_view name, Object* parent = nullptr, Object* after = nullptr) {
        Object* o = doc.CreateObject(kNull, name, {parent, after});
        EXPECT_NE(o, nullptr) << name;
        return o;
    }
    Document doc;
};

TEST_F(SceneTree, CreatesAtTheEndOrRightAfterASibling) {
    Object* a = Make("A");
    Make("C");
    Make("B", nullptr, a);
    Object* x = Make("X", a);
    Make("Y", a, x);
    Make("W", a);
    EXPECT_EQ(Outline(doc.FirstObject()), "A[X Y W] B C");
    EXPECT_EQ(doc.ObjectCount(), 6U);
    ExpectConsistentLinks(doc);
}

TEST_F(SceneTree, RefusesPlacementsOutsideTheDocumentOrInconsistent) {
    Object* a = Make("A");
    Object* b = Make("B");
    EXPECT_EQ(doc.CreateObject(kNull, "bad", {a, b}), nullptr);  // B is no child of A
    Document other;
    Object* stranger = other.CreateObject(kNull, "S");
    EXPECT_EQ(doc.CreateObject(kNull, "bad", {stranger, nullptr}), nullptr);
    EXPECT_FALSE(doc.MoveObject(stranger, {}));
    EXPECT_EQ(doc.ObjectCount(), 2U);
}

TEST_F(SceneTree, HonoursGivenIdsAndRefusesTakenOnes) {
    Object* loaded = doc.CreateObject(kNull, "loaded", {}, 5'000'000'000ULL);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Id(), 5'000'000'000ULL);
    EXPECT_EQ(doc.CreateObject(kNull, "twin", {}, 5'000'000'000ULL), nullptr);
    Object* fresh = Make("fresh");
    EXPECT_GT(fresh->Id(), loaded->Id());
    EXPECT_EQ(doc.FindById(loaded->Id()), loaded);
}

TEST_F(SceneTree, IdsAreUniqueAcrossDocuments) {
    Document other;
    Object* mine = Make("mine");
    Object* theirs = other.CreateObject(kNull, "theirs");
    EXPECT_NE(mine->Id(), theirs->Id());
    EXPECT_EQ(other.FindById(mine->Id()), nullptr);
}

TEST_F(SceneTree, MoveRefusesTheObjectsOwnSubtree) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Object* c = Make("C", b);
    // A move that went through would make a cycle, so stop at the first one.
    ASSERT_FALSE(doc.MoveObject(a, {a, nullptr}));
    ASSERT_FALSE(doc.MoveObject(a, {c, nullptr}));
    ASSERT_FALSE(doc.MoveObject(b, {c, nullptr}));
    EXPECT_EQ(Outline(doc.FirstObject()), "A[B[C]]");
}

TEST_F(SceneTree, MoveTakesTheSubtreeAlong) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Make("C", b);
    Object* d = Make("D");
    EXPECT_TRUE(doc.MoveObject(b, {d, nullptr}));
    EXPECT_EQ(Outline(doc.FirstObject()), "A D[B[C]]");
    EXPECT_TRUE(doc.MoveObject(a, {nullptr, d}));  // A goes after D at the top
    EXPECT_EQ(Outline(doc.FirstObject()), "D[B[C]] A");
    EXPECT_TRUE(doc.MoveObject(a, {nullptr, a}));  // after itself: stays
    EXPECT_EQ(Outline(doc.FirstObject()), "D[B[C]] A");
    ExpectConsistentLinks(doc);
}

TEST_F(SceneTree, DeleteRemovesTheWholeSubtree) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Object* c = Make("C", b);
    Make("E", a);
    Object* d = Make("D");
    ObjectId cId = c->Id();
    doc.DeleteObject(b);
    EXPECT_EQ(Outline(doc.FirstObject()), "A[E] D");
    EXPECT_EQ(doc.FindById(cId), nullptr);
    EXPECT_EQ(doc.ObjectCount(), 3U);
    doc.DeleteObject(d);  // the last top-level object: appending must still work
    Make("F");
    Make("G", a);
    EXPECT_EQ(Outline(doc.FirstObject()), "A[E G] F");
    ExpectConsistentLinks(doc);
}

TEST_F(SceneTree, CopyGivesNewIdsAndKeepsStatesAndData) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Make("C", a);
    Matrix moved;
    moved.off = {1.0, 2.0, 3.0};
    b->SetLocalTransform(moved);
    b->SetMesh(std::make_shared<const Mesh>());
    b->SetEditorMode(Mode::Off);
    b->SetEnabled(false);
    b->SetBit(kBitActive);
    Container record(1022131);
    record.SetInt32(1000, 1);
    b->Data().SetContainer(1022131, record);

    Object* copy = doc.CopyObject(*a, {});
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Outline(doc.FirstObject()), "A[B C] A[B C]");
    Object* bCopy = copy->Down();
    EXPECT_NE(bCopy->Id(), b->Id());
    EXPECT_EQ(bCopy->EditorMode(), Mode::Off);
    EXPECT_FALSE(bCopy->Enabled());
    EXPECT_TRUE(bCopy->Selected());
    EXPECT_TRUE(bCopy->Data() == b->Data());
    EXPECT_EQ(doc.FindById(bCopy->Id()), bCopy);
    EXPECT_EQ(bCopy->LocalTransform(), moved);
    EXPECT_EQ(bCopy->GetMesh(), b->GetMesh());  // shared, not copied
    EXPECT_TRUE(copy->LocalTransform().IsIdentity());

    // The copy's record is its own.
    Container* copiedRecord = bCopy->Data().GetContainerInstance(1022131);
    ASSERT_NE(copiedRecord, nullptr);
    copiedRecord->SetInt32(1000, 2);
    EXPECT_EQ(b->Data().GetContainerInstance(1022131)->GetInt32(1000), 1);
}

TEST_F(SceneTree, CopyIntoItsOwnSubtreeCopiesTheTreeAsItWas) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    ASSERT_NE(doc.CopyObject(*a, {b, nullptr}), nullptr);
    EXPECT_EQ(Outline(doc.FirstObject()), "A[B[A[B]]]");
    EXPECT_EQ(doc.ObjectCount(), 4U);
    ExpectConsistentLinks(doc);
}

TEST_F(SceneTree, CopyFromAnotherDocument) {
    Document other;
    Object* source = other.CreateObject(kNull, "S");
    other.CreateObject(kNull, "T", {source, nullptr});
    Object* copy = doc.CopyObject(*source, {});
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetDocument(), &doc);
    EXPECT_EQ(copy->Down()->GetDocument(), &doc);
    EXPECT_EQ(other.ObjectCount(), 2U);
}

TEST_F(SceneTree, FindByPathAnswersEveryMatch) {
    Object* car1 = Make("Car");
    Object* wheel1 = Make("Wheel", car1);
    Object* wheel2 = Make("Wheel", car1);
    Object* car2 = Make("Car");
    Object* wheel3 = Make("Wheel", car2);
    Make("Wheel");  // at the top, not under a car

    EXPECT_EQ(doc.FindByPath("Car/Wheel"), (std::vector<Object*>{wheel1, wheel2, wheel3}));
    EXPECT_EQ(doc.FindByPath("Car"), (std::vector<Object*>{car1, car2}));
    EXPECT_TRUE(doc.FindByPath("Car/Wheel/Nut").empty());
    EXPECT_TRUE(doc.FindByPath("Wheel/Car").empty());
    EXPECT_TRUE(doc.FindByPath("").empty());
}

TEST_F(SceneTree, ForEachVisitsInPreOrderAndStopsWhenAsked) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Make("C", b);
    Make("D", a);
    Make("E");
    std::string order;
    doc.ForEach([&order](Object& o) {
        order += o.Name();
        return true;
    });
    EXPECT_EQ(order, "ABCDE");
    order.clear();
    doc.ForEach([&order](Object& o) {
        order += o.Name();
        return o.Name() != "C";
    });
    EXPECT_EQ(order, "ABC");
}

TEST_F(SceneTree, SelectedObjectsWithAndWithoutChildrenOfSelected) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Object* c = Make("C");
    a->SetBit(kBitActive);
    b->SetBit(kBitActive);
    c->SetBit(kBitActive);
    EXPECT_EQ(doc.SelectedObjects(true), (std::vector<Object*>{a, b, c}));
    EXPECT_EQ(doc.SelectedObjects(false), (std::vector<Object*>{a, c}));
    doc.DeselectAll();
    EXPECT_TRUE(doc.SelectedObjects().empty());
}

// The document keeps the answer between queries: each kind of change must show in the next one.
TEST_F(SceneTree, SelectedObjectsFollowEveryChangeOfSelectionAndOrder) {
    Object* a = Make("A");
    Object* b = Make("B", a);
    Object* c = Make("C");
    b->SetBit(kBitActive);
    c->SetBit(kBitActive);
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{b, c}));
    Make("D");  // a new object is not selected
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{b, c}));
    a->SetBit(kBitActive | 4);
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{a, b, c}));
    a->DelBit(4);  // another bit
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{a, b, c}));
    a->DelBit(kBitActive);
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{b, c}));
    ASSERT_TRUE(doc.MoveObject(b, {c, nullptr}));
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{c, b}));
    Object* copy = doc.CopyObject(*c, {});
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{c, b, copy, copy->Down()}));
    doc.DeleteObject(c);
    EXPECT_EQ(doc.SelectedObjects(), (std::vector<Object*>{copy, copy->Down()}));
    doc.Clear();
    EXPECT_TRUE(doc.SelectedObjects().empty());
}

TEST(Takes, MainTakeIsCurrentUntilAnotherIsChosen) {
    Document doc;
    TakeData* takes = doc.Takes();
    ASSERT_NE(takes, nullptr);
    EXPECT_EQ(takes->CurrentTake(), takes->MainTake());
    EXPECT_EQ(takes->MainTake()->Name(), "Main");
    EXPECT_TRUE(takes->MainTake()->IsMain());

    Take* close = takes->AddTake("Close-up");
    EXPECT_FALSE(close->IsMain());
    EXPECT_EQ(takes->CurrentTake(), takes->MainTake());
    takes->SetCurrent(close);
    EXPECT_EQ(takes->CurrentTake(), close);
    EXPECT_EQ(takes->Find("Close-up"), close);
    EXPECT_EQ(takes->Find("Nothing"), nullptr);

    doc.RemoveTakeData();
    EXPECT_EQ(doc.Takes(), nullptr);
    doc.EnsureTakeData();
    EXPECT_EQ(doc.Takes()->CurrentTake(), doc.Takes()->MainTake());
}

TEST(ObjectTypeTable, InputGeneratorsAreFlaggedAndOthersAreNot) {
    ObjectTypes types;
    constexpr std::int32_t kInput = 8;
    constexpr std::int32_t kGenerator = 4;
    for (std::int32_t type : {5142, 1007455, 1010865, 5116, 5117, 5118, 5107, 1018544, 1011010}) {
        ASSERT_NE(types.Find(type), nullptr) << type;
        EXPECT_EQ(types.Find(type)->info & (kInput | kGenerator), kInput | kGenerator) << type;
    }
    EXPECT_EQ(types.Find(1019268)->info & (kInput | kGenerator), kGenerator);  // text
    EXPECT_EQ(types.Find(5159)->info & kInput, 0);                             // cube
    EXPECT_EQ(types.Find(5140)->info, 0);                                      // null
    EXPECT_EQ(types.FindByToken("subdivision")->type, 1007455);
    EXPECT_EQ(types.FindByToken("instance")->type, 5126);
    EXPECT_EQ(types.Find(12345), nullptr);
}

}  // namespace
}  // namespace vhost
