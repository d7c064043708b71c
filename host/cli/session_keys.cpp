// Session commands for the button and the keyboard: pressing the Vela Button with keys held, key
// strokes through the shortcut table, the table itself, and the expectations about what they ran.
#include <iomanip>
#include <optional>
#include <sstream>

#include "actions/perform.h"
#include "cli/script_words.h"
#include "cli/session.h"
#include "shortcuts/shortcut_table.h"
#include "text/ascii.h"
#include "text/quoting.h"
#include "vela2023/vela_ids.h"

namespace vhost::cli {

namespace {

constexpr std::int32_t kVelaCommandId = ID_VELA;
constexpr std::int32_t kStateChecked = HOST_COMMAND_CHECKED;

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

// The button --------------------------------------------------------------------------------------

std::string Session::CommandState() {
    if (host_.FindCommand(kVelaCommandId) == nullptr) {
        return {};
    }
    return (host_.QueryCommandState(kVelaCommandId) & kStateChecked) != 0 ? "isolated"
                                                                          : "not isolated";
}

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
    const actions::Outcome pressed =
        actions::Perform(host_, actions::PressCommand{kVelaCommandId, qualifiers});
    if (!pressed.Done()) {
        return Error(line, "the Vela Button is not registered: the module did not load or start");
    }
    lastPressResult_ = pressed.commandResult;
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

bool Session::ExpectState(const ScriptLine& line) {
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

bool Session::ExpectResult(const ScriptLine& line) {
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

// Keys and the shortcut table ---------------------------------------------------------------------

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
        const std::optional<std::int32_t> mask = ParseQualifiers(AsciiLower(qualifierPart));
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
    actions::Perform(host_, actions::StrokeKey{qualifiers, key});
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
