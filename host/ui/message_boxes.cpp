// Message boxes: a text the person dismisses with the next action queued for it.
#include "text/quoting.h"
#include "text/utf8.h"
#include "ui/dialog_record.h"

namespace vhost {

namespace {

// A message box is named by the start of its text.
std::string MessageName(std::string_view text) {
    constexpr std::size_t kShown = 40;
    const std::string_view first = FirstCharacters(text.substr(0, text.find('\n')), kShown);
    return std::string(first.size() < text.size() ? "the message box beginning "
                                                  : "the message box ") +
           Quoted(first);
}

}  // namespace

void DialogDriver::MessageDialog(std::string_view text) {
    messages_.push_back(MessageBoxRecord{std::string(text), context_});
    const std::string name = MessageName(text);
    if (queue_.empty() && person_ &&
        !AskPerson(
            OpenWindow{OpenWindow::Kind::Message, {}, nullptr, std::string(text), context_})) {
        Fail(name + " was open when the person stopped answering; the host dismissed it");
        return;
    }
    if (queue_.empty()) {
        Fail(name +
             " waited for the person, but nothing was queued for it; the host dismissed "
             "it (queue \"message ok\" before the line that opens it)");
        return;
    }
    const DialogAction action = queue_.front();
    queue_.pop_front();
    if (!action.IsMessageAction()) {
        Fail("the action queued next for " + name + " was " + WithOrigin(action) +
             ", which is not a message action; the host dropped it and dismissed the message "
             "box");
    }
}

}  // namespace vhost
