// The container area of the interface table, called as a module calls it.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host.h"

namespace vhost {
namespace {

HostStringView View(const char* text) { return {text, std::strlen(text)}; }

class TableContainers : public ::testing::Test {
protected:
    TableContainers() : c(host.Table()->containers), box(c->create(t, 1022131)) {}
    ~TableContainers() override { c->destroy(t, box); }
    TableContainers(const TableContainers&) = delete;
    TableContainers& operator=(const TableContainers&) = delete;

    std::string ReadString(const HostContainer* container, std::int32_t key, const char* preset) {
        std::size_t size = c->get_string(t, container, key, View(preset), nullptr, 0);
        std::string text(size, '\0');
        c->get_string(t, container, key, View(preset), text.data(), text.size());
        return text;
    }

    Host host;
    const HostTable* t = host.Table();
    const HostContainerArea* c;
    HostContainer* box;
};

TEST_F(TableContainers, TypedReadsOfTheWrongTypeAnswerThePreset) {
    c->set_string(t, box, 1, View("text"));
    c->set_float(t, box, 2, 0.5);
    c->set_int64(t, box, 3, 9);
    c->set_int32(t, box, 4, 4);

    EXPECT_EQ(c->get_int32(t, box, 1, -7), -7);
    EXPECT_TRUE(c->get_bool(t, box, 2, true));
    EXPECT_FALSE(c->get_bool(t, box, 3, false));
    EXPECT_EQ(c->get_int64(t, box, 4, -7), -7);
    EXPECT_EQ(c->get_float(t, box, 4, -7.0), -7.0);
    EXPECT_EQ(ReadString(box, 4, "preset"), "preset");
    EXPECT_EQ(ReadString(box, 99, "absent"), "absent");
    EXPECT_EQ(c->get_type(t, box, 99), HOST_TYPE_NONE);

    EXPECT_EQ(ReadString(box, 1, "preset"), "text");
    EXPECT_EQ(c->get_int32(t, box, 4, -7), 4);
}

TEST_F(TableContainers, BooleansAreInt32) {
    c->set_bool(t, box, 1000, true);
    EXPECT_EQ(c->get_type(t, box, 1000), HOST_TYPE_INT32);
    EXPECT_EQ(c->get_int32(t, box, 1000, -1), 1);
    c->set_bool(t, box, 1000, false);
    EXPECT_EQ(c->get_int32(t, box, 1000, -1), 0);
    EXPECT_FALSE(c->get_bool(t, box, 1000, true));
}

TEST_F(TableContainers, StringsFollowTheBufferProtocol) {
    c->set_string(t, box, 1, View("abcdef"));
    char small[3] = {'x', 'x', 'x'};
    EXPECT_EQ(c->get_string(t, box, 1, View(""), small, 2), 6U);
    EXPECT_EQ(std::string(small, 3), "abx");  // two bytes copied, no terminator
    c->set_string(t, box, 2, HostStringView{nullptr, 0});
    EXPECT_EQ(c->get_type(t, box, 2), HOST_TYPE_STRING);
    EXPECT_EQ(ReadString(box, 2, "preset"), "");
}

TEST_F(TableContainers, ContainerInstanceIsNullWhenAbsentOrAnotherType) {
    EXPECT_EQ(c->get_container_instance(t, box, 1022131), nullptr);
    c->set_int32(t, box, 1022131, 1);
    EXPECT_EQ(c->get_container_instance(t, box, 1022131), nullptr);
}

TEST_F(TableContainers, NestedInstanceIsWrittenInPlaceAndSetContainerCopies) {
    HostContainer* record = c->create(t, 1022131);
    c->set_int32(t, record, 1000, 2);
    c->set_container(t, box, 1022131, record);
    c->set_int32(t, record, 1000, 99);  // the stored copy does not see this
    c->destroy(t, record);

    HostContainerRef* slot = c->get_container_instance(t, box, 1022131);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(c->get_id(t, slot->container), 1022131);
    EXPECT_EQ(c->get_int32(t, slot->container, 1000, -1), 2);
    c->set_int32(t, slot->container, 1001, 1);
    EXPECT_EQ(c->get_int32(t, c->get_container_instance(t, box, 1022131)->container, 1001, -1), 1);

    EXPECT_TRUE(c->remove_data(t, box, 1022131));
    EXPECT_FALSE(c->remove_data(t, box, 1022131));
    EXPECT_EQ(c->get_container_instance(t, box, 1022131), nullptr);
}

TEST_F(TableContainers, CloneAndAssignAreDeep) {
    HostContainer* inner = c->create(t, 5);
    c->set_string(t, inner, 1, View("inner"));
    c->set_container(t, box, 7, inner);
    c->destroy(t, inner);

    HostContainer* clone = c->clone(t, box);
    c->set_string(t, c->get_container_instance(t, clone, 7)->container, 1, View("changed"));
    EXPECT_EQ(ReadString(c->get_container_instance(t, box, 7)->container, 1, ""), "inner");
    EXPECT_EQ(c->get_id(t, clone), 1022131);

    HostContainer* target = c->create(t, 0);
    c->set_int32(t, target, 50, 1);
    c->assign(t, target, clone);
    EXPECT_EQ(c->get_id(t, target), 1022131);
    EXPECT_EQ(c->get_type(t, target, 50), HOST_TYPE_NONE);
    EXPECT_EQ(ReadString(c->get_container_instance(t, target, 7)->container, 1, ""), "changed");
    c->destroy(t, target);
    c->destroy(t, clone);
    c->destroy(t, nullptr);  // ignored
}

TEST_F(TableContainers, KeysListInInsertionOrder) {
    c->set_int32(t, box, 30, 0);
    c->set_int32(t, box, 10, 0);
    c->set_int32(t, box, 30, 1);  // overwriting keeps the place
    std::int32_t key = 0;
    ASSERT_EQ(c->count(t, box), 2);
    ASSERT_TRUE(c->key_at(t, box, 0, &key));
    EXPECT_EQ(key, 30);
    ASSERT_TRUE(c->key_at(t, box, 1, &key));
    EXPECT_EQ(key, 10);
    EXPECT_FALSE(c->key_at(t, box, 2, &key));
    EXPECT_FALSE(c->key_at(t, box, -1, &key));
}

TEST_F(TableContainers, ValuesCopyInAndOutAndAnEmptyValueRemoves) {
    HostValue* value = c->value_create(t);
    EXPECT_EQ(c->value_get_type(t, value), HOST_TYPE_NONE);
    c->value_set_int32(t, value, 12);
    c->set_data(t, box, 3, value);
    EXPECT_EQ(c->get_int32(t, box, 3, 0), 12);
    EXPECT_EQ(c->value_get_int64(t, value), 0);  // another type reads as 0

    EXPECT_FALSE(c->get_data(t, box, 4, value));
    EXPECT_EQ(c->value_get_type(t, value), HOST_TYPE_NONE);
    EXPECT_TRUE(c->get_data(t, box, 3, value));
    EXPECT_EQ(c->value_get_int32(t, value), 12);

    c->value_clear(t, value);
    c->set_data(t, box, 3, value);
    EXPECT_EQ(c->get_type(t, box, 3), HOST_TYPE_NONE);
    c->value_destroy(t, value);
}

TEST_F(TableContainers, CustomDataAnswersOnlyForItsOwnType) {
    HostBitmapButtonData record{};
    record.dirty = 3;
    HostValue* value = c->value_create(t);
    c->value_set_custom(t, value, HOST_CUSTOMDATA_BITMAPBUTTON, &record, sizeof record);
    EXPECT_EQ(c->value_get_type(t, value), HOST_CUSTOMDATA_BITMAPBUTTON);

    HostBitmapButtonData back{};
    EXPECT_EQ(c->value_get_custom(t, value, HOST_CUSTOMDATA_BITMAPBUTTON, &back, sizeof back),
              sizeof record);
    EXPECT_EQ(back.dirty, 3);
    EXPECT_EQ(c->value_get_custom(t, value, HOST_CUSTOMDATA_BITMAPBUTTON + 1, &back, sizeof back),
              0U);
    c->value_destroy(t, value);
}

}  // namespace
}  // namespace vhost
