// Modal dialogs and message boxes of modules, driven as the host drives them.
//
// A module's dialog is a handle bound to its class table and instance. Opening it modally builds
// the window: the host calls `create_layout` once (the layout calls build a tree of gadgets),
// then `init_values`, and then hands the person's actions to the dialog until the window closes:
// typing replaces the text of the dialog's first edit field, OK and Cancel are reported to the
// module through `command` (the module answers by asking the host to close, with or without
// `ask_close`), and the window's own close control closes the window unless `ask_close` answers
// true. Message boxes show a text and wait to be dismissed.
//
// The person is a queue of actions, filled before the dialog opens (session scripts do it with
// `dialog type TEXT`, `dialog ok`, `message ok`, ...). The next modal dialog or message box takes
// them in order; actions that nothing has taken yet stay queued for the next one. A window that
// waits with nothing queued, or with an action that does not fit it (a message action for a
// dialog, a dialog action for a message box, typing where there is no field, OK where there is no
// OK button), is not left hanging: the host cancels the dialog (Cancel when it has the button,
// then closes what is still open) or dismisses the message box, and records an error naming the
// window and the context that opened it.
//
// A host with a person at hand (the studio) gives the driver a person to ask: when the queue is
// empty the driver shows the person the open window and does what they answer, until the window
// closes; an answer of none (the person left, the host is stopping) cancels the window as an
// unattended one. Without a person the driver behaves as described above.
//
// All of this runs on the host's main thread, inside the module's call to open the window.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_layout.h"
#include "vela_host/host_dialogs.h"

namespace vhost {

// What the person does, as queued for the next window.
struct DialogAction {
    enum class Kind { Type, Ok, Cancel, Close, MessageOk };
    Kind kind = Kind::Ok;
    std::string text;    // what Type types
    std::string origin;  // where it was queued (the driver's context then)

    // As a session script writes it: `dialog type ab`, `dialog type "a b"`, `dialog ok`, ...
    std::string Describe() const;
    bool IsMessageAction() const { return kind == Kind::MessageOk; }
};

// An open modal window as the person sees it while the host waits for their action.
struct OpenWindow {
    enum class Kind { Dialog, Message };
    Kind kind = Kind::Dialog;
    std::string title;               // dialogs
    const Gadget* layout = nullptr;  // dialogs: the layout's root, with the values shown now
    std::string text;                // message boxes
    std::string context;             // what opened it
};

// Asks the person for their next action in an open window; none when no answer will come.
using PersonAsker = std::function<std::optional<DialogAction>(const OpenWindow&)>;

// Why `action` cannot be done in `window` (typing without a field, OK without the button, a
// message action in a dialog); none when it can. Any action dismisses a message box.
std::optional<std::string> ActionMisfit(const OpenWindow& window, const DialogAction& action);

// A problem the driver met, with the context that was current when it met it.
struct DialogError {
    std::string context;
    std::string message;
    std::string Text() const { return context.empty() ? message : context + ": " + message; }
};

// A dialog window that was opened, as it was when it closed.
struct DialogOutcome {
    std::string title;
    std::string context;  // what opened it
    std::string layout;   // LayoutText with the values at close
    // How it closed: "ok", "cancel", "close" (the window's close control), "module" (the module
    // closed it by itself), "unattended" (the host cancelled it: nothing fitting was queued),
    // "open" while it is still open.
    std::string closedBy = "open";
    // Where the module asked it to open.
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool resizable = false;
    // The texts of the static texts and edit fields at close, by gadget id, in layout order.
    std::vector<std::pair<std::int32_t, std::string>> texts;

    const std::string* TextOf(std::int32_t id) const;
};

struct MessageBoxRecord {
    std::string text;
    std::string context;
};

class DialogDriver {
public:
    // The driver answers for one host's dialog area and needs nothing else of it.
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Set up. A driver that refuses dialogs makes none: `create` answers null, as a host that
    // cannot make a window does.
    void SetRefuseDialogs(bool refuse);
    bool RefusesDialogs() const;
    // The person asked when a window waits and nothing is queued; none (the default) cancels it.
    void SetPerson(PersonAsker person);
    // What is running now (a session passes "script.vela:12"); errors and windows are tagged
    // with it. Queued actions take it as their origin.
    void SetContext(std::string context);
    const std::string& Context() const;

    // The person's actions, taken in order by the next windows.
    void Queue(DialogAction action);
    const std::deque<DialogAction>& Queued() const;
    // Empties the queue and answers what was in it.
    std::deque<DialogAction> TakeQueued();

    // What happened: dialogs in the order they opened, every message box, and errors since the
    // last TakeErrors.
    const std::vector<DialogOutcome>& Outcomes() const;
    const std::vector<MessageBoxRecord>& MessageBoxes() const;
    std::vector<DialogError> TakeErrors();
    bool HasErrors() const;
    // Dialog handles the modules hold (made and not destroyed), and creations refused.
    std::size_t LiveDialogs() const;
    std::int32_t RefusedCreations() const;

    // The dialog area of the interface table. Handles the driver did not make, or made and
    // destroyed, are ignored (false, nothing, or null).
    HostDialog* Create(const HostDialogClass* klass, void* instance);
    void Destroy(HostDialog* dialog);
    bool OpenModal(HostDialog* dialog, std::int32_t x, std::int32_t y, std::int32_t width,
                   std::int32_t height, bool resizable);
    void Close(HostDialog* dialog, bool ask);
    bool SetTitle(HostDialog* dialog, std::string_view title);
    bool GroupBegin(HostDialog* dialog, std::int32_t id, std::int32_t flags, std::int32_t columns,
                    std::int32_t rows, std::string_view title, std::int32_t groupFlags,
                    std::int32_t initWidth, std::int32_t initHeight);
    bool GroupEnd(HostDialog* dialog);
    bool GroupSpace(HostDialog* dialog, std::int32_t horizontal, std::int32_t vertical);
    bool GroupBorderSpace(HostDialog* dialog, std::int32_t left, std::int32_t top,
                          std::int32_t right, std::int32_t bottom);
    bool AddStaticText(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                       std::int32_t initWidth, std::int32_t initHeight, std::string_view text,
                       std::int32_t borderStyle);
    bool AddEditText(HostDialog* dialog, std::int32_t id, std::int32_t flags,
                     std::int32_t initWidth, std::int32_t initHeight, std::int32_t editFlags);
    bool AddDlgGroup(HostDialog* dialog, std::int32_t buttons);
    bool SetString(HostDialog* dialog, std::int32_t id, std::string_view text);
    // The text of a static text or edit field; none for other gadgets and unknown ids.
    std::optional<std::string> GetString(const HostDialog* dialog, std::int32_t id) const;
    void MessageDialog(std::string_view text);

    // How deep modal windows may nest (a dialog opening a dialog ...) before the host refuses.
    static constexpr int kMaxNesting = 8;

private:
    struct Record;
    Record* Find(const HostDialog* dialog) const;
    // Adds a gadget to the innermost open group of a dialog being built.
    Gadget* AddGadget(HostDialog* dialog, Gadget gadget);
    void Fail(std::string message);
    void Drive(Record& record);
    bool Perform(Record& record, const DialogAction& action);
    static void Report(Record& record, std::int32_t id);
    static bool AskClose(Record& record);
    static void Unattended(Record& record);
    bool AskPerson(const OpenWindow& window);

    bool refuse_ = false;
    std::string context_;
    std::deque<DialogAction> queue_;
    PersonAsker person_;
    std::vector<std::unique_ptr<Record>> records_;
    std::vector<DialogOutcome> outcomes_;
    std::vector<MessageBoxRecord> messages_;
    std::vector<DialogError> errors_;
    std::int32_t refused_ = 0;
    int nesting_ = 0;
};

}  // namespace vhost
