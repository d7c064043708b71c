// Session commands for the windows a person answers: actions queued for the next modal dialog or
// message box, what was shown, and the expectations about them.
//
// Actions are queued before the line that opens the window (`dialog type k`, `dialog ok`, then
// the line that presses the button opening the dialog). Actions that a line did not use stay
// queued for the next window, also across lines; at the end of a script, actions still queued
// are an error, each named with the line that queued it. A window that opens with nothing fitting
// queued is cancelled by the host and makes the line that opened it fail.
#include <optional>

#include "cli/script_words.h"
#include "cli/session.h"
#include "text/quoting.h"
#include "ui/dialog_driver.h"

namespace vhost::cli {

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

// Expectations ------------------------------------------------------------------------------------

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

// At the end of a script --------------------------------------------------------------------------

bool Session::FinishScriptWindows(bool ranToEnd) {
    const std::deque<DialogAction> left = host_.Dialogs().TakeQueued();
    if (!ranToEnd) return false;
    for (const DialogAction& action : left) {
        err_ << action.origin << ": error: " << Quoted(action.Describe())
             << " was queued here, but no dialog or message box opened to take it\n";
    }
    return left.empty();
}

}  // namespace vhost::cli
