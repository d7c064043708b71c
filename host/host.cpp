#include "host.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "modules/module.h"
#include "modules/module_calls.h"
#include "modules/module_class.h"
#include "platform/path_rules.h"
#include "platform/process_paths.h"
#include "prefs/preference_pages.h"
#include "prefs/preferences_file.h"
#include "resources/resource_loader.h"
#include "shortcuts/shortcut_table.h"
#include "table_areas.h"
#include "text/quoting.h"
#include "ui/dialog_driver.h"

namespace vhost {

namespace {

// The table and the host it belongs to, side by side, so FromTable is one load: the table is the
// first member, and a pointer to it is a pointer to the block.
struct TableBlock {
    HostTable table;
    Host* host;
};
static_assert(offsetof(TableBlock, table) == 0);

std::uint64_t PluginKey(std::int32_t type, std::int32_t id) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(type)) << 32U) |
           static_cast<std::uint32_t>(id);
}

constexpr const char* kCoreModulesFolderName = "corelibs";

}  // namespace

struct Host::Impl {
    TableBlock block{};
    std::vector<std::unique_ptr<Document>> documents;
    Document* active = nullptr;
    Container world;
    ObjectTypes types;
    std::int32_t qualifiers = 0;
    bool keyboardAvailable = true;
    std::vector<RegisteredCommand> commands;
    std::unordered_map<std::uint64_t, std::unique_ptr<PluginRecord>> plugins;
    std::vector<Logger> loggers{Logger{HOST_LOGGER_DEFAULT}};
    std::vector<Language> languages = HostSettings{}.languages;
    std::string preferencesFolder;
    std::vector<std::unique_ptr<Module>> modules;
    ModuleCalls calls;  // before the pages, which call modules until they are gone
    PreferencePages pages{calls};
    std::vector<std::unique_ptr<Resource>> resources;
    std::int32_t interfaceRefreshes = 0;
    bool shutDown = false;
    bool preferencesWritable = true;
    std::vector<ConsoleLine> console;
    Activity activity;
    std::string startupFolder = DefaultStartupFolder();
    std::string coreModulesFolder = paths::Join(startupFolder, kCoreModulesFolderName);
    std::vector<std::string> openedFiles;
    std::vector<std::string> openedWebAddresses;
    std::unique_ptr<DialogDriver> dialogs;
    std::unique_ptr<ShortcutTable> shortcuts = std::make_unique<ShortcutTable>();
    Document clipboard{"Clipboard"};
    // After the documents, so a companion (a history, which may keep objects taken out of its
    // document) goes before the document does.
    std::unordered_map<const Document*, std::unique_ptr<DocumentCompanion>> companions;

    void AddPlugin(std::int32_t type, std::int32_t id, std::string name, std::int32_t info) {
        auto record = std::make_unique<PluginRecord>();
        record->type = type;
        record->id = id;
        record->name = std::move(name);
        record->info = info;
        plugins[PluginKey(type, id)] = std::move(record);
    }

    RegisteredCommand* FindCommand(std::int32_t id) {
        auto found = std::find_if(commands.begin(), commands.end(),
                                  [id](const RegisteredCommand& c) { return c.id == id; });
        return found != commands.end() ? &*found : nullptr;
    }
};

namespace {

void FillTable(HostTable& table) {
    table.version = HOST_INTERFACE_VERSION;
    table.registry = table::RegistryArea();
    table.containers = table::ContainerArea();
    table.documents = table::DocumentArea();
    table.preferences = table::PreferenceArea();
    table.shortcuts = table::ShortcutArea();
    table.dialogs = table::DialogArea();
    table.files = table::FileArea();
    table.console = table::ConsoleArea();
}

// A class table the host can call for as long as it keeps the command: execution, state and
// disposal must all be there.
bool IsUsableCommandClass(const HostCommandClass* klass) {
    return VHOST_CLASS_HAS(klass, HostCommandClass, execute) &&
           VHOST_CLASS_HAS(klass, HostCommandClass, get_state) &&
           VHOST_CLASS_HAS(klass, HostCommandClass, destroy);
}

void DestroyInstance(const RegisteredCommand& command) {
    if (VHOST_CLASS_HAS(command.klass, HostCommandClass, destroy)) {
        command.klass->destroy(command.instance);
    }
}

// Disposal of a command the host kept: a call into its owner's code.
void Dispose(ModuleCalls& calls, const RegisteredCommand& command) {
    const ModuleCalls::Scope call(calls, command.owner);
    DestroyInstance(command);
}

}  // namespace

Host::Host() : impl_(std::make_unique<Impl>()) {
    FillTable(impl_->block.table);
    impl_->block.host = this;
    impl_->dialogs = std::make_unique<DialogDriver>();
    NewDocument();
    for (const ObjectType& type : impl_->types.All()) {
        impl_->AddPlugin(HOST_PLUGIN_OBJECT, type.type, type.name, type.info);
    }
}

Host::~Host() { Shutdown(); }

// Modules end in the reverse order of their start, each while the rest of the host is intact: an
// end message or a destructor may still write to the console. What is left then is the host's
// own.
std::vector<std::string> Host::Shutdown() {
    std::vector<std::string> reports;
    if (impl_->shutDown) return reports;
    impl_->shutDown = true;
    for (std::size_t i = impl_->modules.size(); i > 0; --i) EndModule(*impl_->modules[i - 1]);
    impl_->modules.clear();
    DisposePagesOf(nullptr, true);
    for (std::size_t i = impl_->commands.size(); i > 0; --i) {
        Dispose(impl_->calls, impl_->commands[i - 1]);
    }
    impl_->commands.clear();
    if (!impl_->preferencesFolder.empty() && impl_->preferencesWritable) {
        std::string error = SavePreferences(impl_->preferencesFolder, impl_->world);
        if (!error.empty()) reports.push_back(std::move(error));
    }
    return reports;
}

// The instances of what the module registered are destroyed before it is unloaded, since their
// destructors are the module's code: its pages before its end message, its commands after it.
void Host::EndModule(Module& module) {
    module.BeginEnding();
    DisposePagesOf(&module);
    {
        const ModuleCalls::Scope call(impl_->calls, &module);
        module.End();
    }
    DisposeCommandsOf(&module);
    module.Unload();
}

void Host::DisposePagesOf(const Module* module, bool all) {
    for (const std::int32_t id : impl_->pages.DisposeOwnedBy(module, all)) {
        impl_->plugins.erase(PluginKey(HOST_PLUGIN_PREFS, id));
    }
}

void Host::DisposeCommandsOf(const Module* module) {
    auto& commands = impl_->commands;
    for (std::size_t i = commands.size(); i > 0; --i) {
        if (commands[i - 1].owner != module) continue;
        Dispose(impl_->calls, commands[i - 1]);
        impl_->plugins.erase(PluginKey(HOST_PLUGIN_COMMAND, commands[i - 1].id));
        commands.erase(commands.begin() + static_cast<std::ptrdiff_t>(i - 1));
    }
}

std::vector<std::string> Host::Configure(HostSettings settings) {
    std::vector<std::string> reports;
    impl_->preferencesFolder = std::move(settings.preferencesFolder);
    impl_->languages = std::move(settings.languages);
    if (!impl_->preferencesFolder.empty()) {
        PreferencesLoad loaded = LoadPreferences(impl_->preferencesFolder, impl_->world);
        // A damaged file that could not be set aside is still the user's: it is not written over.
        impl_->preferencesWritable = loaded.mayWrite;
        if (!loaded.problem.empty()) reports.push_back(std::move(loaded.problem));
    }
    // The shortcut table is kept in the preferences folder too.
    impl_->shortcuts->Load(impl_->preferencesFolder);
    for (std::string& report : impl_->shortcuts->TakeReports())
        reports.push_back(std::move(report));
    return reports;
}

const std::string& Host::PreferencesFolder() const { return impl_->preferencesFolder; }

namespace {

// The frameworks this host provides to modules.
bool IsKnownFramework(const std::string& identifier) {
    return identifier == "net.maxon.core.framework" ||
           identifier == "net.maxon.c4d.cinema.framework";
}

std::string AnswerText(std::int32_t answer) {
    switch (answer) {
        case HOST_ENTRY_UNSUPPORTED_HOST:
            return "-3 (the host is too old for the module, or the module already serves another "
                   "host)";
        case HOST_ENTRY_UNHANDLED:
            return "-1 (not handled)";
        case HOST_ENTRY_FAILED_START:
            return "0 (failed)";
        default:
            return std::to_string(answer);
    }
}

}  // namespace

ModuleLoadReport Host::LoadModule(const std::string& path) {
    ModuleLoadReport report;
    std::vector<std::string>& reports = report.messages;
    const std::string name = "module " + path;
    std::string error;
    std::unique_ptr<Module> module = Module::Open(path, error);
    if (!module) {
        reports.push_back(name + " " + error + "; the host goes on without it");
        return report;
    }
    const std::vector<std::string>& frameworks = module->Frameworks();
    const auto missing = std::find_if(frameworks.begin(), frameworks.end(),
                                      [](const std::string& f) { return !IsKnownFramework(f); });
    if (missing != frameworks.end()) {
        reports.push_back(name + " needs the framework " + *missing +
                          ", which this host does not have; the host goes on without it");
        return report;
    }
    // Ends and unloads a module that failed a step, with everything it registered.
    auto abandon = [&](const std::string& step, std::int32_t answer) {
        reports.push_back(name + ": " + step + " answered " + AnswerText(answer) +
                          "; the host goes on without it");
        EndModule(*module);
        return report;
    };
    // The steps are calls into the module; between them the host only takes note.
    const ModuleCalls::Scope call(impl_->calls, module.get());
    report.initAnswer = module->Initialise(&impl_->block.table);
    if (report.initAnswer != HOST_ENTRY_OK) return abandon("initialisation", report.initAnswer);
    report.resourceAnswer = module->LoadResource();
    if (report.resourceAnswer != HOST_ENTRY_OK) {
        reports.push_back(name + ": loading its resource answered " +
                          AnswerText(report.resourceAnswer) +
                          "; it starts without its texts and icon");
    }
    report.startAnswer = module->Start();
    if (report.startAnswer != HOST_ENTRY_OK) return abandon("start", report.startAnswer);
    impl_->modules.push_back(std::move(module));
    report.started = true;
    return report;
}

const std::vector<std::unique_ptr<Module>>& Host::Modules() const { return impl_->modules; }

void Host::SendPluginMessage(std::int32_t message, void* data) {
    for (const std::unique_ptr<Module>& module : impl_->modules) {
        const ModuleCalls::Scope call(impl_->calls, module.get());
        module->PluginMessage(message, data);
    }
}

void Host::FinishStartup() {
    for (const auto& page : impl_->pages.All()) {
        if (page->nodes.empty()) impl_->pages.CreateNode(*page);
    }
}

PreferencePages& Host::Pages() { return impl_->pages; }

bool Host::RegisterPreferencePage(std::int32_t id, std::string name, std::int32_t info,
                                  const HostPageClass* klass, std::int32_t apiVersion) {
    const Module* owner = nullptr;
    if (!AdmitRegistration("the preference page " + std::to_string(id) + " " + Quoted(name),
                           owner) ||
        apiVersion < HOST_INTERFACE_VERSION || !impl_->pages.Register(id, name, klass, owner)) {
        return false;
    }
    impl_->AddPlugin(HOST_PLUGIN_PREFS, id, std::move(name), info);
    return true;
}

// The owner is the module the host is starting, or none while the host runs no module's code.
bool Host::AdmitRegistration(const std::string& what, const Module*& owner) {
    const Module* caller = impl_->calls.Current();
    if (caller == nullptr || caller->Phase() == ModulePhase::Starting) {
        owner = caller;
        return true;
    }
    WriteConsole({HOST_LOGGER_DEFAULT, HOST_TARGETAUDIENCE_ALL, HOST_WRITEMETA_DEFAULT,
                  "module " + caller->Path() + ": registering " + what + " while " +
                      std::string(PhaseName(caller->Phase())) +
                      " is refused; a module registers only while it starts",
                  "host", 0});
    return false;
}

std::string Host::LanguageCode() const {
    for (const Language& language : impl_->languages) {
        if (language.isDefault) return language.code;
    }
    return "US";
}

std::int32_t Host::InterfaceRefreshes() const { return impl_->interfaceRefreshes; }

void Host::NoteInterfaceRefresh() { ++impl_->interfaceRefreshes; }

Resource* Host::LoadResource(const std::string& folder, std::vector<std::string>& errors) {
    ResourceLoad loaded = LoadResourceFolder(folder);
    if (!loaded.resource) {
        for (const ResourceError& e : loaded.errors) errors.push_back(e.Text());
        return nullptr;
    }
    impl_->resources.push_back(std::make_unique<Resource>(std::move(*loaded.resource)));
    return impl_->resources.back().get();
}

void Host::FreeResource(Resource* resource) {
    auto& resources = impl_->resources;
    auto found = std::find_if(resources.begin(), resources.end(),
                              [resource](const auto& r) { return r.get() == resource; });
    if (found != resources.end()) resources.erase(found);
}

const HostTable* Host::Table() const { return &impl_->block.table; }

Host& Host::FromTable(const HostTable* table) {
    return *reinterpret_cast<const TableBlock*>(table)->host;
}

// Documents ---------------------------------------------------------------------------------------

Document& Host::ActiveDocument() { return *impl_->active; }

Document& Host::NewDocument(std::string name) {
    impl_->documents.push_back(std::make_unique<Document>(std::move(name)));
    impl_->active = impl_->documents.back().get();
    return *impl_->active;
}

void Host::SetActiveDocument(Document& document) { impl_->active = &document; }

Document& Host::AdoptDocument(std::unique_ptr<Document> document) {
    impl_->documents.push_back(std::move(document));
    impl_->active = impl_->documents.back().get();
    return *impl_->active;
}

const std::vector<std::unique_ptr<Document>>& Host::Documents() const { return impl_->documents; }

void Host::CloseDocument(Document& document) {
    auto& documents = impl_->documents;
    auto found = std::find_if(documents.begin(), documents.end(),
                              [&document](const auto& d) { return d.get() == &document; });
    if (found == documents.end()) return;
    impl_->companions.erase(&document);
    documents.erase(found);
    if (documents.empty()) {
        NewDocument();
    } else if (impl_->active == &document) {
        impl_->active = documents.back().get();
    }
}

Document* Host::FindDocument(std::uint64_t serial) const {
    for (const auto& document : impl_->documents) {
        if (document->Serial() == serial) return document.get();
    }
    return nullptr;
}

Document& Host::Clipboard() { return impl_->clipboard; }

DocumentCompanion& Host::CompanionOf(
    const Document& document, const std::function<std::unique_ptr<DocumentCompanion>()>& make) {
    std::unique_ptr<DocumentCompanion>& companion = impl_->companions[&document];
    if (!companion) companion = make();
    return *companion;
}

// Preferences, types, input -----------------------------------------------------------------------

Container& Host::WorldContainer() { return impl_->world; }

const ObjectTypes& Host::Types() const { return impl_->types; }

void Host::SetQualifiers(std::int32_t mask) { impl_->qualifiers = mask; }

std::int32_t Host::Qualifiers() const { return impl_->qualifiers; }

void Host::SetKeyboardAvailable(bool available) { impl_->keyboardAvailable = available; }

bool Host::KeyboardAvailable() const { return impl_->keyboardAvailable; }

// Plug-ins and commands ---------------------------------------------------------------------------

bool Host::RegisterCommand(RegisteredCommand command) {
    const Module* owner = nullptr;
    const bool acceptable =
        AdmitRegistration("the command " + std::to_string(command.id) + " " + Quoted(command.name),
                          owner) &&
        IsUsableCommandClass(command.klass) && command.apiVersion >= HOST_INTERFACE_VERSION &&
        impl_->FindCommand(command.id) == nullptr;
    if (!acceptable) {
        // Still inside the call of the code that handed it over, whoever that was.
        DestroyInstance(command);
        return false;
    }
    command.owner = owner;
    impl_->AddPlugin(HOST_PLUGIN_COMMAND, command.id, command.name, command.info);
    impl_->commands.push_back(std::move(command));
    return true;
}

PluginRecord* Host::FindPlugin(std::int32_t id, std::int32_t type) {
    auto found = impl_->plugins.find(PluginKey(type, id));
    return found != impl_->plugins.end() ? found->second.get() : nullptr;
}

const RegisteredCommand* Host::FindCommand(std::int32_t id) const { return impl_->FindCommand(id); }

const std::vector<RegisteredCommand>& Host::Commands() const { return impl_->commands; }

bool Host::InvokeCommand(std::int32_t id) {
    const RegisteredCommand* command = impl_->FindCommand(id);
    if (command == nullptr) return false;
    std::uint64_t eventsBefore = impl_->activity.eventsAdded;
    bool result = false;
    {
        const ModuleCalls::Scope call(impl_->calls, command->owner);
        result = command->klass->execute(command->instance, ActiveDocument().Handle(), nullptr);
    }
    if (impl_->activity.eventsAdded != eventsBefore) RefreshCommandStates();
    return result;
}

std::int32_t Host::QueryCommandState(std::int32_t id) {
    const RegisteredCommand* command = impl_->FindCommand(id);
    if (command == nullptr) return 0;
    const ModuleCalls::Scope call(impl_->calls, command->owner);
    return command->klass->get_state(command->instance, ActiveDocument().Handle(), nullptr);
}

void Host::RefreshCommandStates() {
    ++impl_->activity.stateRefreshes;
    // By index, not by iterator: a state callback of the host's own command may register another
    // (a module's is refused), and nothing may dangle then.
    for (std::size_t i = 0; i < impl_->commands.size(); ++i) {  // NOLINT(modernize-loop-convert)
        const HostCommandClass* klass = impl_->commands[i].klass;
        void* instance = impl_->commands[i].instance;
        const ModuleCalls::Scope call(impl_->calls, impl_->commands[i].owner);
        std::int32_t state = klass->get_state(instance, ActiveDocument().Handle(), nullptr);
        impl_->commands[i].lastState = state;
    }
}

// Console and activity ----------------------------------------------------------------------------

Logger* Host::FindLogger(std::string_view id) {
    for (Logger& logger : impl_->loggers) {
        if (logger.id == id) return &logger;
    }
    return nullptr;
}

void Host::WriteConsole(ConsoleLine line) { impl_->console.push_back(std::move(line)); }

const std::vector<ConsoleLine>& Host::Console() const { return impl_->console; }

void Host::ClearConsole() { impl_->console.clear(); }

Activity& Host::GetActivity() { return impl_->activity; }

// Folders, languages, the system ------------------------------------------------------------------

std::string Host::Folder(std::int32_t which) const {
    switch (which) {
        case HOST_FOLDER_STARTUP:
            return impl_->startupFolder;
        case HOST_FOLDER_CORE_MODULES:
            return impl_->coreModulesFolder;
        default:
            return {};
    }
}

void Host::SetFolder(std::int32_t which, std::string path) {
    switch (which) {
        case HOST_FOLDER_STARTUP:
            impl_->startupFolder = std::move(path);
            break;
        case HOST_FOLDER_CORE_MODULES:
            impl_->coreModulesFolder = std::move(path);
            break;
        default:
            break;
    }
}

void Host::SetStartupFolder(const std::string& path) {
    impl_->startupFolder = path;
    impl_->coreModulesFolder = paths::Join(path, kCoreModulesFolderName);
}

const std::vector<Language>& Host::Languages() const { return impl_->languages; }

void Host::OpenFile(std::string_view path) { impl_->openedFiles.emplace_back(path); }

void Host::OpenWebAddress(std::string_view url) { impl_->openedWebAddresses.emplace_back(url); }

const std::vector<std::string>& Host::OpenedFiles() const { return impl_->openedFiles; }

const std::vector<std::string>& Host::OpenedWebAddresses() const {
    return impl_->openedWebAddresses;
}

DialogDriver& Host::Dialogs() { return *impl_->dialogs; }

// The keyboard's shortcuts ------------------------------------------------------------------------

ShortcutTable& Host::Shortcuts() { return *impl_->shortcuts; }

}  // namespace vhost
