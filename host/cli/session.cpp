#include "cli/session.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <random>

#include "cli/object_paths.h"
#include "cli/script_words.h"
#include "cli/tree_view.h"
#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_file.h"
#include "text/quoting.h"

namespace vhost::cli {

namespace {

constexpr std::int32_t kVelaCommandId = 1022131;
constexpr std::int32_t kRecordKey = 1022131;
constexpr std::int32_t kInstanceLink = 1001;
constexpr std::int32_t kStateChecked = 0x00000001;

std::string ModeNumberName(std::int32_t mode) {
    switch (mode) {
        case 0:
            return "on";
        case 1:
            return "off";
        case 2:
            return "default";
        default:
            return std::to_string(mode);
    }
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

// The start of the report of an expectation about one value: SUBJECT KEY should be WANTED.
std::string ShouldBe(const std::string& subject, const std::string& key,
                     const std::string& wanted) {
    std::string text = subject;
    text.append(" ").append(key).append(" should be ").append(wanted);
    return text;
}

}  // namespace

Session::Session(Host& host, std::ostream& out, std::ostream& err, SessionOptions options)
    : host_(host), out_(out), err_(err), options_(options) {}

Session::~Session() {
    if (!scratchDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(PathFromUtf8(scratchDir_), ignored);
    }
}

const std::map<std::string, Session::Command, std::less<>>& Session::Commands() {
    static const std::map<std::string, Command, std::less<>> commands{
        {"new",
         {"new [NAME]", "a new empty document, which becomes the active one", &Session::New}},
        {"open",
         {"open FILE", "open a scene file; it becomes the active document", &Session::Open}},
        {"save", {"save FILE", "save the active document (atomically)", &Session::Save}},
        {"add",
         {"add TYPE NAME [parent=PATH] [after=PATH] [editor=MODE] [render=MODE] [enabled=yes|no] "
          "[selected=yes|no]",
          "create an object", &Session::Add}},
        {"delete", {"delete PATH", "delete an object with its children", &Session::Delete}},
        {"move",
         {"move PATH [parent=PATH|top] [after=PATH]", "move an object with its children",
          &Session::Move}},
        {"select",
         {"select [add] PATH...", "select these objects (with add: in addition to the selection)",
          &Session::Select}},
        {"deselect", {"deselect [PATH...]", "deselect these objects, or all", &Session::Deselect}},
        {"link",
         {"link INSTANCE TARGET|none", "let an instance refer to an object", &Session::Link}},
        {"set",
         {"set PATH [editor=MODE] [render=MODE] [enabled=yes|no]",
          "change an object's visibility or enabled state by hand", &Session::Set}},
        {"take",
         {"take new NAME | take use NAME", "add a take, or make a take current",
          &Session::TakeCommand}},
        {"press",
         {"press [shift+ctrl+alt]", "click the Vela Button with exactly these keys held",
          &Session::Press}},
        {"state", {"state", "print whether the active document is isolated", &Session::State}},
        {"tree", {"tree", "print the active document's object tree", &Session::Tree}},
        {"dump", {"dump", "print the active document as its scene file holds it", &Session::Dump}},
        {"console", {"console", "print the console lines so far", &Session::ConsoleCommand}},
        {"echo", {"echo TEXT...", "print the text", &Session::Echo}},
        {"page",
         {"page [ID]", "show the plug-in's preferences page as the host draws it", &Session::Page}},
        {"pref",
         {"pref PARAM VALUE", "set a parameter of the preferences page (PARAM: its name or id)",
          &Session::Pref}},
        {"click", {"click PARAM", "click a button of the preferences page", &Session::Click}},
        {"dialog",
         {"dialog type TEXT | dialog ok | dialog cancel | dialog close | dialog show",
          "queue what the person does in the next modal dialog (show: print the last dialog as it "
          "closed)",
          &Session::DialogCommand}},
        {"message",
         {"message ok | message show",
          "queue the dismissal of the next message box (show: print the last message box's text)",
          &Session::MessageCommand}},
        {"key",
         {"key [shift+ctrl+alt+]K",
          "press a key, as the keyboard delivers it to the shortcut table", &Session::Key}},
        {"shortcuts", {"shortcuts", "print the shortcut table", &Session::Shortcuts}},
        {"expect",
         {"expect PATH KEY=VALUE... | expect state isolated|not-isolated | expect result "
          "true|false | expect console [TEXT] [KEY=VALUE...] | expect document KEY=VALUE... | "
          "expect "
          "message TEXT|count=N | expect dialog KEY=VALUE... | expect shortcuts KEY=VALUE... | "
          "expect "
          "pref PARAM=VALUE | expect opened file=NAME|web=URL | expect world ID/KEY=VALUE|none",
          "check what the session should show; a failed expectation fails the run",
          &Session::Expect}},
    };
    return commands;
}

std::string Session::CommandSummary() {
    std::string text;
    for (const auto& [name, command] : Commands()) {
        text += "  " + std::string(command.usage) + "\n      " + command.help + "\n";
    }
    return text;
}

bool Session::RunScriptFile(const std::string& path) {
    std::string text;
    if (ReadWholeFile(PathFromUtf8(path), text).error != 0) {
        err_ << path << ": error: cannot read the script\n";
        return false;
    }
    scriptDir_ = Utf8FromPath(PathFromUtf8(path).parent_path());
    return RunScriptText(text, path);
}

bool Session::RunScriptText(const std::string& text, const std::string& name) {
    const ParsedScript script = ParseScript(text, name);
    for (const ScriptError& error : script.errors) {
        err_ << error.file << ':' << error.line << ':' << error.column
             << ": error: " << error.message << '\n';
    }
    if (!script.errors.empty()) {
        return false;
    }
    failedExpectations_ = 0;
    bool ranToEnd = true;
    for (const ScriptLine& line : script.lines) {
        if (!RunLine(line)) {
            ranToEnd = false;
            break;
        }
    }
    return FinishScriptWindows(ranToEnd) && failedExpectations_ == 0;
}

bool Session::RunLine(const ScriptLine& line) {
    const auto found = Commands().find(line.words.front());
    if (found == Commands().end()) {
        return Error(line, "unknown command " + Quoted(line.words.front()) +
                               " (see vela-host run --help for the commands)");
    }
    return RunWatched(line, found->second.run);
}

bool Session::Error(const ScriptLine& line, const std::string& message) {
    err_ << line.file << ':' << line.line << ": error: " << message << '\n';
    return false;
}

bool Session::Usage(const ScriptLine& line) {
    return Error(line, std::string("expected: ") + Commands().at(line.words.front()).usage);
}

bool Session::ExpectFailed(const ScriptLine& line, const std::string& message) {
    err_ << line.file << ':' << line.line << ": expectation failed: " << message << '\n';
    ++failedExpectations_;
    return true;
}

Object* Session::Resolve(const ScriptLine& line, const std::string& path) {
    const ObjectLookup lookup = FindObject(host_.ActiveDocument(), path);
    if (lookup.object == nullptr) {
        Error(line, lookup.error);
    }
    return lookup.object;
}

// "$TMP/name" names a file in a scratch folder of the session's own, so scripts can save and
// reopen scenes without writing next to themselves; other relative paths are taken from the
// script's folder.
std::string Session::ResolvePath(const std::string& file) {
    constexpr std::string_view kScratch = "$TMP/";
    if (file.rfind(kScratch, 0) == 0) {
        if (scratchDir_.empty()) {
            std::error_code error;
            const std::filesystem::path base = std::filesystem::temp_directory_path(error);
            for (int attempt = 0; attempt < 100 && scratchDir_.empty(); ++attempt) {
                const std::filesystem::path candidate =
                    base / ("vela-host-" + std::to_string(std::random_device{}()));
                if (std::filesystem::create_directory(candidate, error)) {
                    scratchDir_ = Utf8FromPath(candidate);
                }
            }
        }
        return Utf8FromPath(PathFromUtf8(scratchDir_) / PathFromUtf8(file.substr(kScratch.size())));
    }
    const std::filesystem::path path = PathFromUtf8(file);
    if (path.is_absolute() || scriptDir_.empty()) {
        return file;
    }
    return Utf8FromPath(PathFromUtf8(scriptDir_) / path);
}

std::string Session::CommandState() {
    if (host_.FindCommand(kVelaCommandId) == nullptr) {
        return {};
    }
    return (host_.QueryCommandState(kVelaCommandId) & kStateChecked) != 0 ? "isolated"
                                                                          : "not isolated";
}

// Documents -------------------------------------------------------------------------------------

bool Session::New(const ScriptLine& line) {
    if (line.words.size() > 2) {
        return Usage(line);
    }
    host_.NewDocument(line.words.size() == 2 ? line.words[1] : "Untitled");
    return true;
}

bool Session::Open(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    SceneLoadResult loaded = LoadScene(PathFromUtf8(ResolvePath(line.words[1])));
    if (!loaded.document) {
        return Error(line, loaded.error);
    }
    host_.AdoptDocument(std::move(loaded.document));
    return true;
}

bool Session::Save(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    const SceneSaveResult saved =
        SaveScene(host_.ActiveDocument(), PathFromUtf8(ResolvePath(line.words[1])));
    if (!saved.Ok()) {
        return Error(line, saved.error);
    }
    return true;
}

// Objects ---------------------------------------------------------------------------------------

bool Session::Add(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    const ObjectType* type = host_.Types().FindByToken(line.words[1]);
    if (type == nullptr) {
        std::string known;
        for (const ObjectType& t : host_.Types().All()) {
            known += (known.empty() ? "" : ", ") + t.token;
        }
        return Error(line, "unknown object type " + Quoted(line.words[1]) +
                               " (expected one of: " + known + ")");
    }
    Placement where;
    std::optional<Mode> editor;
    std::optional<Mode> render;
    std::optional<bool> enabled;
    std::optional<bool> selected;
    for (std::size_t i = 3; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (!setting) {
            return Error(line, Quoted(line.words[i]) + " is not KEY=VALUE");
        }
        if (setting->key == "parent") {
            if ((where.parent = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
        } else if (setting->key == "after") {
            if ((where.after = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
        } else if (setting->key == "editor" && ModeFromName(setting->value)) {
            editor = ModeFromName(setting->value);
        } else if (setting->key == "render" && ModeFromName(setting->value)) {
            render = ModeFromName(setting->value);
        } else if (setting->key == "enabled" && ParseYesNo(setting->value)) {
            enabled = ParseYesNo(setting->value);
        } else if (setting->key == "selected" && ParseYesNo(setting->value)) {
            selected = ParseYesNo(setting->value);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected parent=PATH, after=PATH, editor=on|off|default, "
                                   "render=on|off|default, enabled=yes|no or selected=yes|no");
        }
    }
    if (where.after != nullptr && where.after->Up() != where.parent) {
        return Error(line, "after=" + PathOf(*where.after) + " is not a child of the parent given");
    }
    Object* object = host_.ActiveDocument().CreateObject(type->type, line.words[2], where);
    object->SetEditorMode(editor.value_or(Mode::Default));
    object->SetRenderMode(render.value_or(Mode::Default));
    object->SetEnabled(enabled.value_or(true));
    if (selected.value_or(false)) {
        object->SetBit(kBitActive);
    }
    return true;
}

bool Session::Delete(const ScriptLine& line) {
    if (line.words.size() != 2) {
        return Usage(line);
    }
    Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    host_.ActiveDocument().DeleteObject(object);
    return true;
}

bool Session::Move(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    Placement where{object->Up(), nullptr};
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "parent") {
            where.parent = setting->value == "top" ? nullptr : Resolve(line, setting->value);
            if (setting->value != "top" && where.parent == nullptr) {
                return false;
            }
        } else if (setting && setting->key == "after") {
            if ((where.after = Resolve(line, setting->value)) == nullptr) {
                return false;
            }
        } else {
            return Usage(line);
        }
    }
    if (where.after != nullptr && where.after->Up() != where.parent) {
        return Error(line, "after=" + PathOf(*where.after) + " is not a child of the new parent");
    }
    if (!host_.ActiveDocument().MoveObject(object, where)) {
        return Error(line, "cannot move " + Quoted(PathOf(*object)) + " into its own hierarchy");
    }
    return true;
}

bool Session::Select(const ScriptLine& line) {
    std::size_t first = 1;
    const bool adding = line.words.size() > 1 && line.words[1] == "add";
    if (adding) {
        first = 2;
    }
    if (line.words.size() <= first) {
        return Usage(line);
    }
    std::vector<Object*> objects;
    for (std::size_t i = first; i < line.words.size(); ++i) {
        Object* object = Resolve(line, line.words[i]);
        if (object == nullptr) {
            return false;
        }
        objects.push_back(object);
    }
    if (!adding) {
        host_.ActiveDocument().DeselectAll();
    }
    for (Object* object : objects) {
        object->SetBit(kBitActive);
    }
    return true;
}

bool Session::Deselect(const ScriptLine& line) {
    if (line.words.size() == 1) {
        host_.ActiveDocument().DeselectAll();
        return true;
    }
    for (std::size_t i = 1; i < line.words.size(); ++i) {
        Object* object = Resolve(line, line.words[i]);
        if (object == nullptr) {
            return false;
        }
        object->DelBit(kBitActive);
    }
    return true;
}

bool Session::Link(const ScriptLine& line) {
    if (line.words.size() != 3) {
        return Usage(line);
    }
    Object* instance = Resolve(line, line.words[1]);
    if (instance == nullptr) {
        return false;
    }
    if (instance->Type() != HOST_OBJECT_INSTANCE) {
        return Error(line, Quoted(PathOf(*instance)) + " is not an instance object");
    }
    if (line.words[2] == "none") {
        instance->Data().Remove(kInstanceLink);
        return true;
    }
    Object* target = Resolve(line, line.words[2]);
    if (target == nullptr) {
        return false;
    }
    instance->Data().SetLink(kInstanceLink, target->Id());
    return true;
}

bool Session::Set(const ScriptLine& line) {
    if (line.words.size() < 3) {
        return Usage(line);
    }
    Object* object = Resolve(line, line.words[1]);
    if (object == nullptr) {
        return false;
    }
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        std::optional<Mode> mode;
        std::optional<bool> flag;
        if (setting && setting->key == "editor" && (mode = ModeFromName(setting->value))) {
            object->SetEditorMode(*mode);
        } else if (setting && setting->key == "render" && (mode = ModeFromName(setting->value))) {
            object->SetRenderMode(*mode);
        } else if (setting && setting->key == "enabled" && (flag = ParseYesNo(setting->value))) {
            object->SetEnabled(*flag);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected editor=on|off|default, render=on|off|default or "
                                   "enabled=yes|no");
        }
    }
    return true;
}

bool Session::TakeCommand(const ScriptLine& line) {
    if (line.words.size() != 3 || (line.words[1] != "new" && line.words[1] != "use")) {
        return Usage(line);
    }
    Document& document = host_.ActiveDocument();
    document.EnsureTakeData();
    TakeData& takes = *document.Takes();
    if (line.words[1] == "new") {
        if (takes.Find(line.words[2]) != nullptr) {
            return Error(line, "the document already has a take " + Quoted(line.words[2]));
        }
        takes.AddTake(line.words[2]);
        return true;
    }
    Take* take = takes.Find(line.words[2]);
    if (take == nullptr) {
        std::string known;
        for (const auto& t : takes.Takes()) {
            known += (known.empty() ? "" : ", ") + t->Name();
        }
        return Error(line, "no take " + Quoted(line.words[2]) + " (there are: " + known + ")");
    }
    takes.SetCurrent(take);
    return true;
}

// The command ------------------------------------------------------------------------------------

bool Session::Press(const ScriptLine& line) {
    if (line.words.size() > 2) {
        return Usage(line);
    }
    std::int32_t qualifiers = 0;
    if (line.words.size() == 2) {
        const std::optional<std::int32_t> mask = ParseQualifiers(line.words[1]);
        if (!mask) {
            return Error(line, Quoted(line.words[1]) +
                                   ": expected keys joined with '+', from shift, ctrl and alt, "
                                   "or none");
        }
        qualifiers = *mask;
    }
    if (host_.FindCommand(kVelaCommandId) == nullptr) {
        return Error(line, "the Vela Button is not registered: the module did not load or start");
    }
    host_.SetQualifiers(qualifiers);
    lastPressResult_ = host_.InvokeCommand(kVelaCommandId);
    host_.SetQualifiers(0);
    pressed_ = true;
    return true;
}

bool Session::State(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    const std::string state = CommandState();
    out_ << "Vela Button: " << (state.empty() ? "not registered" : state) << '\n';
    return true;
}

bool Session::Tree(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    PrintTree(out_, host_.ActiveDocument(), host_.Types(), CommandState(),
              TreeStyle{options_.color});
    return true;
}

bool Session::Dump(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    const SceneTextResult text = SerializeScene(host_.ActiveDocument());
    if (!text.Ok()) {
        return Error(line, text.error);
    }
    out_ << text.text;
    return true;
}

bool Session::ConsoleCommand(const ScriptLine& line) {
    if (line.words.size() != 1) {
        return Usage(line);
    }
    for (const ConsoleLine& entry : host_.Console()) {
        out_ << '[' << entry.file << ':' << entry.line << "] " << entry.text << '\n';
    }
    return true;
}

bool Session::Echo(const ScriptLine& line) {
    for (std::size_t i = 1; i < line.words.size(); ++i) {
        out_ << (i > 1 ? " " : "") << line.words[i];
    }
    out_ << '\n';
    return true;
}

// Expectations -----------------------------------------------------------------------------------

bool Session::Expect(const ScriptLine& line) {
    if (line.words.size() < 3 && !(line.words.size() == 2 && line.words[1] == "console")) {
        return Usage(line);
    }
    const std::string& subject = line.words[1];
    if (subject == "state") {
        const std::string wanted =
            line.words.size() == 4 && line.words[2] == "not" && line.words[3] == "isolated"
                ? "not isolated"
                : line.words[2];
        if (wanted != "isolated" && wanted != "not-isolated" && wanted != "not isolated") {
            return Error(line, "expected: expect state isolated|not-isolated");
        }
        const std::string state = CommandState();
        const std::string normal = wanted == "not-isolated" ? "not isolated" : wanted;
        if (state != normal) {
            return ExpectFailed(line, "the document should be " + normal + ", it is " +
                                          (state.empty() ? "without the command" : state));
        }
        return true;
    }
    if (subject == "result") {
        const std::optional<bool> wanted = ParseYesNo(line.words[2]);
        if (!wanted || line.words.size() != 3) {
            return Error(line, "expected: expect result true|false");
        }
        if (!pressed_) {
            return Error(line, "nothing was pressed yet");
        }
        if (lastPressResult_ != *wanted) {
            return ExpectFailed(line, std::string("the last press should have answered ") +
                                          (*wanted ? "true" : "false") + ", it answered " +
                                          (lastPressResult_ ? "true" : "false"));
        }
        return true;
    }
    if (subject == "console") {
        return ExpectConsole(line);
    }
    if (subject == "document") {
        return ExpectDocument(line);
    }
    if (subject == "pref" || subject == "opened" || subject == "world") {
        return ExpectPreferences(line);
    }
    if (subject == "message" || subject == "dialog" || subject == "shortcuts") {
        return ExpectUi(line);
    }
    Object* object = Resolve(line, subject);
    if (object == nullptr) {
        return false;
    }
    return ExpectObject(line, *object);
}

bool Session::ExpectObject(const ScriptLine& line, Object& object) {
    const std::string name = Quoted(PathOf(object));
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (!setting) {
            return Error(line, Quoted(line.words[i]) + " is not KEY=VALUE");
        }
        const std::string& key = setting->key;
        std::string is;
        bool known = true;
        if (key == "editor" && ModeFromName(setting->value)) {
            is = ModeName(object.EditorMode());
        } else if (key == "render" && ModeFromName(setting->value)) {
            is = ModeName(object.RenderMode());
        } else if (key == "enabled" && ParseYesNo(setting->value)) {
            is = YesNo(object.Enabled());
            if (*ParseYesNo(setting->value) == object.Enabled()) {
                is = setting->value;
            }
        } else if (key == "selected" && ParseYesNo(setting->value)) {
            is = YesNo(object.Selected());
            if (*ParseYesNo(setting->value) == object.Selected()) {
                is = setting->value;
            }
        } else if (key == "record" || key.rfind("saved-", 0) == 0) {
            known = false;
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected editor=MODE, render=MODE, enabled=yes|no, "
                                   "selected=yes|no, record=none|present, saved-editor=MODE, "
                                   "saved-render=MODE or saved-enabled=yes|no");
        }
        if (known && is != setting->value) {
            ExpectFailed(line, ShouldBe(name, key, setting->value).append(", it is ").append(is));
        }
    }
    return ExpectRecord(line, object);
}

bool Session::ExpectRecord(const ScriptLine& line, Object& object) {
    const std::string name = Quoted(PathOf(object));
    const Container* record = object.Data().GetContainerInstance(kRecordKey);
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        const std::string& key = setting->key;
        if (key == "record") {
            if (setting->value != "none" && setting->value != "present") {
                return Error(line, "expected record=none or record=present");
            }
            const bool wanted = setting->value == "present";
            if (wanted != (record != nullptr)) {
                ExpectFailed(line,
                             name + (wanted ? " should carry an isolation record, it has none"
                                            : " should carry no isolation record, it has one"));
            }
            continue;
        }
        if (key.rfind("saved-", 0) != 0) {
            continue;
        }
        if (record == nullptr) {
            ExpectFailed(line, ShouldBe(name, key, setting->value)
                                   .append(", but the object carries no isolation record"));
            continue;
        }
        std::string is;
        if (key == "saved-editor" && ModeFromName(setting->value)) {
            is = ModeNumberName(record->GetInt32(1000, 2));
        } else if (key == "saved-render" && ModeFromName(setting->value)) {
            is = ModeNumberName(record->GetInt32(1001, 2));
        } else if (key == "saved-enabled" && ParseYesNo(setting->value)) {
            const bool saved = record->GetBool(1002, true);
            is = saved == *ParseYesNo(setting->value) ? setting->value : YesNo(saved);
        } else {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected saved-editor=MODE, saved-render=MODE or "
                                   "saved-enabled=yes|no");
        }
        if (is != setting->value) {
            ExpectFailed(line, ShouldBe(name, key, setting->value).append(", it is ").append(is));
        }
    }
    return true;
}

bool Session::ExpectConsole(const ScriptLine& line) {
    std::optional<std::string> text;
    std::optional<std::int32_t> sourceLine;
    std::optional<std::string> file;
    std::optional<std::int32_t> count;
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "line" && ParseInt(setting->value)) {
            sourceLine = ParseInt(setting->value);
        } else if (setting && setting->key == "file") {
            file = setting->value;
        } else if (setting && setting->key == "count" && ParseInt(setting->value)) {
            count = ParseInt(setting->value);
        } else if (!text && i == 2) {
            text = line.words[i];
        } else {
            return Error(line, "expected: expect console [TEXT] [line=N] [file=F] [count=N]");
        }
    }
    std::int32_t matching = 0;
    for (const ConsoleLine& entry : host_.Console()) {
        if ((!text || entry.text == *text) && (!sourceLine || entry.line == *sourceLine) &&
            (!file || entry.file == *file)) {
            ++matching;
        }
    }
    const std::string what = text ? "console lines " + Quoted(*text) : std::string("console lines");
    if (count && matching != *count) {
        return ExpectFailed(line, "there should be " + std::to_string(*count) + " " + what +
                                      " (with the source given), there are " +
                                      std::to_string(matching));
    }
    if (!count && matching == 0) {
        return ExpectFailed(line, "no " + what + " (with the source given) were written");
    }
    return true;
}

bool Session::ExpectDocument(const ScriptLine& line) {
    const Container* record = host_.ActiveDocument().Data().GetContainerInstance(kRecordKey);
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "record" &&
            (setting->value == "none" || setting->value == "present")) {
            const bool wanted = setting->value == "present";
            if (wanted != (record != nullptr)) {
                ExpectFailed(line, std::string("the document should ") +
                                       (wanted ? "carry an isolation record, it has none"
                                               : "carry no isolation record, it has one"));
            }
        } else if (setting && setting->key == "begun-with-alt" && ParseYesNo(setting->value)) {
            const bool is = record != nullptr && record->GetBool(1004, false);
            if (is != *ParseYesNo(setting->value)) {
                ExpectFailed(line, std::string("the isolation should ") +
                                       (is ? "not have begun" : "have begun") + " with Alt held");
            }
        } else if (setting && setting->key == "doc-state" && ParseInt(setting->value)) {
            const std::int32_t is = record != nullptr ? record->GetInt32(1003, 0) : 0;
            if (is != *ParseInt(setting->value)) {
                ExpectFailed(line, "the document record's state should be " + setting->value +
                                       ", it is " + std::to_string(is));
            }
        } else {
            return Error(line,
                         "expected: expect document [record=none|present] "
                         "[doc-state=N] [begun-with-alt=yes|no]");
        }
    }
    return true;
}

}  // namespace vhost::cli
