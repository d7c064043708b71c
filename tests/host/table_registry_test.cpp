// The registry area: command registration and ownership, command invocation with its state
// refresh, plug-in look-up, and resources.
#include <cstring>
#include <list>
#include <memory>

#include <gtest/gtest.h>

#include "host.h"

namespace vhost {
namespace {

HostStringView View(const char* text) { return {text, std::strlen(text)}; }

// What the test sees of a command after the host has disposed of it.
struct CommandLog {
    int executed = 0;
    int stateQueries = 0;
    int destroyed = 0;
    HostDocument* lastDocument = nullptr;
};

// A command as a module hands it over: an instance only the class table's callbacks touch.
struct FakeCommand {
    CommandLog* log;
    const HostTable* table;  // to add an event from inside execute
    bool addEvent = false;
    std::int32_t state = HOST_COMMAND_ENABLED;
};

bool HOST_ABI Execute(void* instance, HostDocument* document, HostDialog* /*parent*/) {
    auto* command = static_cast<FakeCommand*>(instance);
    ++command->log->executed;
    command->log->lastDocument = document;
    if (command->addEvent) command->table->documents->event_add(command->table, HOST_EVENT_NONE);
    return true;
}

std::int32_t HOST_ABI GetState(void* instance, HostDocument* /*document*/, HostDialog* /*parent*/) {
    auto* command = static_cast<FakeCommand*>(instance);
    ++command->log->stateQueries;
    return command->state;
}

void HOST_ABI Destroy(void* instance) {
    auto* command = static_cast<FakeCommand*>(instance);
    ++command->log->destroyed;
    delete command;
}

constexpr HostCommandClass kCommandClass{sizeof(HostCommandClass), &Execute, &GetState, &Destroy};

class TableRegistry : public ::testing::Test {
protected:
    bool Register(std::int32_t id, CommandLog& log,
                  std::int32_t apiVersion = HOST_INTERFACE_VERSION,
                  const HostCommandClass* klass = &kCommandClass) {
        auto* instance = new FakeCommand{&log, t};
        return r->register_command_plugin(t, id, View("vela"), HOST_COMMAND_INFO_HIDE_PLUGIN_MENU,
                                          nullptr, View("Vela Button"), klass, instance,
                                          apiVersion);
    }
    FakeCommand* InstanceOf(std::int32_t id) {
        return static_cast<FakeCommand*>(host->FindCommand(id)->instance);
    }
    // Logs outlive the host, which writes to them when it disposes of the commands.
    CommandLog& NewLog() { return logs.emplace_back(); }

    std::list<CommandLog> logs;
    std::unique_ptr<Host> host = std::make_unique<Host>();
    const HostTable* t = host->Table();
    const HostRegistryArea* r = t->registry;
};

TEST_F(TableRegistry, AcceptedCommandIsKeptAndDisposedOfWithTheHost) {
    CommandLog& log = NewLog();
    ASSERT_TRUE(Register(1022131, log));
    const RegisteredCommand* command = host->FindCommand(1022131);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->name, "vela");
    EXPECT_EQ(command->help, "Vela Button");
    EXPECT_EQ(command->info, HOST_COMMAND_INFO_HIDE_PLUGIN_MENU);
    EXPECT_FALSE(command->hasIcon);

    HostPlugin* plugin = r->find_plugin(t, 1022131, HOST_PLUGIN_COMMAND);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(r->plugin_get_info(t, plugin), HOST_COMMAND_INFO_HIDE_PLUGIN_MENU);
    EXPECT_EQ(r->find_plugin(t, 1022131, HOST_PLUGIN_OBJECT), nullptr);

    EXPECT_EQ(log.destroyed, 0);
    host.reset();
    EXPECT_EQ(log.destroyed, 1);
}

TEST_F(TableRegistry, RefusedCommandIsDisposedOfAtOnce) {
    CommandLog& first = NewLog();
    CommandLog& duplicate = NewLog();
    CommandLog& old = NewLog();
    ASSERT_TRUE(Register(1022131, first));
    EXPECT_FALSE(Register(1022131, duplicate));
    EXPECT_EQ(duplicate.destroyed, 1);
    EXPECT_FALSE(Register(1022132, old, HOST_INTERFACE_VERSION - 1));
    EXPECT_EQ(old.destroyed, 1);
    EXPECT_EQ(host->FindCommand(1022132), nullptr);

    CommandLog& orphan = NewLog();
    auto* instance = new FakeCommand{&orphan, t};
    EXPECT_FALSE(r->register_command_plugin(t, 5, View("x"), 0, nullptr, View(""), nullptr,
                                            instance, HOST_INTERFACE_VERSION));
    delete instance;  // no class table: the host cannot dispose of it

    EXPECT_EQ(host->Commands().size(), 1U);
    host.reset();
    EXPECT_EQ(first.destroyed, 1);
    EXPECT_EQ(duplicate.destroyed, 1);  // not a second time
}

TEST_F(TableRegistry, InvokingRefreshesStatesOnlyAfterAnEvent) {
    CommandLog& quiet = NewLog();
    CommandLog& eventful = NewLog();
    ASSERT_TRUE(Register(1, quiet));
    ASSERT_TRUE(Register(2, eventful));
    InstanceOf(2)->addEvent = true;
    InstanceOf(2)->state = HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED;

    EXPECT_TRUE(host->InvokeCommand(1));
    EXPECT_EQ(quiet.executed, 1);
    EXPECT_EQ(quiet.lastDocument, host->ActiveDocument().Handle());
    EXPECT_EQ(host->GetActivity().stateRefreshes, 0U);
    EXPECT_EQ(quiet.stateQueries, 0);

    EXPECT_TRUE(host->InvokeCommand(2));
    EXPECT_EQ(host->GetActivity().stateRefreshes, 1U);
    EXPECT_EQ(quiet.stateQueries, 1);  // every command is asked
    EXPECT_EQ(host->FindCommand(2)->lastState, HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED);
    EXPECT_EQ(host->FindCommand(1)->lastState, HOST_COMMAND_ENABLED);

    EXPECT_FALSE(host->InvokeCommand(3));
    EXPECT_EQ(host->QueryCommandState(3), 0);
    EXPECT_EQ(host->QueryCommandState(2), HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED);
}

TEST_F(TableRegistry, ObjectPluginsAnswerTheirInfoFlags) {
    HostPlugin* subdivision = r->find_plugin(t, 1007455, HOST_PLUGIN_OBJECT);
    ASSERT_NE(subdivision, nullptr);
    EXPECT_NE(r->plugin_get_info(t, subdivision) & HOST_OBJECT_INFO_INPUT, 0);
    HostPlugin* cube = r->find_plugin(t, 5159, HOST_PLUGIN_OBJECT);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(r->plugin_get_info(t, cube) & HOST_OBJECT_INFO_INPUT, 0);
    EXPECT_EQ(r->find_plugin(t, 424242, HOST_PLUGIN_OBJECT), nullptr);
    EXPECT_EQ(r->find_plugin(t, 5159, HOST_PLUGIN_COMMAND), nullptr);

    HostContainerRef* data = r->plugin_get_data_instance(t, cube);
    ASSERT_NE(data, nullptr);
    t->containers->set_int32(t, data->container, 1, 5);
    EXPECT_EQ(r->plugin_get_data_instance(t, cube), data);
    EXPECT_EQ(t->containers->get_int32(t, data->container, 1, 0), 5);
}

TEST_F(TableRegistry, StringsWithoutAResourceAreEmpty) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(r->load_string(t, nullptr, 20000, buffer, sizeof buffer), 0U);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(r->load_resource(t, View("/nowhere/res")), nullptr);
}

}  // namespace
}  // namespace vhost
