// The document area of the interface table: the tree as a module walks it, object states, links,
// takes, input state, and the host's record of scene changes around stops and events.
#include <gtest/gtest.h>

#include "host.h"

namespace vhost {
namespace {

constexpr std::int32_t kNull = HOST_OBJECT_NULL;
constexpr std::int32_t kInstance = HOST_OBJECT_INSTANCE;

class TableDocuments : public ::testing::Test {
protected:
    HostObject* Make(std::string_view name, Object* parent = nullptr) {
        return doc.CreateObject(kNull, name, {parent})->Handle();
    }

    Host host;
    const HostTable* t = host.Table();
    const HostDocumentArea* d = t->documents;
    const HostContainerArea* c = t->containers;
    Document& doc = host.ActiveDocument();
};

TEST_F(TableDocuments, WalksTheTreeThroughItsLinks) {
    HostObject* a = Make("A");
    HostObject* b = Make("B", Object::FromHandle(a));
    HostObject* e = Make("E");
    HostDocument* active = d->get_active_document(t);
    ASSERT_EQ(active, doc.Handle());
    EXPECT_EQ(d->get_first_object(t, active), a);
    EXPECT_EQ(d->object_get_down(t, a), b);
    EXPECT_EQ(d->object_get_up(t, b), a);
    EXPECT_EQ(d->object_get_next(t, a), e);
    EXPECT_EQ(d->object_get_pred(t, e), a);
    EXPECT_EQ(d->object_get_next(t, e), nullptr);
    EXPECT_EQ(d->object_get_down(t, b), nullptr);
    EXPECT_EQ(d->object_get_document(t, b), active);
    EXPECT_EQ(d->object_get_type(t, b), kNull);
    char name[8] = {};
    EXPECT_EQ(d->object_get_name(t, b, name, sizeof name), 1U);
    EXPECT_EQ(name[0], 'B');
}

TEST_F(TableDocuments, ActiveObjectsIncludeSelectedChildrenOfSelected) {
    HostObject* a = Make("A");
    HostObject* b = Make("B", Object::FromHandle(a));
    Make("C");
    d->object_set_bit(t, a, HOST_BIT_ACTIVE);
    d->object_set_bit(t, b, HOST_BIT_ACTIVE);

    HostAtomArray* array = d->atom_array_create(t);
    // 1: a flag this host does not define, and that a module may still pass.
    for (std::int32_t flags : {std::int32_t{HOST_ACTIVE_OBJECTS_NONE}, 1}) {
        d->get_active_objects(t, doc.Handle(), array, flags);
        ASSERT_EQ(d->atom_array_count(t, array), 2) << flags;
        EXPECT_EQ(d->atom_array_get(t, array, 0), a);
        EXPECT_EQ(d->atom_array_get(t, array, 1), b);
        EXPECT_EQ(d->atom_array_get(t, array, 2), nullptr);
        EXPECT_EQ(d->atom_array_get(t, array, -1), nullptr);
    }
    doc.DeselectAll();
    d->get_active_objects(t, doc.Handle(), array, HOST_ACTIVE_OBJECTS_NONE);
    EXPECT_EQ(d->atom_array_count(t, array), 0);
    d->atom_array_destroy(t, array);
}

TEST_F(TableDocuments, ModesOutsideTheRangeAreIgnored) {
    HostObject* a = Make("A");
    EXPECT_EQ(d->object_get_editor_mode(t, a), HOST_MODE_UNDEF);
    d->object_set_editor_mode(t, a, HOST_MODE_OFF);
    d->object_set_render_mode(t, a, HOST_MODE_ON);
    d->object_set_editor_mode(t, a, 3);
    d->object_set_render_mode(t, a, -1);
    EXPECT_EQ(d->object_get_editor_mode(t, a), HOST_MODE_OFF);
    EXPECT_EQ(d->object_get_render_mode(t, a), HOST_MODE_ON);
    EXPECT_TRUE(d->object_get_enabled(t, a));
    d->object_set_enabled(t, a, false);
    EXPECT_FALSE(Object::FromHandle(a)->Enabled());
}

TEST_F(TableDocuments, BitsChangeOnlyTheirMask) {
    HostObject* a = Make("A");
    Object::FromHandle(a)->SetBit(1);
    d->object_set_bit(t, a, HOST_BIT_ACTIVE);
    EXPECT_EQ(Object::FromHandle(a)->Bits(), 1 | HOST_BIT_ACTIVE);
    d->object_del_bit(t, a, HOST_BIT_ACTIVE);
    EXPECT_FALSE(d->object_get_bit(t, a, HOST_BIT_ACTIVE));
    EXPECT_TRUE(d->object_get_bit(t, a, 1));
}

TEST_F(TableDocuments, LinksResolveOnlyInTheirDocumentAndNotAfterDeletion) {
    HostObject* target = Make("target");
    HostObject* instance = doc.CreateObject(kInstance, "instance")->Handle();
    HostContainer* data = d->object_get_data_instance(t, instance)->container;
    c->set_object_link(t, data, HOST_INSTANCE_LINK, target);

    EXPECT_EQ(c->get_type(t, data, HOST_INSTANCE_LINK), HOST_TYPE_LINK);
    EXPECT_EQ(c->get_object_link(t, data, HOST_INSTANCE_LINK, doc.Handle()), target);
    Document& other = host.NewDocument("Other");
    other.CreateObject(kNull, "target");  // same name, other document
    EXPECT_EQ(c->get_object_link(t, data, HOST_INSTANCE_LINK, other.Handle()), nullptr);
    EXPECT_EQ(c->get_object_link(t, data, 1002, doc.Handle()), nullptr);

    doc.DeleteObject(Object::FromHandle(target));
    EXPECT_EQ(c->get_object_link(t, data, HOST_INSTANCE_LINK, doc.Handle()), nullptr);

    c->set_object_link(t, data, HOST_INSTANCE_LINK, nullptr);
    EXPECT_EQ(c->get_type(t, data, HOST_INSTANCE_LINK), HOST_TYPE_LINK);
    EXPECT_EQ(c->get_object_link(t, data, HOST_INSTANCE_LINK, doc.Handle()), nullptr);
}

TEST_F(TableDocuments, TakesAnswerCurrentAndMain) {
    HostTakeData* takes = d->get_take_data(t, doc.Handle());
    ASSERT_NE(takes, nullptr);
    HostTake* current = d->get_current_take(t, takes);
    EXPECT_EQ(current, d->get_main_take(t, takes));
    EXPECT_TRUE(d->take_is_main(t, current));

    Take* other = doc.Takes()->AddTake("Other");
    doc.Takes()->SetCurrent(other);
    EXPECT_FALSE(d->take_is_main(t, d->get_current_take(t, takes)));
    doc.Takes()->SetCurrent(nullptr);
    EXPECT_EQ(d->get_current_take(t, takes), nullptr);
    doc.RemoveTakeData();
    EXPECT_EQ(d->get_take_data(t, doc.Handle()), nullptr);
}

TEST_F(TableDocuments, InputStateReportsQualifiersUnderTheChannelCode) {
    HostContainer* result = c->create(t, 0);
    host.SetQualifiers(HOST_QUALIFIER_CTRL | HOST_QUALIFIER_ALT);
    ASSERT_TRUE(
        d->get_input_state(t, HOST_INPUT_DEVICE_KEYBOARD, HOST_INPUT_CHANNEL_QUALIFIER, result));
    EXPECT_EQ(c->get_int32(t, result, 0x69707161 /* 'ipqa' */, -1), 6);

    c->set_int32(t, result, HOST_INPUT_CHANNEL_QUALIFIER, 99);
    EXPECT_FALSE(
        d->get_input_state(t, 0x6D6F7573 /* 'mous' */, HOST_INPUT_CHANNEL_QUALIFIER, result));
    EXPECT_FALSE(d->get_input_state(t, HOST_INPUT_DEVICE_KEYBOARD, 0, result));
    host.SetKeyboardAvailable(false);
    EXPECT_FALSE(
        d->get_input_state(t, HOST_INPUT_DEVICE_KEYBOARD, HOST_INPUT_CHANNEL_QUALIFIER, result));
    EXPECT_EQ(c->get_int32(t, result, HOST_INPUT_CHANNEL_QUALIFIER, -1), 99);  // left as it was
    c->destroy(t, result);
}

TEST_F(TableDocuments, MessagesAreCountedById) {
    HostObject* a = Make("A");
    EXPECT_TRUE(d->object_message(t, a, 7, nullptr));
    d->object_message(t, a, 7, nullptr);
    d->object_message(t, a, 12, nullptr);
    EXPECT_EQ(Object::FromHandle(a)->MessagesReceived(7), 2U);
    EXPECT_EQ(Object::FromHandle(a)->MessagesReceived(12), 1U);
    EXPECT_EQ(Object::FromHandle(a)->MessagesReceived(13), 0U);
}

// Writes to scene data count; writes to a module's own containers and to the preferences do not.
TEST_F(TableDocuments, SceneChangesAreCountedAroundStopsAndEvents) {
    HostObject* a = Make("A");
    Activity& activity = host.GetActivity();
    HostContainer* docData = d->document_get_data_instance(t, doc.Handle())->container;
    HostContainer* own = c->create(t, 0);

    d->object_set_editor_mode(t, a, HOST_MODE_OFF);  // before any stop
    c->set_int32(t, own, 1, 1);
    c->set_int32(t, t->preferences->get_world_container_instance(t)->container, 1, 1);
    EXPECT_EQ(activity.sceneChanges, 1U);
    EXPECT_EQ(activity.changesBeforeFirstStop, 1U);

    d->stop_all_threads(t);
    HostContainer* record = c->create(t, 1022131);
    c->set_container(t, docData, 1022131, record);
    HostContainer* stored = c->get_container_instance(t, docData, 1022131)->container;
    c->set_int32(t, stored, 1003, 1);  // in place, nested in scene data
    d->event_add(t, HOST_EVENT_NONE);
    EXPECT_EQ(activity.sceneChanges, 3U);
    EXPECT_EQ(activity.changesBeforeFirstStop, 1U);
    EXPECT_EQ(activity.changesAfterLastEvent, 0U);

    c->set_bool(t, d->object_get_data_instance(t, a)->container, 5, true);
    EXPECT_EQ(activity.changesAfterLastEvent, 1U);
    EXPECT_EQ(activity.stopAllThreads, 1U);
    EXPECT_EQ(activity.eventsAdded, 1U);

    // The module's copy of scene data is its own.
    HostContainer* copy = c->clone(t, docData);
    c->set_int32(t, copy, 1, 1);
    EXPECT_EQ(activity.sceneChanges, 4U);
    c->destroy(t, copy);
    c->destroy(t, record);
    c->destroy(t, own);
}

}  // namespace
}  // namespace vhost
