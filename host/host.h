// The stand-in host: one instance owns the documents, the preferences, the registries, the
// console and the interface table that modules receive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/container.h"
#include "model/object_types.h"
#include "model/scene.h"
#include "vela_host/host_table.h"

namespace vhost {

// What a layer above the host keeps beside each open document (the actions' history of edits):
// the host destroys it when the document closes, before the document, and never looks inside.
class DocumentCompanion {
public:
    virtual ~DocumentCompanion() = default;
};

struct ConsoleLine {
    std::string logger;
    std::int32_t audience = 0;
    std::int32_t flags = 0;
    std::string text;
    std::string file;
    std::int32_t line = 0;
};

// What the host saw of a module's scene changes, so the order "stop threads, change, add event"
// can be checked. Counters only grow; `Reset` starts a new observation.
struct Activity {
    std::uint64_t sceneChanges = 0;  // mode, enabled, bit and data writes through the table
    std::uint64_t stopAllThreads = 0;
    std::uint64_t eventsAdded = 0;
    std::uint64_t changesBeforeFirstStop = 0;
    std::uint64_t changesAfterLastEvent = 0;
    std::uint64_t stateRefreshes = 0;  // times the host asked every command for its state
    void Reset() { *this = Activity{}; }

    // Bookkeeping of the table's scene writes, thread stops and events.
    void SceneChanged() {
        ++sceneChanges;
        if (stopAllThreads == 0) ++changesBeforeFirstStop;
        ++changesAfterLastEvent;
    }
    void ThreadsStopped() { ++stopAllThreads; }
    void EventAdded() {
        ++eventsAdded;
        changesAfterLastEvent = 0;
    }
};

class Bitmap;
class Module;
class PreferencePages;
struct Resource;

struct RegisteredCommand {
    const Module* owner = nullptr;  // the module that registered it; null for the host's own
    std::int32_t id = 0;
    std::string name;
    std::string help;
    std::int32_t info = 0;
    std::int32_t apiVersion = 0;
    bool hasIcon = false;
    std::shared_ptr<const Bitmap> icon;  // a copy of the icon given at registration; null: none
    const HostCommandClass* klass = nullptr;
    void* instance = nullptr;
    std::int32_t lastState = 0;  // answer of the last state refresh
};

// The host's record of a plug-in: what modules find with find_plugin. Object plug-ins come from
// the built-in object types, command plug-ins from registration.
struct PluginRecord {
    std::int32_t type = 0;  // HOST_PLUGIN_*
    std::int32_t id = 0;
    std::string name;
    std::int32_t info = 0;
    Container data;  // the record's own data container

    HostPlugin* Handle() { return reinterpret_cast<HostPlugin*>(this); }
    static PluginRecord* FromHandle(HostPlugin* h) { return reinterpret_cast<PluginRecord*>(h); }
    static const PluginRecord* FromHandle(const HostPlugin* h) {
        return reinterpret_cast<const PluginRecord*>(h);
    }
};

// A console logger. Only the default logger (HOST_LOGGER_DEFAULT) exists.
struct Logger {
    std::string id;
    HostLogger* Handle() { return reinterpret_cast<HostLogger*>(this); }
    static const Logger* FromHandle(const HostLogger* h) {
        return reinterpret_cast<const Logger*>(h);
    }
};

struct Language {
    std::string code;  // e.g. "US"
    std::string name;  // e.g. "English"
    bool isDefault = false;
};

class DialogDriver;
class ShortcutTable;

// What became of loading one module: the entry point's answer to each step it reached (0 for a
// step it did not reach), and one message per problem naming the module, the step and the answer.
struct ModuleLoadReport {
    bool started = false;
    std::int32_t initAnswer = 0;
    std::int32_t resourceAnswer = 0;
    std::int32_t startAnswer = 0;
    std::vector<std::string> messages;
};

// How the host is set up before modules load.
struct HostSettings {
    // The folder that keeps the host's preferences between runs; empty keeps them in memory only.
    std::string preferencesFolder;
    // The installed languages; the one flagged default is the host's language.
    std::vector<Language> languages{{"US", "English", true}, {"DE", "German", false}};
};

// The host's public members, by subject: setting up and ending, documents, modules and commands,
// the keyboard and its shortcuts, preferences, resources and languages, the console, dialogs,
// and the system. What a person does to a document is not here but in actions/perform.h, which
// does each action through these members.
class Host {
public:
    // Setting up and ending -------------------------------------------------------------------

    Host();
    ~Host();  // disposes of every registered instance through its class's destroy callback
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Applies the settings and reads the preferences kept in the preferences folder. Answers what
    // went wrong (a damaged preferences file is set aside, never replaced). [before modules load]
    std::vector<std::string> Configure(HostSettings settings);
    const std::string& PreferencesFolder() const;
    // Settles the host after every module has started: creates each registered preference page
    // once, so pages can set up what they keep in the preferences.
    void FinishStartup();
    // Ends every module (last loaded first), disposes of what each registered and unloads it,
    // then keeps the preferences in the preferences folder. Answers what went wrong. The
    // destructor does this too, when it has not been done.
    std::vector<std::string> Shutdown();

    // The table modules receive; valid as long as the host.
    const HostTable* Table() const;
    static Host& FromTable(const HostTable* table);

    // Documents -------------------------------------------------------------------------------

    // There is always one active document.
    Document& ActiveDocument();
    Document& NewDocument(std::string name = "Untitled");         // becomes active
    Document& AdoptDocument(std::unique_ptr<Document> document);  // becomes active
    void SetActiveDocument(Document& document);
    const std::vector<std::unique_ptr<Document>>& Documents() const;
    void CloseDocument(Document& document);  // a new empty one becomes active if it was the last
    // The open document with this serial (Document::Serial); null when none is open.
    Document* FindDocument(std::uint64_t serial) const;
    // What the last copy put on the clipboard: its top-level objects, each with its subtree.
    Document& Clipboard();
    // The companion kept beside an open document; `make` makes it the first time it is asked for
    // (actions::HistoryOf keeps a document's history of edits here).
    DocumentCompanion& CompanionOf(const Document& document,
                                   const std::function<std::unique_ptr<DocumentCompanion>()>& make);
    // The object types the host brings.
    const ObjectTypes& Types() const;

    // Modules and commands --------------------------------------------------------------------

    // Loads a module file and starts it: checks its exports and module record, then calls its
    // entry point to initialise, to load its resource and to start. A module that fails to load,
    // initialise or start is ended and unloaded, and the host goes on without it. A module whose
    // resource failed to load still starts (without its texts and icon).
    ModuleLoadReport LoadModule(const std::string& path);
    // The modules that loaded and started, in the order they did.
    const std::vector<std::unique_ptr<Module>>& Modules() const;
    // Sends a plug-in message to every running module, in the order they started, as the host
    // does when something happens that modules may want to know of.
    void SendPluginMessage(std::int32_t message, void* data = nullptr);

    // The host owns a registered command's instance from the call on: when it refuses the
    // command (id already registered, no class table, or a class too small to hold its
    // callbacks, an interface version older than this host's, or a module that is not starting)
    // it disposes of the instance at once and answers false.
    //
    // A module registers commands and preference pages only while it starts: it owns them, and
    // the host disposes of them before it unloads the module. Registering in any other phase is
    // refused with a console line naming the module, what it registered and its phase. What is
    // registered while the host runs no module's code is the host's own.
    bool RegisterCommand(RegisteredCommand command);
    // The plug-in record of a type (HOST_PLUGIN_OBJECT or HOST_PLUGIN_COMMAND) and id; null when
    // there is none. Records live as long as the host.
    PluginRecord* FindPlugin(std::int32_t id, std::int32_t type);
    const RegisteredCommand* FindCommand(std::int32_t id) const;
    const std::vector<RegisteredCommand>& Commands() const;
    // Invokes a registered command on the active document with the keys the keyboard holds now:
    // `execute`, then, if the command added an event, a state refresh of every command. Answers
    // execute's result; false when no such command is registered. A person's press, with the
    // keys held for it, is actions::PressCommand.
    bool InvokeCommand(std::int32_t id);
    // Asks the command for its state in the active document now; 0 when no such command is
    // registered. Does not count as a refresh.
    std::int32_t QueryCommandState(std::int32_t id);
    // Asks every registered command for its state in the active document, as the host does after
    // an event, keeping each answer as its lastState.
    void RefreshCommandStates();

    // The keyboard and its shortcuts ----------------------------------------------------------

    // The qualifier mask the keyboard reports now (HOST_QUALIFIER_*). With the keyboard
    // unavailable, input-state queries fail.
    void SetQualifiers(std::int32_t mask);
    std::int32_t Qualifiers() const;
    void SetKeyboardAvailable(bool available);
    bool KeyboardAvailable() const;
    // The shortcut table; a key stroke through it is actions::StrokeKey.
    ShortcutTable& Shortcuts();

    // Preferences -----------------------------------------------------------------------------

    Container& WorldContainer();
    // Preference pages and the descriptions they use.
    PreferencePages& Pages();
    // Registers a preference page class and its plug-in record (type HOST_PLUGIN_PREFS). False
    // for a taken id, a class table without the callbacks the host needs, an interface version
    // older than this host's, or a module that is not starting (see RegisterCommand).
    bool RegisterPreferencePage(std::int32_t id, std::string name, std::int32_t info,
                                const HostPageClass* klass, std::int32_t apiVersion);

    // Resources and languages -----------------------------------------------------------------

    // Resource folders loaded for modules. A handle stays valid until FreeResource.
    Resource* LoadResource(const std::string& folder, std::vector<std::string>& errors);
    void FreeResource(Resource* resource);
    // The host's language: the code of the default language ("US" when none is flagged).
    std::string LanguageCode() const;
    // The installed languages, in the order the host lists them.
    const std::vector<Language>& Languages() const;

    // The console and what the host saw -------------------------------------------------------

    Logger* FindLogger(std::string_view id);  // null when there is no such logger
    void WriteConsole(ConsoleLine line);
    const std::vector<ConsoleLine>& Console() const;
    void ClearConsole();
    Activity& GetActivity();
    // Times a module asked the host to redraw its interface.
    std::int32_t InterfaceRefreshes() const;
    void NoteInterfaceRefresh();

    // Dialogs ---------------------------------------------------------------------------------

    // Dialogs and message boxes that modules open.
    DialogDriver& Dialogs();

    // The system: folders, and files and addresses handed over --------------------------------

    // Folders the host names (HOST_FOLDER_*); empty for one it does not know.
    std::string Folder(std::int32_t which) const;
    void SetFolder(std::int32_t which, std::string path);
    // Makes `path` the start-up folder, with the core modules in its "corelibs" folder, as an
    // installed host keeps them (the default: the program's own folder).
    void SetStartupFolder(const std::string& path);
    // This host records files and addresses instead of opening them.
    void OpenFile(std::string_view path);
    void OpenWebAddress(std::string_view url);
    const std::vector<std::string>& OpenedFiles() const;
    const std::vector<std::string>& OpenedWebAddresses() const;

private:
    void EndModule(Module& module);
    bool AdmitRegistration(const std::string& what, const Module*& owner);
    void DisposeCommandsOf(const Module* module);
    void DisposePagesOf(const Module* module, bool all = false);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vhost
