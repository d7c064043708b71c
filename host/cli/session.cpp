// A session: running scripts line by line, reporting, resolving objects and paths, printing, and
// sending each expectation to the subject it is about. The commands live by subject beside it:
// session_scene.cpp (documents, objects, selection, takes), session_edit.cpp (renaming,
// transforms, the clipboard, the open documents, undo and redo), session_keys.cpp (the button and
// the keyboard), session_dialogs.cpp (dialogs and message boxes), session_pages.cpp (preferences).
#include "cli/session.h"

#include <filesystem>
#include <optional>
#include <random>

#include "cli/object_paths.h"
#include "cli/script_words.h"
#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "shortcuts/shortcut_table.h"
#include "text/quoting.h"
#include "ui/dialog_driver.h"

namespace vhost::cli {

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
          "[selected=yes|no] [link=PATH]",
          "create an object; an instance with link= refers to PATH", &Session::Add}},
        {"delete",
         {"delete PATH...", "delete objects with their children, one step", &Session::Delete}},
        {"move",
         {"move PATH [parent=PATH|top] [after=PATH]", "move an object with its children",
          &Session::Move}},
        {"select",
         {"select [add] [children] PATH...",
          "select these objects (with add: in addition to the selection; with children: each "
          "with everything below it)",
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
        {"rename", {"rename PATH NAME", "give an object a new name", &Session::Rename}},
        {"transform",
         {"transform PATH [position=X,Y,Z] [rotation=X,Y,Z] [scale=X,Y,Z] [continues=yes|no]",
          "place an object relative to its parent (rotation in degrees, X then Y then Z); a part "
          "not given is none (0,0,0, and scale 1,1,1)",
          &Session::Transform}},
        {"copy",
         {"copy PATH...", "copy objects with their children and containers to the clipboard",
          &Session::Copy}},
        {"paste",
         {"paste [document=NAME] [parent=PATH|top] [after=PATH]",
          "paste the clipboard into the active document, or into the open document named",
          &Session::Paste}},
        {"document",
         {"document NAME", "make the open document with this name the active one",
          &Session::DocumentCommand}},
        {"close",
         {"close [NAME]", "close the active document, or the open document named",
          &Session::Close}},
        {"undo", {"undo", "undo the active document's last edit", &Session::UndoCommand}},
        {"redo", {"redo", "do the last edit undone again", &Session::RedoCommand}},
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
          "pref PARAM=VALUE | expect opened file=NAME|web=URL | expect world ID/KEY=VALUE|none | "
          "expect undo|redo NAME|none",
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

// Scripts and lines -------------------------------------------------------------------------------

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

bool Session::RunWatched(const ScriptLine& line, bool (Session::*run)(const ScriptLine&)) {
    DialogDriver& dialogs = host_.Dialogs();
    ShortcutTable& shortcuts = host_.Shortcuts();
    for (const std::string& report : shortcuts.TakeReports()) {
        err_ << "vela-host: warning: " << report << '\n';
    }
    dialogs.SetContext(line.file + ":" + std::to_string(line.line));
    // A line is one action of the person: what it changes in the shortcut table is written when
    // it has finished.
    shortcuts.HoldSaves();
    bool ok = (this->*run)(line);
    shortcuts.ReleaseSaves();
    dialogs.SetContext({});
    for (const DialogError& error : dialogs.TakeErrors()) {
        ok = Error(line, error.message);
    }
    for (const std::string& report : shortcuts.TakeReports()) {
        err_ << line.file << ':' << line.line << ": warning: " << report << '\n';
    }
    return ok;
}

// Reporting ---------------------------------------------------------------------------------------

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

// Objects and files -------------------------------------------------------------------------------

Object* Session::Resolve(const ScriptLine& line, const std::string& path) {
    const ObjectLookup lookup = FindObject(host_.ActiveDocument(), path);
    if (lookup.object == nullptr) {
        Error(line, lookup.error);
    }
    return lookup.object;
}

bool Session::ResolveAll(const ScriptLine& line, std::size_t first, std::vector<ObjectId>& ids) {
    for (std::size_t i = first; i < line.words.size(); ++i) {
        const Object* object = Resolve(line, line.words[i]);
        if (object == nullptr) {
            return false;
        }
        ids.push_back(object->Id());
    }
    return true;
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

// Output ------------------------------------------------------------------------------------------

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

// Expectations ------------------------------------------------------------------------------------

bool Session::Expect(const ScriptLine& line) {
    if (line.words.size() < 3 && !(line.words.size() == 2 && line.words[1] == "console")) {
        return Usage(line);
    }
    const std::string& subject = line.words[1];
    if (subject == "state") {
        return ExpectState(line);
    }
    if (subject == "result") {
        return ExpectResult(line);
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
    if (subject == "message") {
        return ExpectMessage(line);
    }
    if (subject == "dialog") {
        return ExpectDialog(line);
    }
    if (subject == "undo" || subject == "redo") {
        return ExpectHistory(line);
    }
    if (subject == "shortcuts") {
        return ExpectShortcuts(line);
    }
    Object* object = Resolve(line, subject);
    if (object == nullptr) {
        return false;
    }
    return ExpectObject(line, *object);
}

}  // namespace vhost::cli
