// Scenes at the sizes the host must carry: a chain a million levels deep and a million siblings.
// Every tree operation, the document's destructor included, must run without recursion.
#include <gtest/gtest.h>

#include "model/scene.h"
#include "vela_host/host_objects.h"

namespace vhost {
namespace {

constexpr std::int32_t kNull = HOST_OBJECT_NULL;
constexpr std::size_t kMillion = 1'000'000;

Object* BuildChain(Document& doc, std::size_t depth) {
    Object* top = doc.CreateObject(kNull, "level");
    Object* parent = top;
    for (std::size_t i = 1; i < depth; ++i) parent = doc.CreateObject(kNull, "level", {parent});
    return top;
}

std::size_t CountVisited(const Document& doc) {
    std::size_t visited = 0;
    doc.ForEach([&visited](Object&) {
        ++visited;
        return true;
    });
    return visited;
}

TEST(LargeScene, MillionDeepChainWalksCopiesAndDeletes) {
    Document doc;
    Object* top = BuildChain(doc, kMillion);
    EXPECT_EQ(CountVisited(doc), kMillion);

    Object* deepest = top;
    while (deepest->Down() != nullptr) deepest = deepest->Down();
    deepest->SetBit(kBitActive);
    EXPECT_EQ(doc.SelectedObjects().size(), 1U);

    // Moving the top under its deepest descendant must be refused after walking all the way up.
    ASSERT_FALSE(doc.MoveObject(top, {deepest}));

    Object* copy = doc.CopyObject(*top, {});
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(doc.ObjectCount(), 2 * kMillion);

    doc.DeleteObject(top);
    EXPECT_EQ(doc.ObjectCount(), kMillion);
    EXPECT_EQ(doc.FirstObject(), copy);
    // The copy is left for the document's destructor.
}

TEST(LargeScene, MillionSiblingsAppendFindAndDelete) {
    Document doc;
    Object* parent = doc.CreateObject(kNull, "parent");
    for (std::size_t i = 0; i < kMillion; ++i) doc.CreateObject(kNull, "child", {parent});
    doc.CreateObject(kNull, "last", {parent});
    EXPECT_EQ(CountVisited(doc), kMillion + 2);
    EXPECT_EQ(doc.FindByPath("parent/last").size(), 1U);
    EXPECT_EQ(doc.FindByPath("parent/child").size(), kMillion);

    doc.DeleteObject(parent);
    EXPECT_EQ(doc.ObjectCount(), 0U);
    EXPECT_EQ(doc.FirstObject(), nullptr);
}

// Clear reuses the freed slots; the document's destructor then meets a full chain again.
TEST(LargeScene, DeepChainClearsAndRebuilds) {
    Document doc;
    BuildChain(doc, kMillion);
    doc.Clear();
    EXPECT_EQ(doc.ObjectCount(), 0U);
    EXPECT_EQ(doc.FirstObject(), nullptr);
    BuildChain(doc, kMillion);
    EXPECT_EQ(CountVisited(doc), kMillion);
}

}  // namespace
}  // namespace vhost
