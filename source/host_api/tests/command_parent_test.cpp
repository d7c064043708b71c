// The dialog a host invokes a command from reaches the command as that very dialog of the host's:
// whatever the command asks of its parent goes to the host with the handle the host passed.

#include <cstdint>

#include <gtest/gtest.h>

#include "host_api/c4d.h"
#include "host_api/host_interface.h"

namespace {

// What the stand-in host was handed.
const HostCommandClass* g_commandClass = nullptr;
void* g_command = nullptr;
const HostDialog* g_askedDialog = nullptr;

bool HOST_ABI RegisterCommand(const HostTable* /*host*/, std::int32_t /*id*/,
                              HostStringView /*name*/, std::int32_t /*info*/,
                              const HostBitmap* /*icon*/, HostStringView /*help*/,
                              const HostCommandClass* klass, void* instance,
                              std::int32_t /*apiVersion*/) {
    g_commandClass = klass;
    g_command = instance;
    return true;
}

bool HOST_ABI GetString(const HostTable* /*host*/, const HostDialog* dialog, std::int32_t /*id*/,
                        char* /*buffer*/, std::size_t /*capacity*/, std::size_t* /*size*/) {
    g_askedDialog = dialog;
    return false;
}

// A command that reads a gadget of the dialog it was invoked from.
class ParentReadingCommand : public CommandData {
public:
    Bool Execute(BaseDocument* /*doc*/, GeDialog* parentManager) override {
        String text;
        return parentManager != nullptr && !parentManager->GetString(1, text);
    }
    Int32 GetState(BaseDocument* /*doc*/, GeDialog* parentManager) override {
        String text;
        return parentManager != nullptr && !parentManager->GetString(1, text) ? CMD_ENABLED : 0;
    }
};

TEST(CommandParent, WhatACommandAsksOfItsParentReachesTheHostsDialog) {
    HostRegistryArea registry{};
    registry.size = sizeof registry;
    registry.register_command_plugin = &RegisterCommand;
    HostDialogArea dialogs{};
    dialogs.size = sizeof dialogs;
    dialogs.get_string = &GetString;
    HostTable table{};
    table.version = HOST_INTERFACE_VERSION;
    table.registry = &registry;
    table.dialogs = &dialogs;
    hostapi::HostInterface::Attach(&table);

    ASSERT_TRUE(RegisterCommandPlugin(1000001, String("reader"), 0, nullptr, String(""),
                                      new ParentReadingCommand()));
    ASSERT_NE(g_commandClass, nullptr);
    // The host's dialog is the host's own memory, nothing of the module's: its words are not a
    // dialog object of the client layer.
    std::uintptr_t hostDialog[4] = {0x11, 0x22, 0x33, 0x44};
    auto* parent = reinterpret_cast<HostDialog*>(hostDialog);

    EXPECT_TRUE(g_commandClass->execute(g_command, nullptr, parent));
    EXPECT_EQ(g_askedDialog, parent);
    g_askedDialog = nullptr;
    EXPECT_EQ(g_commandClass->get_state(g_command, nullptr, parent), CMD_ENABLED);
    EXPECT_EQ(g_askedDialog, parent);
    // Without a parent the command sees none.
    g_askedDialog = nullptr;
    EXPECT_FALSE(g_commandClass->execute(g_command, nullptr, nullptr));
    EXPECT_EQ(g_askedDialog, nullptr);

    g_commandClass->destroy(g_command);
    hostapi::HostInterface::Detach();
}

}  // namespace
