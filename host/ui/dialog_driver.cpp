#include "ui/dialog_driver.h"

#include <algorithm>
#include <utility>

#include "model/container.h"
#include "modules/module_class.h"
#include "text/quoting.h"
#include "text/utf8.h"

namespace vhost {

namespace {

// The message a dialog receives when one of its gadgets is used, as the host's own dialogs get
// it: the action, with the gadget's id under its own key.
constexpr std::int32_t kActionMessage = HOST_DLG_MSG_ACTION;
constexpr std::int32_t kActionId = HOST_DLG_MSG_ACTION_ID;

void AppendSetting(std::string& line, const char* name, std::int32_t value) {
    if (value != 0) line += std::string(" ") + name + "=" + std::to_string(value);
}

void AppendLayout(std::string& out, const Gadget& gadget, int depth) {
    std::string line(static_cast<std::size_t>(depth) * 2, ' ');
    switch (gadget.kind) {
        case Gadget::Kind::Group:
            line += "group " + std::to_string(gadget.id) +
                    " columns=" + std::to_string(gadget.columns) +
                    " rows=" + std::to_string(gadget.rows);
            if (!gadget.title.empty()) line += " title=" + Quoted(gadget.title);
            AppendSetting(line, "flags", gadget.flags);
            AppendSetting(line, "group-flags", gadget.groupFlags);
            AppendSetting(line, "width", gadget.initWidth);
            AppendSetting(line, "height", gadget.initHeight);
            if (gadget.spacing != std::array<std::int32_t, 2>{}) {
                line += " spacing=" + std::to_string(gadget.spacing[0]) + "," +
                        std::to_string(gadget.spacing[1]);
            }
            if (gadget.border != std::array<std::int32_t, 4>{}) {
                line += " border=" + std::to_string(gadget.border[0]) + "," +
                        std::to_string(gadget.border[1]) + "," + std::to_string(gadget.border[2]) +
                        "," + std::to_string(gadget.border[3]);
            }
            break;
        case Gadget::Kind::StaticText:
            line += "static " + std::to_string(gadget.id);
            AppendSetting(line, "flags", gadget.flags);
            AppendSetting(line, "width", gadget.initWidth);
            AppendSetting(line, "height", gadget.initHeight);
            AppendSetting(line, "border-style", gadget.borderStyle);
            line += " " + Quoted(gadget.text);
            break;
        case Gadget::Kind::EditText:
            line += "edit " + std::to_string(gadget.id);
            AppendSetting(line, "flags", gadget.flags);
            AppendSetting(line, "width", gadget.initWidth);
            AppendSetting(line, "height", gadget.initHeight);
            AppendSetting(line, "edit-flags", gadget.editFlags);
            line += " " + Quoted(gadget.text);
            break;
        case Gadget::Kind::ButtonRow:
            line += "buttons";
            if ((gadget.buttons & HOST_DLG_GROUP_OK) != 0) line += " OK";
            if ((gadget.buttons & HOST_DLG_GROUP_CANCEL) != 0) line += " Cancel";
            AppendSetting(line, "other",
                          gadget.buttons & ~(HOST_DLG_GROUP_OK | HOST_DLG_GROUP_CANCEL));
            break;
    }
    out += line + "\n";
    for (const Gadget& child : gadget.children) AppendLayout(out, child, depth + 1);
}

// Walks the layout in order; stops when `visit` answers true and answers that gadget.
template <typename GadgetType, typename Visit>
GadgetType* FindGadget(GadgetType& gadget, const Visit& visit) {
    if (visit(gadget)) return &gadget;
    for (auto& child : gadget.children) {
        if (GadgetType* found = FindGadget(child, visit)) return found;
    }
    return nullptr;
}

bool HasTextKind(const Gadget& gadget) {
    return gadget.kind == Gadget::Kind::StaticText || gadget.kind == Gadget::Kind::EditText;
}

bool HasButton(Gadget& root, std::int32_t button) {
    return FindGadget(root, [button](const Gadget& g) {
               return g.kind == Gadget::Kind::ButtonRow && (g.buttons & button) != 0;
           }) != nullptr;
}

void CollectTexts(const Gadget& gadget, std::vector<std::pair<std::int32_t, std::string>>& texts) {
    if (HasTextKind(gadget)) texts.emplace_back(gadget.id, gadget.text);
    for (const Gadget& child : gadget.children) CollectTexts(child, texts);
}

std::string DialogName(const std::string& title) {
    return title.empty() ? std::string("a dialog without a title") : "the dialog " + Quoted(title);
}

// A message box is named by the start of its text.
std::string MessageName(std::string_view text) {
    constexpr std::size_t kShown = 40;
    const std::string_view first = FirstCharacters(text.substr(0, text.find('\n')), kShown);
    return std::string(first.size() < text.size() ? "the message box beginning "
                                                  : "the message box ") +
           Quoted(first);
}

// An action in quotes, with the line that queued it.
std::string WithOrigin(const DialogAction& action) {
    return Quoted(action.Describe()) +
           (action.origin.empty() ? "" : " (queued at " + action.origin + ")");
}

}  // namespace

std::optional<std::string> ActionMisfit(const OpenWindow& window, const DialogAction& action) {
    if (window.kind == OpenWindow::Kind::Message || window.layout == nullptr) return std::nullopt;
    const std::string name = DialogName(window.title);
    // The layout is only read; FindGadget takes it as it is given.
    const Gadget& root = *window.layout;
    auto has = [&root](auto&& visit) { return FindGadget(root, visit) != nullptr; };
    switch (action.kind) {
        case DialogAction::Kind::Type:
            if (!has([](const Gadget& g) { return g.kind == Gadget::Kind::EditText; })) {
                return name + " has no field to type into";
            }
            break;
        case DialogAction::Kind::Ok:
        case DialogAction::Kind::Cancel: {
            const bool ok = action.kind == DialogAction::Kind::Ok;
            const std::int32_t button = ok ? HOST_DLG_GROUP_OK : HOST_DLG_GROUP_CANCEL;
            if (!has([button](const Gadget& g) {
                    return g.kind == Gadget::Kind::ButtonRow && (g.buttons & button) != 0;
                })) {
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

std::string LayoutText(std::string_view title, const Gadget& root) {
    std::string out = "dialog " + Quoted(title);
    if (root.spacing != std::array<std::int32_t, 2>{}) {
        out +=
            " spacing=" + std::to_string(root.spacing[0]) + "," + std::to_string(root.spacing[1]);
    }
    if (root.border != std::array<std::int32_t, 4>{}) {
        out += " border=" + std::to_string(root.border[0]) + "," + std::to_string(root.border[1]) +
               "," + std::to_string(root.border[2]) + "," + std::to_string(root.border[3]);
    }
    out += "\n";
    for (const Gadget& child : root.children) AppendLayout(out, child, 1);
    return out;
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

// A dialog handle. The module holds it from `create` to `destroy`; the window it stands for is
// built anew each time it opens.
struct DialogDriver::Record {
    enum class State { Closed, Building, Open };

    const HostDialogClass* klass = nullptr;
    void* instance = nullptr;
    std::string title;
    Gadget root;
    std::vector<Gadget*> groups;  // while building: the open groups, the root first
    State state = State::Closed;
    bool driving = false;    // inside OpenModal
    bool asking = false;     // inside ask_close
    bool destroyed = false;  // destroyed by the module while open; freed when OpenModal ends
    std::string action;      // the action being carried out, empty outside one
    std::string closedBy;
    std::optional<DialogAction> last;  // the last action taken in this window

    HostDialog* Handle() { return reinterpret_cast<HostDialog*>(this); }
};

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

// Layout ------------------------------------------------------------------------------------------

Gadget* DialogDriver::AddGadget(HostDialog* dialog, Gadget gadget) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return nullptr;
    std::vector<Gadget>& siblings = record->groups.back()->children;
    siblings.push_back(std::move(gadget));
    return &siblings.back();
}

bool DialogDriver::SetTitle(HostDialog* dialog, std::string_view title) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return false;
    record->title = title;
    return true;
}

bool DialogDriver::GroupBegin(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                              std::int32_t columns, std::int32_t rows, std::string_view title,
                              std::int32_t groupFlags, std::int32_t initWidth,
                              std::int32_t initHeight) {
    Gadget group;
    group.kind = Gadget::Kind::Group;
    group.id = id;
    group.flags = flags;
    group.columns = columns;
    group.rows = rows;
    group.title = title;
    group.groupFlags = groupFlags;
    group.initWidth = initWidth;
    group.initHeight = initHeight;
    Gadget* added = AddGadget(dialog, std::move(group));
    auto* record = Find(dialog);
    if (added == nullptr || record == nullptr) return false;
    // A group stays where it is while it is open: only its own children grow.
    record->groups.push_back(added);
    return true;
}

bool DialogDriver::GroupEnd(HostDialog* dialog) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building ||
        record->groups.size() < 2) {
        return false;
    }
    record->groups.pop_back();
    return true;
}

bool DialogDriver::GroupSpace(HostDialog* dialog, std::int32_t horizontal, std::int32_t vertical) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return false;
    record->groups.back()->spacing = {horizontal, vertical};
    return true;
}

bool DialogDriver::GroupBorderSpace(HostDialog* dialog, std::int32_t left, std::int32_t top,
                                    std::int32_t right, std::int32_t bottom) {
    Record* record = Find(dialog);
    if (record == nullptr || record->state != Record::State::Building) return false;
    record->groups.back()->border = {left, top, right, bottom};
    return true;
}

bool DialogDriver::AddStaticText(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                                 std::int32_t initWidth, std::int32_t initHeight,
                                 std::string_view text, std::int32_t borderStyle) {
    Gadget gadget;
    gadget.kind = Gadget::Kind::StaticText;
    gadget.id = id;
    gadget.flags = flags;
    gadget.initWidth = initWidth;
    gadget.initHeight = initHeight;
    gadget.text = text;
    gadget.borderStyle = borderStyle;
    return AddGadget(dialog, std::move(gadget)) != nullptr;
}

bool DialogDriver::AddEditText(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                               std::int32_t initWidth, std::int32_t initHeight,
                               std::int32_t editFlags) {
    Gadget gadget;
    gadget.kind = Gadget::Kind::EditText;
    gadget.id = id;
    gadget.flags = flags;
    gadget.initWidth = initWidth;
    gadget.initHeight = initHeight;
    gadget.editFlags = editFlags;
    return AddGadget(dialog, std::move(gadget)) != nullptr;
}

bool DialogDriver::AddDlgGroup(HostDialog* dialog, std::int32_t buttons) {
    if ((buttons & (HOST_DLG_GROUP_OK | HOST_DLG_GROUP_CANCEL)) == 0) return false;
    Gadget gadget;
    gadget.kind = Gadget::Kind::ButtonRow;
    gadget.buttons = buttons;
    return AddGadget(dialog, std::move(gadget)) != nullptr;
}

// Values ------------------------------------------------------------------------------------------

bool DialogDriver::SetString(HostDialog* dialog, std::int32_t id, std::string_view text) {
    Record* record = Find(dialog);
    if (record == nullptr) return false;
    Gadget* gadget =
        FindGadget(record->root, [id](const Gadget& g) { return g.id == id && HasTextKind(g); });
    if (gadget == nullptr) return false;
    gadget->text = text;
    return true;
}

std::optional<std::string> DialogDriver::GetString(const HostDialog* dialog,
                                                   std::int32_t id) const {
    const Record* record = Find(dialog);
    if (record == nullptr) return std::nullopt;
    const Gadget* gadget =
        FindGadget(record->root, [id](const Gadget& g) { return g.id == id && HasTextKind(g); });
    if (gadget == nullptr) return std::nullopt;
    return gadget->text;
}

// Message boxes -----------------------------------------------------------------------------------

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
