#include "ui/dialog_driver.h"

#include <algorithm>
#include <utility>

#include "model/container.h"
#include "modules/module_class.h"
#include "text/quoting.h"
#include "ui/dialog_record.h"

namespace vhost {

namespace {

// The message a dialog receives when one of its gadgets is used, as the host's own dialogs get
// it: the action, with the gadget's id under its own key.
constexpr std::int32_t kActionMessage = HOST_DLG_MSG_ACTION;
constexpr std::int32_t kActionId = HOST_DLG_MSG_ACTION_ID;

}  // namespace

std::string DialogName(std::string_view title) {
    return title.empty() ? std::string("a dialog without a title") : "the dialog " + Quoted(title);
}

std::string WithOrigin(const DialogAction& action) {
    return Quoted(action.Describe()) +
           (action.origin.empty() ? "" : " (queued at " + action.origin + ")");
}

std::optional<std::string> ActionMisfit(const OpenWindow& window, const DialogAction& action) {
    if (window.kind == OpenWindow::Kind::Message || window.layout == nullptr) return std::nullopt;
    const std::string name = DialogName(window.title);
    const Gadget& root = *window.layout;
    switch (action.kind) {
        case DialogAction::Kind::Type:
            if (FindGadget(root, [](const Gadget& g) {
                    return g.kind == Gadget::Kind::EditText;
                }) == nullptr) {
                return name + " has no field to type into";
            }
            break;
        case DialogAction::Kind::Ok:
        case DialogAction::Kind::Cancel: {
            const bool ok = action.kind == DialogAction::Kind::Ok;
            if (!HasButton(root, ok ? HOST_DLG_GROUP_OK : HOST_DLG_GROUP_CANCEL)) {
                return name + " has no " + (ok ? "OK" : "Cancel") + " button";
            }
            break;
        }
        case DialogAction::Kind::Close:
            break;
        case DialogAction::Kind::MessageOk:
            return name + " is a dialog, not a message box";
    }
    return std::nullopt;
}

std::string DialogAction::Describe() const {
    switch (kind) {
        case Kind::Type:
            return "dialog type " + QuoteWord(text);
        case Kind::Ok:
            return "dialog ok";
        case Kind::Cancel:
            return "dialog cancel";
        case Kind::Close:
            return "dialog close";
        case Kind::MessageOk:
            break;
    }
    return "message ok";
}

const std::string* DialogOutcome::TextOf(std::int32_t id) const {
    const auto found = std::find_if(texts.begin(), texts.end(),
                                    [id](const auto& entry) { return entry.first == id; });
    return found != texts.end() ? &found->second : nullptr;
}

DialogDriver::DialogDriver() = default;

DialogDriver::~DialogDriver() = default;

void DialogDriver::SetRefuseDialogs(bool refuse) { refuse_ = refuse; }

bool DialogDriver::RefusesDialogs() const { return refuse_; }

void DialogDriver::SetPerson(PersonAsker person) { person_ = std::move(person); }

// Queues the person's answer for the waiting window; false when no answer came.
bool DialogDriver::AskPerson(const OpenWindow& window) {
    std::optional<DialogAction> answer = person_(window);
    if (!answer) return false;
    Queue(std::move(*answer));
    return true;
}

void DialogDriver::SetContext(std::string context) { context_ = std::move(context); }

const std::string& DialogDriver::Context() const { return context_; }

void DialogDriver::Queue(DialogAction action) {
    if (action.origin.empty()) action.origin = context_;
    queue_.push_back(std::move(action));
}

const std::deque<DialogAction>& DialogDriver::Queued() const { return queue_; }

std::deque<DialogAction> DialogDriver::TakeQueued() { return std::exchange(queue_, {}); }

const std::vector<DialogOutcome>& DialogDriver::Outcomes() const { return outcomes_; }

const std::vector<MessageBoxRecord>& DialogDriver::MessageBoxes() const { return messages_; }

std::vector<DialogError> DialogDriver::TakeErrors() { return std::exchange(errors_, {}); }

bool DialogDriver::HasErrors() const { return !errors_.empty(); }

std::size_t DialogDriver::LiveDialogs() const {
    return static_cast<std::size_t>(std::count_if(records_.begin(), records_.end(),
                                                  [](const auto& r) { return !r->destroyed; }));
}

std::int32_t DialogDriver::RefusedCreations() const { return refused_; }

void DialogDriver::Fail(std::string message) {
    errors_.push_back(DialogError{context_, std::move(message)});
}

DialogDriver::Record* DialogDriver::Find(const HostDialog* dialog) const {
    for (const auto& record : records_) {
        if (record->Handle() == dialog && !record->destroyed) return record.get();
    }
    return nullptr;
}

// Handles -----------------------------------------------------------------------------------------

HostDialog* DialogDriver::Create(const HostDialogClass* klass, void* instance) {
    if (refuse_ || klass == nullptr || klass->size < sizeof(std::size_t)) {
        ++refused_;
        return nullptr;
    }
    auto record = std::make_unique<Record>();
    record->klass = klass;
    record->instance = instance;
    records_.push_back(std::move(record));
    return records_.back()->Handle();
}

void DialogDriver::Destroy(HostDialog* dialog) {
    Record* record = Find(dialog);
    if (record == nullptr) return;
    if (record->driving) {
        // The window goes with the handle; OpenModal frees the record when it unwinds.
        record->destroyed = true;
        record->state = Record::State::Closed;
        return;
    }
    records_.erase(std::find_if(records_.begin(), records_.end(),
                                [record](const auto& r) { return r.get() == record; }));
}

// The modal loop ----------------------------------------------------------------------------------

bool DialogDriver::OpenModal(HostDialog* dialog, std::int32_t x, std::int32_t y, std::int32_t width,
                             std::int32_t height, bool resizable) {
    Record* record = Find(dialog);
    if (record == nullptr || record->driving) return false;
    if (nesting_ >= kMaxNesting) {
        Fail("a dialog was to open inside " + std::to_string(nesting_) +
             " modal windows; the host opens no more than " + std::to_string(kMaxNesting) +
             " inside each other and refused it");
        return false;
    }
    const HostDialogClass* klass = record->klass;
    void* instance = record->instance;
    record->driving = true;
    ++nesting_;
    record->title.clear();
    record->root = Gadget{};
    record->root.columns = 1;
    record->groups = {&record->root};
    record->state = Record::State::Building;
    record->closedBy.clear();
    record->last.reset();
    const bool built =
        !VHOST_CLASS_HAS(klass, HostDialogClass, create_layout) || klass->create_layout(instance);
    record->groups.clear();
    bool opened = false;
    if (built && !record->destroyed) {
        record->state = Record::State::Open;
        const bool initialised =
            !VHOST_CLASS_HAS(klass, HostDialogClass, init_values) || klass->init_values(instance);
        if (!initialised) record->state = Record::State::Closed;
        opened = initialised && !record->destroyed;
    } else {
        record->state = Record::State::Closed;
    }
    if (opened) {
        outcomes_.push_back(
            DialogOutcome{record->title, context_, {}, "open", x, y, width, height, resizable, {}});
        const std::size_t outcome = outcomes_.size() - 1;
        Drive(*record);
        // The record may be gone from the module's view, but it lives until this call ends.
        DialogOutcome& closed = outcomes_[outcome];
        closed.layout = LayoutText(record->title, record->root);
        CollectTexts(record->root, closed.texts);
        closed.closedBy = record->closedBy.empty() ? "module" : record->closedBy;
    }
    --nesting_;
    record->driving = false;
    if (record->destroyed) {
        records_.erase(std::find_if(records_.begin(), records_.end(),
                                    [record](const auto& r) { return r.get() == record; }));
    }
    return opened;
}

// Hands the queued actions to the window until it closes. Each turn takes one action off the
// queue, so the loop ends at the latest when the queue is empty.
void DialogDriver::Drive(Record& record) {
    while (record.state == Record::State::Open) {
        if (queue_.empty() && person_ &&
            !AskPerson(
                OpenWindow{OpenWindow::Kind::Dialog, record.title, &record.root, {}, context_})) {
            Fail(DialogName(record.title) +
                 " was open when the person stopped answering; the host cancelled it");
            Unattended(record);
            return;
        }
        if (queue_.empty()) {
            if (!record.last) {
                Fail(DialogName(record.title) +
                     " waited for the person, but nothing was queued for it; the host cancelled "
                     "it (queue \"dialog type TEXT\", \"dialog ok\", \"dialog cancel\" or "
                     "\"dialog close\" before the line that opens it)");
            } else {
                Fail(DialogName(record.title) + " was still open after " +
                     WithOrigin(*record.last) +
                     " and nothing more was queued for it; the host cancelled it");
            }
            Unattended(record);
            return;
        }
        record.last = queue_.front();
        queue_.pop_front();
        const DialogAction action = *record.last;
        if (action.IsMessageAction()) {
            Fail("the action queued next for " + DialogName(record.title) + " was " +
                 WithOrigin(action) +
                 ", which is not a dialog action; the host dropped it and "
                 "cancelled the dialog");
            Unattended(record);
            return;
        }
        if (!Perform(record, action)) {
            Unattended(record);
            return;
        }
    }
}

bool DialogDriver::Perform(Record& record, const DialogAction& action) {
    switch (action.kind) {
        case DialogAction::Kind::Type: {
            Gadget* field = FindGadget(
                record.root, [](const Gadget& g) { return g.kind == Gadget::Kind::EditText; });
            if (field == nullptr) {
                Fail(WithOrigin(action) + ": " + DialogName(record.title) +
                     " has no field to type into; the host cancelled it");
                return false;
            }
            field->text = action.text;
            const std::int32_t id = field->id;
            // The field reports its change; closing from here is the module's own doing.
            record.action.clear();
            Report(record, id);
            return true;
        }
        case DialogAction::Kind::Ok:
        case DialogAction::Kind::Cancel: {
            const bool ok = action.kind == DialogAction::Kind::Ok;
            if (!HasButton(record.root, ok ? HOST_DLG_GROUP_OK : HOST_DLG_GROUP_CANCEL)) {
                Fail(WithOrigin(action) + ": " + DialogName(record.title) + " has no " +
                     (ok ? "OK" : "Cancel") + " button; the host cancelled it");
                return false;
            }
            record.action = ok ? "ok" : "cancel";
            Report(record, ok ? HOST_DLG_OK : HOST_DLG_CANCEL);
            record.action.clear();
            return true;
        }
        case DialogAction::Kind::Close:
            record.action = "close";
            if (!AskClose(record)) {
                record.closedBy = record.action;
                record.state = Record::State::Closed;
            }
            record.action.clear();
            return true;
        case DialogAction::Kind::MessageOk:
            break;
    }
    return false;
}

void DialogDriver::Report(Record& record, std::int32_t id) {
    if (!VHOST_CLASS_HAS(record.klass, HostDialogClass, command)) return;
    Container message(kActionMessage);
    message.SetInt32(kActionId, id);
    record.klass->command(record.instance, id, message.Handle());
}

bool DialogDriver::AskClose(Record& record) {
    if (!VHOST_CLASS_HAS(record.klass, HostDialogClass, ask_close)) return false;
    record.asking = true;
    const bool keepOpen = record.klass->ask_close(record.instance);
    record.asking = false;
    return keepOpen;
}

// Closes a window nobody attends to as the person would cancel it: through its Cancel button
// when it has one, so the module sees a cancel, then by force if it is still open.
void DialogDriver::Unattended(Record& record) {
    if (record.state != Record::State::Open) return;
    record.action = "unattended";
    if (HasButton(record.root, HOST_DLG_GROUP_CANCEL)) Report(record, HOST_DLG_CANCEL);
    if (record.state == Record::State::Open) record.state = Record::State::Closed;
    record.closedBy = "unattended";
    record.action.clear();
}

void DialogDriver::Close(HostDialog* dialog, bool ask) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Open) return;
    if (ask) {
        // A close asked for from inside ask_close is decided by the answer being given.
        if (record->asking || AskClose(*record)) return;
    }
    record->closedBy = record->action.empty() ? "module" : record->action;
    record->state = Record::State::Closed;
}

}  // namespace vhost
