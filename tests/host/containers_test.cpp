// Containers and values of the host model: typed reads, storage of booleans, deep copies, and
// nested containers that keep naming themselves wherever their parent goes.
#include <cstddef>
#include <utility>

#include <gtest/gtest.h>

#include "model/container.h"
#include "vela_host/host_containers.h"

namespace vhost {
namespace {

constexpr std::int32_t kTypeInt32 = HOST_TYPE_INT32;

TEST(ContainerReads, WrongTypeOrAbsentKeyGivesThePreset) {
    Container c;
    c.SetInt32(1, 7);
    c.SetString(2, "text");
    c.SetFloat(3, 2.5);
    c.SetInt64(4, 1LL << 40);

    EXPECT_EQ(c.GetInt64(1, -1), -1);
    EXPECT_EQ(c.GetFloat(1, -1.0), -1.0);
    EXPECT_EQ(c.GetString(1, "preset"), "preset");
    EXPECT_EQ(c.GetInt32(2, -1), -1);
    EXPECT_FALSE(c.GetBool(3, false));
    EXPECT_TRUE(c.GetBool(4, true));  // an Int64 is not a boolean
    EXPECT_EQ(c.GetInt32(4, -1), -1);
    EXPECT_EQ(c.GetLink(1), 0U);
    EXPECT_EQ(c.GetContainerInstance(1), nullptr);
    EXPECT_EQ(c.GetInt32(99, 42), 42);
    EXPECT_EQ(c.TypeOf(99), 0);

    EXPECT_EQ(c.GetInt32(1, -1), 7);
    EXPECT_EQ(c.GetString(2), "text");
    EXPECT_EQ(c.GetFloat(3), 2.5);
    EXPECT_EQ(c.GetInt64(4), 1LL << 40);
}

TEST(ContainerReads, BooleansAreStoredAsInt32OneOrZero) {
    Container c;
    c.SetBool(1, true);
    c.SetBool(2, false);
    EXPECT_EQ(c.TypeOf(1), kTypeInt32);
    EXPECT_EQ(c.GetInt32(1, -1), 1);
    EXPECT_EQ(c.GetInt32(2, -1), 0);
    c.SetInt32(3, -5);
    EXPECT_TRUE(c.GetBool(3, false));  // any non-zero Int32 reads as true
    EXPECT_FALSE(c.GetBool(2, true));
}

TEST(ContainerEntries, OverwriteKeepsPlaceAndRemoveKeepsOrder) {
    Container c;
    c.SetInt32(30, 1);
    c.SetInt32(10, 2);
    c.SetInt32(20, 3);
    c.SetString(10, "replaced");  // another type under the same key
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c.Entries()[1].key, 10);
    EXPECT_EQ(c.GetString(10), "replaced");

    EXPECT_TRUE(c.Remove(30));
    EXPECT_FALSE(c.Remove(30));
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.Entries()[0].key, 10);
    EXPECT_EQ(c.Entries()[1].key, 20);
    EXPECT_FALSE(c.Has(30));
}

// A few entries live inside the container and more move to a heap array; texts and nested
// containers must survive both moves, removals on either side of the change, and moves of the
// whole container.
TEST(ContainerEntries, EntriesSurviveTheMoveFromInsideToTheHeapAndBack) {
    Container inner(7);
    inner.SetString(1, "nested");
    Container c;
    c.SetString(1, "one");
    c.SetContainer(2, inner);
    c.SetInt32(3, 3);
    Container* nested = c.GetContainerInstance(2);
    c.SetString(4, "four");  // no longer fits inside
    c.SetInt32(5, 5);
    EXPECT_EQ(c.GetContainerInstance(2), nested);  // nested containers never move
    EXPECT_TRUE(c.Remove(1));
    EXPECT_TRUE(c.Remove(5));
    EXPECT_TRUE(c.Remove(3));
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.Entries()[0].key, 2);
    EXPECT_EQ(c.GetString(4), "four");

    Container moved(std::move(c));
    EXPECT_EQ(c.Count(), 0);  // NOLINT(bugprone-use-after-move): a move leaves it empty
    EXPECT_EQ(moved.GetContainerInstance(2)->GetString(1), "nested");
    Container small;
    small.SetString(9, "inside");
    moved = std::move(small);
    EXPECT_EQ(moved.Count(), 1);
    EXPECT_EQ(moved.GetString(9), "inside");
    moved.SetInt32(9, 1);  // a text replaced by a number in place
    EXPECT_EQ(moved.GetInt32(9), 1);
}

// Large containers switch to an index; positions shift on removal and must stay right.
TEST(ContainerEntries, LargeContainerLooksUpCorrectlyAfterRemovals) {
    Container c;
    for (std::int32_t key = 0; key < 1000; ++key) c.SetInt32(key * 3, key);
    for (std::int32_t key = 0; key < 1000; key += 2) EXPECT_TRUE(c.Remove(key * 3));
    EXPECT_EQ(c.Count(), 500);
    for (std::int32_t key = 0; key < 1000; ++key) {
        EXPECT_EQ(c.GetInt32(key * 3, -1), key % 2 == 0 ? -1 : key) << key;
    }
    c.SetInt32(3, 77);
    EXPECT_EQ(c.Entries().front().value.AsInt32(), 77);
    c.SetInt32(-1, 5);  // a new key goes last
    EXPECT_EQ(c.Entries().back().key, -1);

    Container copy(c);
    EXPECT_EQ(copy.GetInt32(2997, -1), 999);
    EXPECT_TRUE(copy == c);
}

TEST(ContainerCopies, AreDeep) {
    Container inner(5);
    inner.SetString(1, "inner");
    Container outer(9);
    outer.SetContainer(100, inner);

    Container copy = outer;
    copy.GetContainerInstance(100)->SetString(1, "changed");
    EXPECT_EQ(outer.GetContainerInstance(100)->GetString(1), "inner");
    EXPECT_EQ(copy.GetContainerInstance(100)->Id(), 5);
    EXPECT_FALSE(copy == outer);

    // SetContainer stores a copy: the source can change afterwards.
    inner.SetString(1, "later");
    EXPECT_EQ(outer.GetContainerInstance(100)->GetString(1), "inner");

    Value value = Value::Nested(inner);
    Value valueCopy = value;
    valueCopy.AsContainer()->SetInt32(2, 1);
    EXPECT_FALSE(value.AsContainer()->Has(2));
}

TEST(ContainerCopies, StoringAContainerInsideItselfCopiesItFirst) {
    Container c;
    c.SetInt32(1, 10);
    c.SetContainer(2, c);
    c.SetContainer(2, *c.GetContainerInstance(2));  // replaced by a copy of itself
    const Container* nested = c.GetContainerInstance(2);
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(nested->GetInt32(1), 10);
    EXPECT_FALSE(nested->Has(2));
}

TEST(ContainerSlots, NameTheirOwnContainerAfterCopiesAndMoves) {
    Container a(1);
    a.SetContainer(7, Container(2));
    Container* nested = a.GetContainerInstance(7);
    HostContainerRef* nestedSlot = nested->Ref();

    Container copied(a);
    Container moved(std::move(a));
    Container assigned;
    assigned = copied;
    Container moveAssigned;
    moveAssigned = std::move(copied);

    for (Container* c : {&moved, &assigned, &moveAssigned}) {
        EXPECT_EQ(Container::FromHandle(c->Ref()->container), c);
        Container* inner = c->GetContainerInstance(7);
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(Container::FromHandle(inner->Ref()->container), inner);
    }
    // A move hands over the nested container itself: the slot given out before stays valid.
    EXPECT_EQ(moved.GetContainerInstance(7), nested);
    EXPECT_EQ(nestedSlot->container, nested->Handle());
    EXPECT_NE(assigned.GetContainerInstance(7), nested);
}

TEST(ContainerEquality, IgnoresOrderButNotIdOrValues) {
    Container a(3);
    a.SetInt32(1, 1);
    a.SetString(2, "x");
    Container b(3);
    b.SetString(2, "x");
    b.SetInt32(1, 1);
    EXPECT_TRUE(a == b);
    b.SetId(4);
    EXPECT_FALSE(a == b);
    b.SetId(3);
    b.SetInt64(1, 1);  // same number, other type
    EXPECT_FALSE(a == b);
}

TEST(ContainerValues, CustomDataKeepsItsTypeAndBytes) {
    CustomData data{1001053, {std::byte{1}, std::byte{2}, std::byte{3}}};
    Container c;
    c.Set(1, Value::Custom(data));
    EXPECT_EQ(c.TypeOf(1), 1001053);
    Container copy(c);
    ASSERT_NE(copy.Find(1)->AsCustom(), nullptr);
    EXPECT_EQ(*copy.Find(1)->AsCustom(), data);
    EXPECT_EQ(copy.Find(1)->AsInt32(-1), -1);
}

// Deep nesting must not overflow the stack in copy, comparison or destruction.
TEST(ContainerNesting, HundredThousandLevelsCopyCompareAndDestroy) {
    constexpr int kDepth = 100000;
    Container root;
    Container* level = &root;
    for (int i = 0; i < kDepth; ++i) {
        level->SetInt32(1, i);
        level->SetContainer(2, Container(i));
        level = level->GetContainerInstance(2);
    }
    Container copy(root);
    EXPECT_TRUE(copy == root);
    Container* deepest = &copy;
    for (int i = 0; i < kDepth; ++i) deepest = deepest->GetContainerInstance(2);
    deepest->SetInt32(1, -1);
    EXPECT_FALSE(copy == root);
    root.Clear();
    EXPECT_EQ(root.Count(), 0);
}

}  // namespace
}  // namespace vhost
