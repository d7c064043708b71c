// A session: the commands of session scripts carried out on a host with the plug-in loaded, as a
// person would do them in the host.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/script_parser.h"
#include "cli/script_words.h"
#include "host.h"

namespace vhost {
struct DialogOutcome;
}  // namespace vhost

namespace vhost::cli {

struct SessionOptions {
    bool color = false;  // colours in tree views
};

class Session {
public:
    Session(Host& host, std::ostream& out, std::ostream& err, SessionOptions options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs every line of the script file; answers true when each ran and every expectation held.
    // A line that errs stops the script; a failed expectation is reported and the script goes on.
    bool RunScriptFile(const std::string& path);
    bool RunScriptText(const std::string& text, const std::string& name);

    // The commands with their usage, for --help.
    static std::string CommandSummary();

private:
    struct Command {
        const char* usage;
        const char* help;
        bool (Session::*run)(const ScriptLine&);
    };
    static const std::map<std::string, Command, std::less<>>& Commands();

    bool RunLine(const ScriptLine& line);
    // Runs one line with the dialog driver told which line it is; what the driver and the
    // shortcut table report on the way becomes the line's errors and warnings.
    bool RunWatched(const ScriptLine& line, bool (Session::*run)(const ScriptLine&));

    // Reporting. Error() stops the script; ExpectFailed() counts a failed expectation.
    bool Error(const ScriptLine& line, const std::string& message);
    bool Usage(const ScriptLine& line);
    bool ExpectFailed(const ScriptLine& line, const std::string& message);

    // Resolves a word that names an object in the active document; reports the error itself.
    Object* Resolve(const ScriptLine& line, const std::string& path);
    // Resolves the words from `first` on into `ids`, in their order; false, with the error
    // reported, at the first that names no object.
    bool ResolveAll(const ScriptLine& line, std::size_t first, std::vector<ObjectId>& ids);
    std::string ResolvePath(const std::string& file);

    // Output and expectations in general (session.cpp). Expect sends each to its subject.
    bool ConsoleCommand(const ScriptLine& line);
    bool Echo(const ScriptLine& line);
    bool Expect(const ScriptLine& line);
    bool ExpectConsole(const ScriptLine& line);

    // The scene (session_scene.cpp).
    bool New(const ScriptLine& line);
    bool Open(const ScriptLine& line);
    bool Save(const ScriptLine& line);
    bool Add(const ScriptLine& line);
    bool Delete(const ScriptLine& line);
    bool Move(const ScriptLine& line);
    bool Select(const ScriptLine& line);
    bool Deselect(const ScriptLine& line);
    bool Link(const ScriptLine& line);
    bool Set(const ScriptLine& line);
    bool TakeCommand(const ScriptLine& line);
    bool Tree(const ScriptLine& line);
    bool Dump(const ScriptLine& line);
    bool ExpectObject(const ScriptLine& line, Object& object);
    bool ExpectRecord(const ScriptLine& line, Object& object);
    bool ExpectDocument(const ScriptLine& line);

    // Editing, the open documents and the history (session_edit.cpp).
    Document* FindOpenDocument(const ScriptLine& line, const std::string& name);
    bool Rename(const ScriptLine& line);
    bool Transform(const ScriptLine& line);
    bool Copy(const ScriptLine& line);
    bool Paste(const ScriptLine& line);
    bool DocumentCommand(const ScriptLine& line);
    bool Close(const ScriptLine& line);
    bool UndoCommand(const ScriptLine& line);
    bool RedoCommand(const ScriptLine& line);
    bool ExpectHistory(const ScriptLine& line);

    // The button and the keyboard (session_keys.cpp).
    std::string CommandState();
    bool Press(const ScriptLine& line);
    bool State(const ScriptLine& line);
    bool ExpectState(const ScriptLine& line);
    bool ExpectResult(const ScriptLine& line);
    bool Key(const ScriptLine& line);
    bool Shortcuts(const ScriptLine& line);
    bool ExpectShortcuts(const ScriptLine& line);
    // ran=NAME|ID|none: what the last key stroke through the shortcut table ran.
    void ExpectLastKeyRan(const ScriptLine& line, const std::string& wanted);

    // Dialogs and message boxes (session_dialogs.cpp).
    bool DialogCommand(const ScriptLine& line);
    bool MessageCommand(const ScriptLine& line);
    bool ExpectMessage(const ScriptLine& line);
    bool ExpectDialog(const ScriptLine& line);
    // title=, layout=, closed= or ID= (a gadget's text) of the dialog that opened last.
    void ExpectOfLastDialog(const ScriptLine& line, const DialogOutcome& last,
                            const Setting& setting);
    // At the end of a script: actions still queued for windows are errors when the script ran to
    // its end; the queue is emptied either way.
    bool FinishScriptWindows(bool ranToEnd);

    // Preference pages (session_pages.cpp).
    bool Page(const ScriptLine& line);
    bool Pref(const ScriptLine& line);
    bool Click(const ScriptLine& line);
    bool ExpectPreferences(const ScriptLine& line);
    // One KEY=VALUE of those expectations each; false when the line errs, which stops the script
    // (nothing about what was opened can err: the word was checked before).
    bool ExpectPageParameter(const ScriptLine& line, const std::string& parameter,
                             const std::string& wanted);
    void ExpectOpened(const ScriptLine& line, const std::string& kind, const std::string& wanted);
    bool ExpectWorldValue(const ScriptLine& line, const std::string& key,
                          const std::string& wanted);

    Host& host_;
    std::ostream& out_;
    std::ostream& err_;
    SessionOptions options_;
    std::string scriptDir_;
    std::string scratchDir_;  // made on first use of $TMP, removed with the session
    bool lastPressResult_ = false;
    bool pressed_ = false;
    int failedExpectations_ = 0;
};

}  // namespace vhost::cli
