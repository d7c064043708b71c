// The module's entry point as the host calls it, from load to unload: the answer to every
// life-cycle message, what start-up registers and writes to the console, where the resource comes
// from, the exports and module record the host reads, and how the host fares with modules that are
// broken. Every case works on a freshly loaded module file and unloads it at its end.

#include <dlfcn.h>
#include <stdio.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Prefsvelaprefs.h"
#include "fixtures/late_registration_ids.h"
#include "host.h"
#include "modules/dynamic_library.h"
#include "modules/module.h"
#include "prefs/preference_pages.h"
#include "support/module_folder.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"
#include "ui/dialog_driver.h"
#include "vela_host/host_entry.h"
#include "vela_host/host_table.h"

namespace velatest {
namespace {

constexpr std::int32_t kPageId = ID_VELAPREFS;
constexpr std::int32_t kOldHostVersion = HOST_INTERFACE_VERSION - 1;
constexpr std::int32_t kManualButton = VELAPREFS_MANUAL;
constexpr std::int32_t kLineCommandRefused = 9;
constexpr std::int32_t kLinePageRefused = 13;
constexpr std::int32_t kLineBanner = 16;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A copy of a host's table and its areas, under another interface version, with an area cut back
// to an older size, or with the loading and release of resources counted. The host finds itself
// from the table pointer, in the word that follows the table; the copy keeps that word, so whatever
// a module calls through the copy reaches the same host. The counting functions pass the host's
// own table on.
struct TableCopy {
    HostTable table;
    vhost::Host* host;
    const HostTable* original;
    HostRegistryArea registry;
    HostContainerArea containers;
    HostDocumentArea documents;
    HostPreferenceArea preferences;
    HostShortcutArea shortcuts;
    HostDialogArea dialogs;
    HostFileArea files;
    HostConsoleArea console;
    mutable int resourceLoads;
    mutable int resourceFrees;
};

// An area is its size followed by function pointers only.
template <typename Area>
constexpr std::size_t MemberCount() {
    static_assert((sizeof(Area) - sizeof(std::size_t)) % sizeof(void (*)()) == 0);
    return (sizeof(Area) - sizeof(std::size_t)) / sizeof(void (*)());
}

// Cuts `area` back to its first `kept` members, as an older host's area would end; the slots cut
// off are null, so a call through one of them crashes rather than reach the host.
template <typename Area>
void CutArea(Area& area, std::size_t kept) {
    area.size = sizeof(std::size_t) + kept * sizeof(void (*)());
    std::memset(reinterpret_cast<char*>(&area) + area.size, 0, sizeof(Area) - area.size);
}

struct AreaCut {
    const char* name;
    std::size_t members;
    void (*cut)(TableCopy& copy, std::size_t kept);
};

const std::vector<AreaCut> kAreaCuts{
    {"registry", MemberCount<HostRegistryArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.registry, kept); }},
    {"containers", MemberCount<HostContainerArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.containers, kept); }},
    {"documents", MemberCount<HostDocumentArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.documents, kept); }},
    {"preferences", MemberCount<HostPreferenceArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.preferences, kept); }},
    {"shortcuts", MemberCount<HostShortcutArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.shortcuts, kept); }},
    {"dialogs", MemberCount<HostDialogArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.dialogs, kept); }},
    {"files", MemberCount<HostFileArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.files, kept); }},
    {"console", MemberCount<HostConsoleArea>(),
     [](TableCopy& copy, std::size_t kept) { CutArea(copy.console, kept); }},
};

const TableCopy& CopyOf(const HostTable* table) {
    return *reinterpret_cast<const TableCopy*>(table);
}

HostResource* HOST_ABI CountedLoadResource(const HostTable* table, HostStringView folder) {
    const TableCopy& copy = CopyOf(table);
    ++copy.resourceLoads;
    return copy.original->registry->load_resource(copy.original, folder);
}

void HOST_ABI CountedFreeResource(const HostTable* table, HostResource* resource) {
    const TableCopy& copy = CopyOf(table);
    ++copy.resourceFrees;
    copy.original->registry->free_resource(copy.original, resource);
}

// Whether `host` keeps itself where TableCopy keeps it; the copies rely on it.
bool HostSitsAfterItsTable(vhost::Host& host) {
    vhost::Host* found = nullptr;
    std::memcpy(&found, reinterpret_cast<const char*>(host.Table()) + offsetof(TableCopy, host),
                sizeof found);
    return found == &host;
}

// A dummy command and page the host holds before the module starts, so that it refuses the
// module's registration of the same id.
bool HOST_ABI DummyExecute(void*, HostDocument*, HostDialog*) { return true; }
std::int32_t HOST_ABI DummyState(void*, HostDocument*, HostDialog*) { return 0; }
void HOST_ABI DummyDestroy(void*) {}
constexpr HostCommandClass kDummyCommand{sizeof(HostCommandClass), &DummyExecute, &DummyState,
                                         &DummyDestroy};

void* HOST_ABI DummyAlloc(void*) { return nullptr; }
bool HOST_ABI DummyInit(void*, HostNode*) { return true; }
bool HOST_ABI DummyMessage(void*, HostNode*, std::int32_t, void*) { return true; }
bool HOST_ABI DummyDescription(void*, HostNode*, HostDescription*, std::int32_t*) { return false; }
bool HOST_ABI DummyGet(void*, HostNode*, const HostDescId*, HostValueRef*, std::int32_t*) {
    return false;
}
bool HOST_ABI DummySet(void*, HostNode*, const HostDescId*, const HostValueRef*, std::int32_t*) {
    return false;
}
bool HOST_ABI DummyEnabling(void*, HostNode*, const HostDescId*, const HostValueRef*, std::int32_t,
                            const HostContainer*) {
    return true;
}
constexpr HostPageClass kDummyPage{
    sizeof(HostPageClass), nullptr,           &DummyAlloc, &DummyDestroy, &DummyInit,
    &DummyMessage,         &DummyDescription, &DummyGet,   &DummySet,     &DummyEnabling};

void TakeCommandId(vhost::Host& host) {
    const HostTable* table = host.Table();
    const std::string name = "other";
    ASSERT_TRUE(table->registry->register_command_plugin(
        table, kCommandId, {name.data(), name.size()}, 0, nullptr, {nullptr, 0}, &kDummyCommand,
        nullptr, HOST_INTERFACE_VERSION));
}

void TakePageId(vhost::Host& host) {
    const HostTable* table = host.Table();
    const std::string name = "Other page";
    ASSERT_TRUE(table->registry->register_plugin(table, HOST_PLUGIN_PREFS, kPageId,
                                                 {name.data(), name.size()}, 0, &kDummyPage,
                                                 HOST_INTERFACE_VERSION));
}

// The module file opened by the host's loader and driven through its entry point directly, with
// a host of its own. At the end the module gets as many end messages as it had initialisations,
// then the hosts go (their disposals run the module's destructors), then the file is unloaded.
class LoadedModule {
public:
    explicit LoadedModule(std::string path = VELA_MODULE_FILE)
        : path_(std::move(path)), host_(std::make_unique<vhost::Host>()) {
        module_ = vhost::Module::Open(path_, error_);
    }
    ~LoadedModule() {
        if (module_) {
            while (pendingEnds_ > 0) End();
        }
        copies_.clear();
        other_.reset();
        host_.reset();
        module_.reset();
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool Opened() const { return module_ != nullptr; }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }
    std::string Folder() const { return fs::path(path_).parent_path().string(); }
    vhost::Host& Host() { return *host_; }
    // A second host, gone before the module is unloaded.
    vhost::Host& OtherHost() {
        if (!other_) other_ = std::make_unique<vhost::Host>();
        return *other_;
    }
    // A copy of `host`'s table (see TableCopy), kept until the module has ended.
    TableCopy& CopyTable(vhost::Host& host, std::int32_t version = HOST_INTERFACE_VERSION) {
        EXPECT_TRUE(HostSitsAfterItsTable(host)) << "the host no longer keeps itself after its "
                                                    "table; TableCopy must follow it";
        auto copy = std::make_unique<TableCopy>();
        const HostTable& original = *host.Table();
        copy->table = original;
        copy->table.version = version;
        copy->host = &host;
        copy->original = &original;
        copy->registry = *original.registry;
        copy->registry.load_resource = &CountedLoadResource;
        copy->registry.free_resource = &CountedFreeResource;
        copy->containers = *original.containers;
        copy->documents = *original.documents;
        copy->preferences = *original.preferences;
        copy->shortcuts = *original.shortcuts;
        copy->dialogs = *original.dialogs;
        copy->files = *original.files;
        copy->console = *original.console;
        copy->table.registry = &copy->registry;
        copy->table.containers = &copy->containers;
        copy->table.documents = &copy->documents;
        copy->table.preferences = &copy->preferences;
        copy->table.shortcuts = &copy->shortcuts;
        copy->table.dialogs = &copy->dialogs;
        copy->table.files = &copy->files;
        copy->table.console = &copy->console;
        copy->resourceLoads = 0;
        copy->resourceFrees = 0;
        copies_.push_back(std::move(copy));
        return *copies_.back();
    }

    std::int32_t Init(const HostTable* table, const std::string* modulePath) {
        ++pendingEnds_;
        HostStringView path{};
        if (modulePath != nullptr) path = {modulePath->data(), modulePath->size()};
        return module_->Call(HOST_ACTION_INIT, const_cast<HostTable*>(table), nullptr,
                             modulePath != nullptr ? &path : nullptr);
    }
    std::int32_t Init() { return Init(host_->Table(), &path_); }
    std::int32_t Message(std::uint64_t p1) {
        return module_->Call(HOST_ACTION_MESSAGE,
                             reinterpret_cast<void*>(static_cast<std::uintptr_t>(p1)));
    }
    std::int32_t Start() { return module_->Call(HOST_ACTION_START); }
    std::int32_t End() {
        --pendingEnds_;
        return module_->Call(HOST_ACTION_END);
    }
    std::int32_t Call(std::int32_t action) { return module_->Call(action); }
    // Unloads the module without the end messages its initialisations call for.
    void ForgetEnds() { pendingEnds_ = 0; }

    // The key-assignment button clicked, `key` typed and confirmed, the summary dismissed.
    void AssignKey(const std::string& key) {
        using vhost::DialogAction;
        for (const DialogAction& action : {DialogAction{DialogAction::Kind::Type, key, {}},
                                           DialogAction{DialogAction::Kind::Ok, {}, {}},
                                           DialogAction{DialogAction::Kind::MessageOk, {}, {}}}) {
            host_->Dialogs().Queue(action);
        }
        vhost::PageNode* node = host_->Pages().NodeOf(kPageId);
        if (node != nullptr) host_->Pages().Click(*node, vhost::DescIdOf(VELAPREFS_ASSIGN_HOTKEY));
    }

    // The manual the page opens on a click, as the host records it.
    std::string ClickManual() {
        vhost::PageNode* node = host_->Pages().NodeOf(kPageId);
        if (node == nullptr) return "(no page)";
        host_->Pages().Click(*node, vhost::DescIdOf(kManualButton));
        return host_->OpenedFiles().empty() ? "(nothing opened)" : host_->OpenedFiles().back();
    }

private:
    std::string path_;
    std::string error_;
    std::unique_ptr<vhost::Host> host_;
    std::unique_ptr<vhost::Host> other_;
    std::vector<std::unique_ptr<TableCopy>> copies_;
    std::unique_ptr<vhost::Module> module_;
    int pendingEnds_ = 0;
};

void ExpectConsoleLine(const vhost::ConsoleLine& line, std::int32_t number) {
    EXPECT_EQ(line.logger, "net.maxon.core.logger.default");
    EXPECT_EQ(line.audience, 14);
    EXPECT_EQ(line.flags, 1);
    EXPECT_EQ(line.file, "..\\source\\Main");
    EXPECT_EQ(line.line, number);
}

std::size_t LinesAt(const vhost::Host& host, std::int32_t number) {
    return static_cast<std::size_t>(
        std::count_if(host.Console().begin(), host.Console().end(),
                      [number](const vhost::ConsoleLine& line) { return line.line == number; }));
}

// Life-cycle messages ----------------------------------------------------------------------------

TEST(ModuleEntry, StartRegistersTheCommandAndThePageAndWritesTheBanner) {
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    EXPECT_EQ(module.Init(), 1);
    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
    EXPECT_TRUE(module.Host().Console().empty());
    EXPECT_EQ(module.Start(), 1);

    ASSERT_EQ(module.Host().Console().size(), 1U);
    const vhost::ConsoleLine& banner = module.Host().Console().front();
    ExpectConsoleLine(banner, kLineBanner);
    EXPECT_TRUE(Contains(banner.text, "Vela")) << banner.text;
    EXPECT_TRUE(Contains(banner.text, "2023.0.1")) << banner.text;
    EXPECT_TRUE(Contains(banner.text, "Velacraft Studio")) << banner.text;

    const vhost::RegisteredCommand* command = module.Host().FindCommand(kCommandId);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->name, "vela");
    EXPECT_EQ(command->help, "Vela Button for 2023");
    EXPECT_EQ(command->info, 0x10000000);
    EXPECT_EQ(command->apiVersion, HOST_INTERFACE_VERSION);
    EXPECT_TRUE(command->hasIcon);
    EXPECT_NE(module.Host().FindPlugin(kCommandId, HOST_PLUGIN_COMMAND), nullptr);
    EXPECT_EQ(module.Host().Commands().size(), 1U);

    const vhost::PluginRecord* page = module.Host().FindPlugin(kPageId, HOST_PLUGIN_PREFS);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->name, "Vela Button");
    EXPECT_EQ(module.End(), 1);
}

TEST(ModuleEntry, HostsOlderThanTheModuleAndAMissingModulePathAreRefused) {
    {
        LoadedModule module;
        ASSERT_TRUE(module.Opened()) << module.Error();
        const TableCopy& current = module.CopyTable(module.Host(), HOST_INTERFACE_VERSION);
        EXPECT_EQ(module.Init(&current.table, &module.Path()), 1);
    }
    {
        LoadedModule module;
        ASSERT_TRUE(module.Opened()) << module.Error();
        const TableCopy& old = module.CopyTable(module.Host(), kOldHostVersion);
        EXPECT_EQ(module.Init(&old.table, &module.Path()), -3);
        EXPECT_EQ(old.resourceLoads, 0);
    }
    {
        LoadedModule module;
        ASSERT_TRUE(module.Opened()) << module.Error();
        EXPECT_EQ(module.Init(module.Host().Table(), nullptr), -3);
    }
}

// An older host's areas are shorter. However short an area is, the module either refuses the
// table at initialisation and then calls nothing through it, or works with it and never calls a
// member the area lacks (such a call would crash on the null slot). An area is refused from some
// length down, and a whole one is accepted.
TEST(ModuleEntry, AnAreaTooShortForTheModuleIsRefusedAndNeverCalledThrough) {
    for (const AreaCut& area : kAreaCuts) {
        bool refusedLonger = false;
        for (std::size_t kept = area.members + 1; kept-- > 0;) {
            SCOPED_TRACE(std::string(area.name) + " cut to " + std::to_string(kept) + " of " +
                         std::to_string(area.members) + " members");
            LoadedModule module;
            ASSERT_TRUE(module.Opened()) << module.Error();
            TableCopy& copy = module.CopyTable(module.Host());
            area.cut(copy, kept);
            AddObject(module.Host().ActiveDocument(), kCube, "Cube", nullptr, {}, true);
            AddObject(module.Host().ActiveDocument(), kSphere, "Sphere", nullptr);

            const std::int32_t init = module.Init(&copy.table, &module.Path());
            if (init == HOST_ENTRY_UNSUPPORTED_HOST) {
                EXPECT_NE(kept, area.members) << "a whole area is refused";
                EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), -1);
                EXPECT_EQ(module.Start(), 0);
                EXPECT_EQ(copy.resourceLoads, 0);
                EXPECT_TRUE(module.Host().Console().empty());
                EXPECT_TRUE(module.Host().Commands().empty());
                EXPECT_EQ(module.Host().Pages().Find(kPageId), nullptr);
                refusedLonger = true;
                continue;
            }
            ASSERT_EQ(init, 1);
            EXPECT_FALSE(refusedLonger) << "accepted, though a longer area was refused";
            EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
            EXPECT_EQ(module.Start(), 1);
            module.Host().FinishStartup();  // the page creates the settings the command reads
            EXPECT_TRUE(module.Host().InvokeCommand(kCommandId));
            EXPECT_EQ(module.Host().QueryCommandState(kCommandId), kIsolated);
            EXPECT_TRUE(module.Host().InvokeCommand(kCommandId));
            EXPECT_EQ(module.ClickManual(), module.Folder() + "/ManualEN.pdf");
            module.AssignKey("k");
            EXPECT_EQ(module.Host().Dialogs().MessageBoxes().size(), 1U);
        }
        EXPECT_TRUE(refusedLonger) << area.name << " without members is accepted";
    }
}

// Unloading really unloads: a module loaded again counts its initialisations from 0.
TEST(ModuleEntry, AModuleLoadedAgainStartsCountingAfresh) {
    {
        LoadedModule module;
        ASSERT_TRUE(module.Opened()) << module.Error();
        // The first initialisation checks and refuses; the second only counts, and is answered
        // as the first was.
        EXPECT_EQ(module.Init(module.Host().Table(), nullptr), -3);
        EXPECT_EQ(module.Init(), -3);
        module.ForgetEnds();
    }
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    // Counted from 0 again, the first initialisation checks once more, and accepts.
    EXPECT_EQ(module.Init(), 1);
}

// A loaded module serves one host: the actions after the initialisation carry no table. Another
// host's initialisation is refused while the module is initialised, and counted like any other.
TEST(ModuleEntry, AnotherHostIsRefusedUntilTheLastEndReleasesTheModule) {
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    const TableCopy& first = module.CopyTable(module.Host());
    const TableCopy& second = module.CopyTable(module.OtherHost());
    TempFolder elsewhere;
    const std::string otherPath = (elsewhere / "vela2023.xdl64").string();

    EXPECT_EQ(module.Init(&first.table, &module.Path()), 1);
    EXPECT_EQ(module.Init(&second.table, &otherPath), -3);
    // The resource is found beside the first path and loaded through the first table.
    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
    EXPECT_EQ(first.resourceLoads, 1);
    EXPECT_EQ(second.resourceLoads, 0);
    EXPECT_EQ(module.Start(), 1);
    EXPECT_NE(module.Host().FindCommand(kCommandId), nullptr);
    EXPECT_EQ(module.Host().Console().size(), 1U);
    EXPECT_EQ(module.OtherHost().FindCommand(kCommandId), nullptr);
    EXPECT_TRUE(module.OtherHost().Console().empty());
    EXPECT_EQ(module.ClickManual(), module.Folder() + "/ManualEN.pdf");

    // The first end only counts down: resource and module path stay.
    EXPECT_EQ(module.End(), 1);
    EXPECT_EQ(first.resourceFrees, 0);
    EXPECT_TRUE(module.Host().InvokeCommand(kCommandId));
    EXPECT_EQ(module.ClickManual(), module.Folder() + "/ManualEN.pdf");

    // The end that brings the count to 0 releases both.
    EXPECT_EQ(module.End(), 1);
    EXPECT_EQ(first.resourceFrees, 1);
    EXPECT_EQ(second.resourceFrees, 0);
    EXPECT_EQ(module.ClickManual(), "ManualEN.pdf");
    // An end that matches no initialisation changes nothing.
    EXPECT_EQ(module.Call(HOST_ACTION_END), 1);

    // Released, the module serves the other host from its first initialisation on.
    EXPECT_EQ(module.Init(&second.table, &module.Path()), 1);
    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
    EXPECT_EQ(second.resourceLoads, 1);
    EXPECT_EQ(module.Start(), 1);
    EXPECT_NE(module.OtherHost().FindCommand(kCommandId), nullptr);
    EXPECT_EQ(first.resourceLoads, 1);
}

TEST(ModuleEntry, PluginMessagesCountOnlyTheLowWordAndLoadTheResourceOnce) {
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    const TableCopy& table = module.CopyTable(module.Host());
    ASSERT_EQ(module.Init(&table.table, &module.Path()), 1);

    EXPECT_EQ(module.Message(0), 1);
    EXPECT_EQ(module.Message(2), -1);
    EXPECT_EQ(module.Message((std::uint64_t{1} << 32U) | 2U), -1);
    EXPECT_EQ(table.resourceLoads, 0);
    EXPECT_EQ(module.Message((std::uint64_t{1} << 32U) | 1U), 1);
    EXPECT_EQ(table.resourceLoads, 1);
    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
    EXPECT_EQ(table.resourceLoads, 1);
}

TEST(ModuleEntry, AFailedResourceLoadIsNotRetriedWhenTheFolderAppears) {
    TempFolder folder;
    LoadedModule module(CopyModuleTo(folder.Path()).string());
    ASSERT_TRUE(module.Opened()) << module.Error();
    const TableCopy& table = module.CopyTable(module.Host());
    ASSERT_EQ(module.Init(&table.table, &module.Path()), 1);

    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), -1);
    EXPECT_EQ(table.resourceLoads, 1);
    CopyResourceTo(folder / "res");
    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), -1);
    EXPECT_EQ(table.resourceLoads, 1);
    // Nothing was loaded, so nothing is released.
    EXPECT_EQ(module.End(), 1);
    EXPECT_EQ(table.resourceFrees, 0);
}

TEST(ModuleEntry, QueryAnswersTheModuleKindAndUnknownActionsAreUnhandled) {
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    EXPECT_EQ(module.Call(HOST_ACTION_QUERY), HOST_ENTRY_PLUGIN_MODULE);
    for (std::int32_t action : {0, 5, 7, -1, 100}) {
        EXPECT_EQ(module.Call(action), -1) << "action " << action;
    }
    // None of them counted as an initialisation: the next one is the first, and accepts.
    EXPECT_EQ(module.Init(), 1);
    EXPECT_TRUE(module.Host().Console().empty());
    EXPECT_TRUE(module.Host().Commands().empty());
}

// Refused registrations ---------------------------------------------------------------------------

TEST(ModuleEntry, ARefusedCommandFailsTheStartBeforeThePage) {
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    ASSERT_NO_FATAL_FAILURE(TakeCommandId(module.Host()));
    ASSERT_EQ(module.Init(), 1);
    ASSERT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
    EXPECT_EQ(module.Start(), 0);

    ASSERT_EQ(module.Host().Console().size(), 1U);
    ExpectConsoleLine(module.Host().Console().front(), kLineCommandRefused);
    EXPECT_EQ(module.Host().Console().front().text, "Vela could not be registered.");
    EXPECT_EQ(module.Host().FindPlugin(kPageId, HOST_PLUGIN_PREFS), nullptr);
    EXPECT_EQ(module.Host().Pages().Find(kPageId), nullptr);
    ASSERT_EQ(module.Host().Commands().size(), 1U);
    EXPECT_EQ(module.Host().Commands().front().name, "other");
}

TEST(ModuleEntry, ARefusedPageFailsTheStartAndLeavesTheCommandRegistered) {
    LoadedModule module;
    ASSERT_TRUE(module.Opened()) << module.Error();
    ASSERT_NO_FATAL_FAILURE(TakePageId(module.Host()));
    ASSERT_EQ(module.Init(), 1);
    ASSERT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), 1);
    EXPECT_EQ(module.Start(), 0);

    ASSERT_EQ(module.Host().Console().size(), 1U);
    ExpectConsoleLine(module.Host().Console().front(), kLinePageRefused);
    EXPECT_EQ(module.Host().Console().front().text, "VelaPrefs could not be registered.");
    const vhost::RegisteredCommand* command = module.Host().FindCommand(kCommandId);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->name, "vela");
    EXPECT_EQ(module.Host().FindPlugin(kPageId, HOST_PLUGIN_PREFS)->name, "Other page");
}

TEST(ModuleEntry, TheHostAbandonsAModuleWhoseStartFailed) {
    vhost::Host host;
    ASSERT_NO_FATAL_FAILURE(TakePageId(host));
    const vhost::ModuleLoadReport report = host.LoadModule(VELA_MODULE_FILE);
    EXPECT_FALSE(report.started);
    EXPECT_EQ(report.initAnswer, 1);
    EXPECT_EQ(report.resourceAnswer, 1);
    EXPECT_EQ(report.startAnswer, 0);
    ASSERT_EQ(report.messages.size(), 1U);
    EXPECT_TRUE(Contains(report.messages[0], VELA_MODULE_FILE)) << report.messages[0];
    EXPECT_TRUE(Contains(report.messages[0], "start answered 0")) << report.messages[0];
    EXPECT_EQ(LinesAt(host, kLinePageRefused), 1U);
    // The host took back what the module had registered and goes on without it.
    EXPECT_EQ(host.FindCommand(kCommandId), nullptr);
    EXPECT_TRUE(host.Modules().empty());
    EXPECT_NE(host.FindPlugin(kPageId, HOST_PLUGIN_PREFS), nullptr);
}

// Where the resource comes from -------------------------------------------------------------------

TEST(ModuleResource, WithoutItsResourceFolderTheModuleCannotRegisterItsPage) {
    TempFolder folder;
    LoadedModule module(CopyModuleTo(folder.Path()).string());
    ASSERT_TRUE(module.Opened()) << module.Error();
    ASSERT_EQ(module.Init(), 1);
    EXPECT_EQ(module.Message(HOST_PLUGINMSG_LOAD_RESOURCE), -1);
    // The page's description lies in the resource, so the page cannot be registered; the command
    // is, without its icon.
    EXPECT_EQ(module.Start(), 0);
    EXPECT_EQ(LinesAt(module.Host(), kLinePageRefused), 1U);
    EXPECT_EQ(LinesAt(module.Host(), kLineBanner), 0U);
    const vhost::RegisteredCommand* command = module.Host().FindCommand(kCommandId);
    ASSERT_NE(command, nullptr);
    EXPECT_FALSE(command->hasIcon);
}

TEST(ModuleResource, WithoutTheIconTheModuleStartsAndTheCommandHasNoIcon) {
    TempFolder folder;
    const fs::path file = CopyModuleTo(folder.Path());
    CopyResourceTo(folder / "res");
    fs::remove(folder / "res" / "vela_icon.tif");

    vhost::Host host;
    const vhost::ModuleLoadReport report = host.LoadModule(file.string());
    EXPECT_TRUE(report.started);
    EXPECT_EQ(report.resourceAnswer, 1);
    EXPECT_EQ(report.startAnswer, 1);
    EXPECT_EQ(LinesAt(host, kLineBanner), 1U);
    const vhost::RegisteredCommand* command = host.FindCommand(kCommandId);
    ASSERT_NE(command, nullptr);
    EXPECT_FALSE(command->hasIcon);
}

TEST(ModuleResource, WithoutTextTwentyThousandThePageHasAnEmptyTitle) {
    TempFolder folder;
    const fs::path file = CopyModuleTo(folder.Path());
    CopyResourceTo(folder / "res");
    for (const char* language : {"strings_en-US", "strings_de-DE"}) {
        WriteTextFile(folder / "res" / language / "c4d_strings.str", "STRINGTABLE\n{\n}\n");
    }

    vhost::Host host;
    const vhost::ModuleLoadReport report = host.LoadModule(file.string());
    EXPECT_EQ(report.resourceAnswer, 1);
    EXPECT_TRUE(report.started);
    const vhost::PluginRecord* page = host.FindPlugin(kPageId, HOST_PLUGIN_PREFS);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->name, "");
}

// A module among the host's core modules finds its resource in the host's resource folder, under
// the module file's name without its extension; any other module beside itself, in "res".
TEST(ModuleResource, ACoreModuleTakesItsResourceFromTheHostsResourceFolder) {
    for (const char* name : {"vela2023", "velacore"}) {
        SCOPED_TRACE(name);
        TempFolder folder;
        const fs::path file = CopyModuleTo(folder / "corelibs", std::string(name) + ".xdl64");
        const fs::path resource = folder / "startup" / "resource" / "modules" / name;
        CopyResourceTo(resource);
        WriteTextFile(resource / "strings_en-US" / "c4d_strings.str",
                      StringTableWithTitle("Vela from the host"));

        vhost::Host host;
        host.SetFolder(HOST_FOLDER_STARTUP, (folder / "startup").string());
        host.SetFolder(HOST_FOLDER_CORE_MODULES, (folder / "corelibs").string());
        const vhost::ModuleLoadReport report = host.LoadModule(file.string());
        EXPECT_EQ(report.resourceAnswer, 1);
        ASSERT_TRUE(report.started);
        EXPECT_EQ(host.FindPlugin(kPageId, HOST_PLUGIN_PREFS)->name, "Vela from the host");
        EXPECT_TRUE(host.FindCommand(kCommandId)->hasIcon);
    }
}

TEST(ModuleResource, AModuleOutsideTheCoreModulesTakesItsResourceFromBesideItself) {
    TempFolder folder;
    const fs::path file = CopyModuleTo(folder / "plugins");
    CopyResourceTo(folder / "plugins" / "res");
    WriteTextFile(folder / "plugins" / "res" / "strings_en-US" / "c4d_strings.str",
                  StringTableWithTitle("Vela from beside"));
    const fs::path hostResource = folder / "startup" / "resource" / "modules" / "vela2023";
    CopyResourceTo(hostResource);
    WriteTextFile(hostResource / "strings_en-US" / "c4d_strings.str",
                  StringTableWithTitle("Vela from the host"));

    vhost::Host host;
    host.SetFolder(HOST_FOLDER_STARTUP, (folder / "startup").string());
    host.SetFolder(HOST_FOLDER_CORE_MODULES, (folder / "corelibs").string());
    const vhost::ModuleLoadReport report = host.LoadModule(file.string());
    ASSERT_TRUE(report.started);
    EXPECT_EQ(host.FindPlugin(kPageId, HOST_PLUGIN_PREFS)->name, "Vela from beside");
}

// What the host reads of the file ---------------------------------------------------------------

TEST(ModuleFile, ExportsExactlyTheEntryPointTheRecordAndTheYieldHook) {
    const std::string command = "nm -D --defined-only '" + BuiltModuleFile().string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    ASSERT_EQ(::pclose(pipe), 0) << command << "\n" << output;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        const std::size_t name = line.find_last_of(' ');
        if (!line.empty()) symbols.insert(name == std::string::npos ? line : line.substr(name + 1));
        start = end + 1;
    }
    EXPECT_EQ(symbols, (std::set<std::string>{"c4d_main", "g_maxon", "g_CpuYieldDelegate"}))
        << output;
}

TEST(ModuleFile, TheModuleRecordDeclaresTheModuleAndItsFrameworks) {
    vhost::DynamicLibrary library;
    ASSERT_TRUE(library.Open(BuiltModuleFile().string())) << library.Error();
    const auto* record = static_cast<const HostModuleRecord*>(library.Symbol("g_maxon"));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->version, 2022901U);
    EXPECT_EQ(record->compatibility, 2022901U);
    for (std::uint64_t word : record->reserved) EXPECT_EQ(word, 0U);

    std::vector<std::string> modules;
    std::set<std::string> frameworks;
    int count = 0;
    for (const HostModuleDeclaration* declaration = record->declarations;
         declaration != nullptr && count < 16; declaration = declaration->next, ++count) {
        EXPECT_EQ(declaration->module, record);
        ASSERT_NE(declaration->identifier, nullptr);
        if (declaration->kind == HOST_DECLARATION_MODULE) {
            modules.emplace_back(declaration->identifier);
        } else if (declaration->kind == HOST_DECLARATION_FRAMEWORK) {
            frameworks.insert(declaration->identifier);
        } else {
            ADD_FAILURE() << "declaration of kind " << declaration->kind;
        }
    }
    EXPECT_EQ(count, 3);
    ASSERT_EQ(modules.size(), 1U);
    EXPECT_EQ(modules[0].rfind("org.example.velacraft.", 0), 0U) << modules[0];
    EXPECT_TRUE(modules[0].ends_with(".vela2023")) << modules[0];
    EXPECT_EQ(frameworks, (std::set<std::string>{"net.maxon.core.framework",
                                                 "net.maxon.c4d.cinema.framework"}));

    // The yield hook holds a routine of the module's own that can be called.
    const auto* yield = static_cast<const HostCpuYield*>(library.Symbol("g_CpuYieldDelegate"));
    ASSERT_NE(yield, nullptr);
    ASSERT_NE(*yield, nullptr);
    Dl_info where{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(*yield), &where), 0);
    EXPECT_EQ(fs::canonical(where.dli_fname), fs::canonical(BuiltModuleFile()));
    (*yield)();
}

// Load and unload ---------------------------------------------------------------------------------

TEST(ModuleCycles, TenLoadsStartPressEndAndUnloadCleanly) {
    for (int cycle = 0; cycle < 10; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle + 1));
        PluginSession session;
        ASSERT_EQ(session.LoadError(), "");
        EXPECT_EQ(session.InitAnswer(), 1);
        EXPECT_EQ(session.ResourceAnswer(), 1);
        EXPECT_EQ(session.StartAnswer(), 1);
        EXPECT_EQ(LinesAt(session.Host(), kLineBanner), 1U);
        EXPECT_EQ(session.Host().Commands().size(), 1U);
        AddObject(session.Doc(), kCube, "Cube", nullptr, {}, true);
        AddObject(session.Doc(), kSphere, "Sphere", nullptr);
        EXPECT_TRUE(session.Press());
        EXPECT_EQ(session.State(), kIsolated);
    }
}

// Files the host must refuse
// -------------------------------------------------------------------------

TEST(HostLoading, BrokenFilesAreReportedAndTheHostGoesOn) {
    TempFolder folder;
    const fs::path text = folder / "notes.xdl64";
    WriteTextFile(text, "This is not a library.\n");
    struct Case {
        std::string path;
        std::string step;
        std::int32_t initAnswer;
        std::int32_t startAnswer = 0;
    };
    const std::vector<Case> cases{
        {text.string(), "cannot be loaded", 0},
        {PLAIN_LIBRARY_FILE, "does not export 'c4d_main'", 0},
        {BROKEN_RECORD_MODULE_FILE, "module record of version 2022900", 0},
        {OLD_HOST_MODULE_FILE, "initialisation answered -3", -3},
        {FAILED_INIT_MODULE_FILE, "initialisation answered 0", 0},
        {FAILED_START_MODULE_FILE, "start answered 0", 1, 0},
    };
    for (const Case& broken : cases) {
        SCOPED_TRACE(broken.path);
        vhost::Host host;
        const vhost::ModuleLoadReport report = host.LoadModule(broken.path);
        EXPECT_FALSE(report.started);
        EXPECT_EQ(report.initAnswer, broken.initAnswer);
        EXPECT_EQ(report.startAnswer, broken.startAnswer);
        ASSERT_EQ(report.messages.size(), 1U);
        EXPECT_TRUE(Contains(report.messages[0], broken.path)) << report.messages[0];
        EXPECT_TRUE(Contains(report.messages[0], broken.step)) << report.messages[0];
        EXPECT_TRUE(host.Modules().empty());

        const vhost::ModuleLoadReport good = host.LoadModule(VELA_MODULE_FILE);
        EXPECT_TRUE(good.started);
        EXPECT_TRUE(good.messages.empty());
        EXPECT_NE(host.FindCommand(kCommandId), nullptr);
        EXPECT_EQ(host.Modules().size(), 1U);
    }
}

// Module phases ----------------------------------------------------------------------------------

std::vector<std::string> ConsoleTexts(const vhost::Host& host) {
    std::vector<std::string> texts;
    for (const vhost::ConsoleLine& line : host.Console()) texts.push_back(line.text);
    return texts;
}

std::string RefusalOf(const std::string& what) {
    return std::string("module ") + LATE_REGISTRATION_MODULE_FILE + ": registering " + what +
           " while running is refused; a module registers only while it starts";
}

// A module registers only while it starts. What it registers later, from a plug-in message or from
// its own command's execute, is refused and disposed of at once, inside the call that handed it
// over; what it registered at its start is destroyed before its library is closed. The fixture's
// instances write a line when they are destroyed: a line means the module's code was still there.
TEST(ModulePhases, RegistrationsAfterTheStartAreRefusedAndEveryInstanceDiesWhileLoaded) {
    vhost::Host host;
    ASSERT_TRUE(host.LoadModule(LATE_REGISTRATION_MODULE_FILE).started);
    ASSERT_EQ(host.Modules().size(), 1U);
    EXPECT_EQ(host.Modules().front()->Phase(), vhost::ModulePhase::Running);
    ASSERT_NE(host.FindCommand(LATE_EARLY_COMMAND), nullptr);

    host.SendPluginMessage(LATE_MESSAGE);
    EXPECT_TRUE(host.InvokeCommand(LATE_EARLY_COMMAND));

    EXPECT_EQ(host.FindCommand(LATE_MESSAGE_COMMAND), nullptr);
    EXPECT_EQ(host.FindPlugin(LATE_MESSAGE_PAGE, HOST_PLUGIN_PREFS), nullptr);
    EXPECT_EQ(host.FindCommand(LATE_NESTED_COMMAND), nullptr);
    EXPECT_EQ(host.Commands().size(), 1U);
    EXPECT_TRUE(host.Shutdown().empty());
    EXPECT_EQ(ConsoleTexts(host), (std::vector<std::string>{
                                      RefusalOf("the command 990002 \"late\""),
                                      "destroyed late",
                                      RefusalOf("the preference page 990003 \"late page\""),
                                      RefusalOf("the command 990004 \"nested\""),
                                      "destroyed nested",
                                      "ended",
                                      "destroyed early",
                                  }));
}

TEST(ModulePhases, AModuleWhoseStartFailsLosesWhatItRegisteredBeforeItIsUnloaded) {
    vhost::Host host;
    const vhost::ModuleLoadReport report = host.LoadModule(LATE_REGISTRATION_FAILED_START_FILE);
    EXPECT_FALSE(report.started);
    EXPECT_EQ(report.startAnswer, 0);
    EXPECT_EQ(host.FindCommand(LATE_EARLY_COMMAND), nullptr);
    EXPECT_EQ(ConsoleTexts(host), (std::vector<std::string>{"ended", "destroyed early"}));
}

}  // namespace
}  // namespace velatest
