// Session commands for what a person does with windows and keys: actions queued for the next
// modal dialog or message box, key strokes through the shortcut table, the table itself, and the
// expectations about them.
//
// Actions are queued before the line that opens the window (`dialog type k`, `dialog ok`, then
// the line that presses the button opening the dialog). Actions that a line did not use stay
// queued for the next window, also across lines; at the end of a script, actions still queued
// are an error, each named with the line that queued it. A window that opens with nothing fitting
// queued is cancelled by the host and makes the line that opened it fail.
#include <algorithm>
#include <cctype>
#include <iomanip>
#include <sstream>

#include "cli/script_words.h"
#include "cli/session.h"
#include "shortcuts/shortcut_table.h"
#include "text/quoting.h"
#include "ui/dialog_driver.h"

namespace vhost::cli {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The name a shortcut's command goes by: a registered command's name, or a command of the host.
std::string CommandName(Host& host, std::int32_t id) {
    if (const RegisteredCommand* command = host.FindCommand(id)) return command->name;
    if (const BuiltinCommand* builtin = ShortcutTable::FindBuiltin(id)) {
        return std::string(builtin->name);
    }
    return "(no such command)";
}

// The texts of a command's shortcuts in table order, joined with ", ".
std::string KeysOf(const ShortcutTable& table, std::int32_t id) {
    std::string keys;
    for (const std::int32_t index : table.FindFromId(id)) {
        keys += (keys.empty() ? "" : ", ") + ShortcutTable::Text(*table.Get(index));
    }
    return keys;
}

}  // namespace

// Around lines and scripts ------------------------------------------------------------------------

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

bool Session::FinishScriptWindows(bool ranToEnd) {
    const std::deque<DialogAction> left = host_.Dialogs().TakeQueued();
    if (!ranToEnd) return false;
    for (const DialogAction& action : left) {
        err_ << action.origin << ": error: " << Quoted(action.Describe())
             << " was queued here, but no dialog or message box opened to take it\n";
    }
    return left.empty();
}

// Commands ----------------------------------------------------------------------------------------

bool Session::DialogCommand(const ScriptLine& line) {
    DialogDriver& dialogs = host_.Dialogs();
    const std::string what = line.words.size() >= 2 ? line.words[1] : std::string();
    if (what == "type" && line.words.size() == 3) {
        dialogs.Queue(DialogAction{DialogAction::Kind::Type, line.words[2], {}});
        return true;
    }
    if (line.words.size() != 2) return Usage(line);
    if (what == "ok" || what == "cancel" || what == "close") {
        const DialogAction::Kind kind = what == "ok"       ? DialogAction::Kind::Ok
                                        : what == "cancel" ? DialogAction::Kind::Cancel
                                                           : DialogAction::Kind::Close;
        dialogs.Queue(DialogAction{kind, {}, {}});
        return true;
    }
    if (what == "show") {
        if (dialogs.Outcomes().empty()) return Error(line, "no dialog has opened yet");
        const DialogOutcome& last = dialogs.Outcomes().back();
        out_ << last.layout << "closed by " << last.closedBy << '\n';
        return true;
    }
    return Usage(line);
}

bool Session::MessageCommand(const ScriptLine& line) {
    if (line.words.size() != 2) return Usage(line);
    DialogDriver& dialogs = host_.Dialogs();
    if (line.words[1] == "ok") {
        dialogs.Queue(DialogAction{DialogAction::Kind::MessageOk, {}, {}});
        return true;
    }
    if (line.words[1] == "show") {
        if (dialogs.MessageBoxes().empty()) return Error(line, "no message box has opened yet");
        out_ << dialogs.MessageBoxes().back().text << '\n';
        return true;
    }
    return Usage(line);
}

// `key [shift+ctrl+alt+]K`: the key is the part after the last '+' that has something after it,
// so "ctrl++" is Ctrl with the plus key.
bool Session::Key(const ScriptLine& line) {
    if (line.words.size() != 2) return Usage(line);
    const std::string& word = line.words[1];
    std::string qualifierPart;
    std::string keyPart = word;
    if (word.size() > 1) {
        const std::size_t plus = word.rfind('+', word.size() - 2);
        if (plus != std::string::npos) {
            qualifierPart = word.substr(0, plus);
            keyPart = word.substr(plus + 1);
        }
    }
    std::int32_t qualifiers = 0;
    if (!qualifierPart.empty()) {
        const std::optional<std::int32_t> mask = ParseQualifiers(Lower(qualifierPart));
        if (!mask) {
            return Error(line, Quoted(qualifierPart) +
                                   ": expected qualifier keys joined with '+', from shift, ctrl "
                                   "and alt, before the key");
        }
        qualifiers = *mask;
    }
    const std::int32_t key = ShortcutTable::KeyFromName(keyPart);
    if (key == 0) {
        return Error(line, Quoted(keyPart) +
                               ": expected one character or a key name (Space, Tab, Enter, "
                               "Backspace, Esc, Delete, or # and a key code)");
    }
    host_.DispatchKey(qualifiers, key);
    return true;
}

bool Session::Shortcuts(const ScriptLine& line) {
    if (line.words.size() != 1) return Usage(line);
    const ShortcutTable& table = host_.Shortcuts();
    out_ << "shortcuts: " << table.Count() << '\n';
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        const Container& entry = *table.Get(i);
        const std::int32_t id = entry.GetInt32(HOST_SHORTCUT_PLUGINID, 0);
        std::ostringstream row;
        row << std::setw(4) << i << "  " << std::left << std::setw(10) << id << "  "
            << std::setw(26) << CommandName(host_, id) << "  " << ShortcutTable::Text(entry);
        if (const std::int32_t address = entry.GetInt32(HOST_SHORTCUT_ADDRESS, 0); address != 0) {
            row << "  (in manager " << address << ")";
        }
        out_ << row.str() << '\n';
    }
    return true;
}

// Expectations ------------------------------------------------------------------------------------

bool Session::ExpectUi(const ScriptLine& line) {
    const std::string& subject = line.words[1];
    if (subject == "message") {
        return ExpectMessage(line);
    }
    if (subject == "dialog") {
        return ExpectDialog(line);
    }
    return ExpectShortcuts(line);
}

bool Session::ExpectMessage(const ScriptLine& line) {
    std::optional<std::string> text;
    std::optional<std::int32_t> count;
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::string& word = line.words[i];
        const std::optional<Setting> setting = SplitSetting(word);
        if (setting && setting->key == "count" && ParseInt(setting->value)) {
            count = ParseInt(setting->value);
        } else if (setting && setting->key == "text" && !text) {
            text = setting->value;
        } else if (i == 2 && !text) {
            text = word;
        } else {
            return Error(line,
                         "expected: expect message TEXT|text=TEXT [count=N] | expect "
                         "message count=N");
        }
    }
    const auto& boxes = host_.Dialogs().MessageBoxes();
    if (count && static_cast<std::int32_t>(boxes.size()) != *count) {
        ExpectFailed(line, "there should have been " + std::to_string(*count) +
                               " message boxes, there were " + std::to_string(boxes.size()));
    }
    if (text) {
        if (boxes.empty()) return ExpectFailed(line, "no message box was shown");
        if (boxes.back().text != *text) {
            return ExpectFailed(line, "the last message box should read " + QuoteWord(*text) +
                                          ", it read " + QuoteWord(boxes.back().text));
        }
    }
    return true;
}

bool Session::ExpectDialog(const ScriptLine& line) {
    const DialogDriver& dialogs = host_.Dialogs();
    const auto& outcomes = dialogs.Outcomes();
    const DialogOutcome* last = outcomes.empty() ? nullptr : &outcomes.back();
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        const std::optional<std::int32_t> number =
            setting ? ParseInt(setting->value) : std::nullopt;
        if (setting && setting->key == "count" && number) {
            if (static_cast<std::int32_t>(outcomes.size()) != *number) {
                ExpectFailed(line, "there should have been " + setting->value +
                                       " dialogs opened, there were " +
                                       std::to_string(outcomes.size()));
            }
            continue;
        }
        if (setting && setting->key == "queued" && number) {
            const std::size_t queued = dialogs.Queued().size();
            if (static_cast<std::int32_t>(queued) != *number) {
                ExpectFailed(line, "there should be " + setting->value +
                                       " actions queued, there are " + std::to_string(queued));
            }
            continue;
        }
        const bool known = setting && (setting->key == "title" || setting->key == "layout" ||
                                       setting->key == "closed" || ParseInt(setting->key));
        if (!known) {
            return Error(line, Quoted(line.words[i]) +
                                   ": expected count=N, queued=N, title=TEXT, layout=TEXT, "
                                   "closed=ok|cancel|close|module|unattended or ID=TEXT (the "
                                   "text of gadget ID at close)");
        }
        if (last == nullptr) {
            ExpectFailed(line, "no dialog has opened yet");
            return true;
        }
        ExpectOfLastDialog(line, *last, *setting);
    }
    return true;
}

void Session::ExpectOfLastDialog(const ScriptLine& line, const DialogOutcome& last,
                                 const Setting& setting) {
    const std::optional<std::int32_t> gadget = ParseInt(setting.key);
    std::string is;
    if (setting.key == "title") {
        is = last.title;
    } else if (setting.key == "layout") {
        is = last.layout;
    } else if (setting.key == "closed") {
        is = last.closedBy;
    } else if (const std::string* text = last.TextOf(*gadget)) {
        is = *text;
    } else {
        ExpectFailed(line, "the last dialog has no text gadget " + setting.key);
        return;
    }
    if (is != setting.value) {
        ExpectFailed(line, "the last dialog's " + (gadget ? "gadget " + setting.key : setting.key) +
                               " should be " + QuoteWord(setting.value) + ", it is " +
                               QuoteWord(is));
    }
}

bool Session::ExpectShortcuts(const ScriptLine& line) {
    const ShortcutTable& table = host_.Shortcuts();
    std::optional<std::int32_t> id;
    std::optional<std::int32_t> count;
    std::optional<std::string> keys;
    std::optional<std::string> ran;
    for (std::size_t i = 2; i < line.words.size(); ++i) {
        const std::optional<Setting> setting = SplitSetting(line.words[i]);
        if (setting && setting->key == "id" && ParseInt(setting->value)) {
            id = ParseInt(setting->value);
        } else if (setting && setting->key == "count" && ParseInt(setting->value)) {
            count = ParseInt(setting->value);
        } else if (setting && setting->key == "keys") {
            keys = setting->value;
        } else if (setting && setting->key == "ran") {
            ran = setting->value;
        } else {
            return Error(line,
                         "expected: expect shortcuts [id=ID] [count=N] [keys=TEXT] "
                         "[ran=NAME|ID|none]");
        }
    }
    if (keys && !id) return Error(line, "keys=TEXT needs the command: id=ID");
    const std::string whose = id ? "command " + std::to_string(*id) : std::string("the table");
    if (count) {
        const std::size_t is =
            id ? table.FindFromId(*id).size() : static_cast<std::size_t>(table.Count());
        if (static_cast<std::int32_t>(is) != *count) {
            ExpectFailed(line, whose + " should have " + std::to_string(*count) +
                                   " shortcuts, it has " + std::to_string(is));
        }
    }
    if (keys) {
        const std::string is = KeysOf(table, *id);
        if (is != *keys) {
            ExpectFailed(line, "the shortcuts of " + whose + " should be " + QuoteWord(*keys) +
                                   ", they are " + QuoteWord(is));
        }
    }
    if (ran) {
        ExpectLastKeyRan(line, *ran);
    }
    return true;
}

void Session::ExpectLastKeyRan(const ScriptLine& line, const std::string& wanted) {
    const KeyMatch& match = host_.Shortcuts().LastMatch();
    const bool complete = match.kind == KeyMatch::Kind::Complete;
    const std::string name = complete ? CommandName(host_, match.command) : "none";
    const std::string number = complete ? std::to_string(match.command) : "none";
    if (wanted != name && wanted != number) {
        ExpectFailed(line, "the last key should have run " + QuoteWord(wanted) + ", it ran " +
                               (complete ? QuoteWord(name) + " (" + number + ")"
                                : match.kind == KeyMatch::Kind::Pending
                                    ? std::string("nothing yet (it began a longer "
                                                  "shortcut)")
                                    : std::string("nothing")));
    }
}

}  // namespace vhost::cli
