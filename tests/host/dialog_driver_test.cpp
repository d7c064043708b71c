// Modal dialogs and message boxes: the host drives a module's dialog by its protocol (OK and
// Cancel through `command`, close requests through `ask_close`), takes the person's actions from
// the queue in order, and never hangs on a window nobody attends to.
#include "ui/dialog_driver.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host.h"

namespace vhost {
namespace {

HostStringView View(const std::string& text) { return {text.data(), text.size()}; }

// A module's modal dialog as the client layer makes one: OK reports itself and asks to close
// (the answer of ask_close decides), Cancel reports itself and closes without asking. What the
// host calls is logged in order.
struct FakeDialog {
    const HostTable* table = nullptr;
    const HostDialogArea* area = nullptr;
    HostDialog* handle = nullptr;
    std::vector<std::string> calls;
    // The answer to ask_close: true keeps the window open. By default the window may close only
    // with exactly one character in the field, as a key-reading dialog decides.
    std::function<bool()> keepOpen;
    bool closeOnCancel = true;
    bool buildLayout = true;
    bool withField = true;
    bool withButtons = true;
    bool layoutAnswer = true;
    std::function<void()> onCommand;  // runs inside command, after the protocol's own steps
    std::string fieldAtOk;

    std::string Field() const {
        char buffer[64] = {};
        std::size_t size = 0;
        if (!area->get_string(table, handle, 12, buffer, sizeof buffer, &size)) return "<none>";
        return std::string(buffer, std::min(size, sizeof buffer));
    }
};

FakeDialog* Self(void* instance) { return static_cast<FakeDialog*>(instance); }

bool HOST_ABI CreateLayout(void* instance) {
    FakeDialog& d = *Self(instance);
    d.calls.push_back("create_layout");
    if (!d.buildLayout) return d.layoutAnswer;
    const HostTable* t = d.table;
    d.area->set_title(t, d.handle, View("Key Please"));
    d.area->group_begin(t, d.handle, 10, 0, 1, 0, View(""), 0, 0, 0);
    d.area->group_space(t, d.handle, 4, 4);
    d.area->group_border_space(t, d.handle, 4, 4, 4, 4);
    d.area->add_static_text(t, d.handle, 11, 0, 0, 0, View("Type one key."), 0);
    if (d.withField) d.area->add_edit_text(t, d.handle, 12, 0, 17, 0, 0);
    d.area->group_end(t, d.handle);
    if (d.withButtons)
        d.area->add_dlg_group(t, d.handle, HOST_DLG_GROUP_OK | HOST_DLG_GROUP_CANCEL);
    return d.layoutAnswer;
}

bool HOST_ABI InitValues(void* instance) {
    FakeDialog& d = *Self(instance);
    d.calls.push_back("init_values");
    d.area->set_string(d.table, d.handle, 12, View(""), 0, 0);
    return true;
}

bool HOST_ABI Command(void* instance, std::int32_t id, const HostContainer* /*message*/) {
    FakeDialog& d = *Self(instance);
    d.calls.push_back("command " + std::to_string(id));
    if (id == HOST_DLG_OK) {
        d.fieldAtOk = d.Field();
        d.area->close(d.table, d.handle, true);
    } else if (id == HOST_DLG_CANCEL && d.closeOnCancel) {
        d.area->close(d.table, d.handle, false);
    }
    if (d.onCommand) d.onCommand();
    return true;
}

bool HOST_ABI AskClose(void* instance) {
    FakeDialog& d = *Self(instance);
    d.calls.push_back("ask_close");
    return d.keepOpen ? d.keepOpen() : d.Field().size() != 1;
}

constexpr HostDialogClass kClass{sizeof(HostDialogClass), &CreateLayout, &InitValues, &Command,
                                 &AskClose};

using Kind = DialogAction::Kind;

class DialogDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.table = table;
        dialog.area = area;
        dialog.handle = area->create(table, &kClass, &dialog);
        ASSERT_NE(dialog.handle, nullptr);
        driver.SetContext("script.vela:7");
    }
    void TearDown() override {
        if (dialog.handle != nullptr) area->destroy(table, dialog.handle);
    }

    bool Open() { return area->open_modal(table, dialog.handle, 300, 400, 0, 0, false); }
    void Queue(Kind kind, std::string text = {}) { driver.Queue({kind, std::move(text), {}}); }
    std::vector<std::string> Errors() {
        std::vector<std::string> texts;
        for (const DialogError& error : driver.TakeErrors()) texts.push_back(error.Text());
        return texts;
    }

    Host host;
    const HostTable* table = host.Table();
    const HostDialogArea* area = table->dialogs;
    DialogDriver& driver = host.Dialogs();
    FakeDialog dialog;
};

using Calls = std::vector<std::string>;

TEST_F(DialogDriverTest, RefusedOkKeepsTheWindowOpenAndTheNextActionsAreTaken) {
    Queue(Kind::Ok);
    Queue(Kind::Type, "ab");
    Queue(Kind::Ok);
    Queue(Kind::Type, "a");
    Queue(Kind::Ok);
    ASSERT_TRUE(Open());
    EXPECT_EQ(dialog.calls,
              (Calls{"create_layout", "init_values", "command 1", "ask_close", "command 12",
                     "command 1", "ask_close", "command 12", "command 1", "ask_close"}));
    EXPECT_EQ(dialog.fieldAtOk, "a");
    EXPECT_TRUE(driver.Queued().empty());
    EXPECT_TRUE(Errors().empty());
    ASSERT_EQ(driver.Outcomes().size(), 1U);
    EXPECT_EQ(driver.Outcomes()[0].closedBy, "ok");
    EXPECT_EQ(driver.Outcomes()[0].context, "script.vela:7");
    EXPECT_EQ(*driver.Outcomes()[0].TextOf(12), "a");
}

TEST_F(DialogDriverTest, CancelClosesWithoutAskingTheModule) {
    Queue(Kind::Type, "k");
    Queue(Kind::Cancel);
    ASSERT_TRUE(Open());
    EXPECT_EQ(dialog.calls, (Calls{"create_layout", "init_values", "command 12", "command 2"}));
    EXPECT_EQ(driver.Outcomes().back().closedBy, "cancel");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(DialogDriverTest, CloseControlFollowsTheAnswerOfAskClose) {
    // The module lets the window close: one question, then it is closed.
    dialog.keepOpen = [] { return false; };
    Queue(Kind::Close);
    ASSERT_TRUE(Open());
    EXPECT_EQ(dialog.calls, (Calls{"create_layout", "init_values", "ask_close"}));
    EXPECT_EQ(driver.Outcomes().back().closedBy, "close");

    // The module keeps it open: the close control does nothing more, and the next action is
    // taken.
    dialog.calls.clear();
    dialog.keepOpen = [] { return true; };
    Queue(Kind::Close);
    Queue(Kind::Cancel);
    ASSERT_TRUE(Open());
    EXPECT_EQ(dialog.calls, (Calls{"create_layout", "init_values", "ask_close", "command 2"}));
    EXPECT_EQ(driver.Outcomes().back().closedBy, "cancel");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(DialogDriverTest, NothingQueuedCancelsTheDialogAndNamesIt) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(dialog.calls, (Calls{"create_layout", "init_values", "command 2"}));
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0].rfind("script.vela:7: the dialog \"Key Please\" waited for the person, "
                              "but nothing was queued for it",
                              0),
              0U)
        << errors[0];
    EXPECT_EQ(driver.Outcomes().back().closedBy, "unattended");
}

TEST_F(DialogDriverTest, QueueRunningDryAfterARefusedOkIsTheSameError) {
    Queue(Kind::Type, "ab");
    Queue(Kind::Ok);
    ASSERT_TRUE(Open());
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("\"Key Please\" was still open after \"dialog ok\" (queued at "
                             "script.vela:7) and nothing more was queued"),
              std::string::npos)
        << errors[0];
    // Cancelled as the person would: the module's Cancel ran last.
    EXPECT_EQ(dialog.calls.back(), "command 2");
}

// A module that ignores Cancel, or a dialog without a Cancel button, is closed by the host all
// the same.
TEST_F(DialogDriverTest, UnattendedWindowClosesEvenWhenTheModuleDoesNotCooperate) {
    dialog.closeOnCancel = false;
    ASSERT_TRUE(Open());
    EXPECT_EQ(driver.Outcomes().back().closedBy, "unattended");
    EXPECT_EQ(Errors().size(), 1U);

    dialog.calls.clear();
    dialog.withButtons = false;
    Queue(Kind::Ok);
    ASSERT_TRUE(Open());
    const std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("\"dialog ok\" (queued at script.vela:7): the dialog \"Key Please\" "
                             "has no OK button"),
              std::string::npos)
        << errors[0];
    EXPECT_EQ(dialog.calls, (Calls{"create_layout", "init_values"}));
}

TEST_F(DialogDriverTest, ActionsThatDoNotFitTheDialogCancelIt) {
    Queue(Kind::MessageOk);
    Queue(Kind::Ok);
    ASSERT_TRUE(Open());
    std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("was \"message ok\" (queued at script.vela:7), which is not a dialog "
                             "action"),
              std::string::npos)
        << errors[0];
    // The message action was dropped; what came after it stays for the next window.
    ASSERT_EQ(driver.Queued().size(), 1U);
    EXPECT_EQ(driver.Queued().front().kind, Kind::Ok);
    driver.TakeQueued();

    dialog.withField = false;
    Queue(Kind::Type, "k");
    ASSERT_TRUE(Open());
    errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("has no field to type into"), std::string::npos) << errors[0];
}

TEST_F(DialogDriverTest, HostThatRefusesDialogsGivesNoHandle) {
    driver.SetRefuseDialogs(true);
    FakeDialog other = dialog;
    EXPECT_EQ(area->create(table, &kClass, &other), nullptr);
    EXPECT_EQ(driver.RefusedCreations(), 1);
    EXPECT_EQ(driver.LiveDialogs(), 1U);  // the one made before
    EXPECT_FALSE(area->open_modal(table, nullptr, 0, 0, 0, 0, false));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(DialogDriverTest, LayoutThatFailsOpensNothingAndTakesNothing) {
    dialog.layoutAnswer = false;
    Queue(Kind::Ok);
    EXPECT_FALSE(Open());
    EXPECT_EQ(dialog.calls, (Calls{"create_layout"}));
    EXPECT_EQ(driver.Queued().size(), 1U);
    EXPECT_TRUE(driver.Outcomes().empty());
}

TEST_F(DialogDriverTest, LayoutIsPrintedAsATreeWithTheValuesAtClose) {
    Queue(Kind::Type, "k \"q\"");
    Queue(Kind::Cancel);
    ASSERT_TRUE(Open());
    EXPECT_EQ(driver.Outcomes().back().layout,
              "dialog \"Key Please\"\n"
              "  group 10 columns=1 rows=0 spacing=4,4 border=4,4,4,4\n"
              "    static 11 \"Type one key.\"\n"
              "    edit 12 width=17 \"k \\\"q\\\"\"\n"
              "  buttons OK Cancel\n");
    const DialogOutcome& outcome = driver.Outcomes().back();
    EXPECT_EQ(outcome.title, "Key Please");
    EXPECT_EQ(outcome.x, 300);
    EXPECT_EQ(outcome.y, 400);
    EXPECT_FALSE(outcome.resizable);

    // Opening again builds the window anew: the same layout, not a second copy of it, and the
    // field emptied by init_values.
    Queue(Kind::Cancel);
    ASSERT_TRUE(Open());
    EXPECT_EQ(driver.Outcomes().back().layout,
              "dialog \"Key Please\"\n"
              "  group 10 columns=1 rows=0 spacing=4,4 border=4,4,4,4\n"
              "    static 11 \"Type one key.\"\n"
              "    edit 12 width=17 \"\"\n"
              "  buttons OK Cancel\n");
}

TEST_F(DialogDriverTest, LayoutCallsCountOnlyWhileTheWindowIsBuilt) {
    EXPECT_FALSE(area->set_title(table, dialog.handle, View("Late")));
    EXPECT_FALSE(area->add_edit_text(table, dialog.handle, 99, 0, 0, 0, 0));
    EXPECT_FALSE(area->group_end(table, dialog.handle));
    // Values of gadgets that do not exist, and gadgets that hold no text, are refused.
    Queue(Kind::Cancel);
    ASSERT_TRUE(Open());
    EXPECT_FALSE(area->set_string(table, dialog.handle, 99, View("x"), 0, 0));
    char buffer[4] = {};
    std::size_t size = 0;
    EXPECT_FALSE(area->get_string(table, dialog.handle, 10, buffer, sizeof buffer, &size));
    // A text longer than the buffer: what fits is written and the full size reported.
    ASSERT_TRUE(area->set_string(table, dialog.handle, 11, View("longer text"), 0, 0));
    ASSERT_TRUE(area->get_string(table, dialog.handle, 11, buffer, sizeof buffer, &size));
    EXPECT_EQ(size, 11U);
    EXPECT_EQ(std::string(buffer, sizeof buffer), "long");
}

TEST_F(DialogDriverTest, ModuleDestroyingItsDialogWhileOpenEndsTheWindow) {
    dialog.onCommand = [this] {
        area->destroy(table, dialog.handle);
        dialog.handle = nullptr;
    };
    dialog.closeOnCancel = false;
    Queue(Kind::Cancel);
    Queue(Kind::Ok);  // must not reach the destroyed dialog
    EXPECT_TRUE(area->open_modal(table, dialog.area == nullptr ? nullptr : dialog.handle, 0, 0, 0,
                                 0, false));
    EXPECT_EQ(driver.LiveDialogs(), 0U);
    EXPECT_EQ(driver.Queued().size(), 1U);
    EXPECT_TRUE(Errors().empty());
}

// A dialog whose every opening opens another one inside it is stopped at a fixed depth.
TEST_F(DialogDriverTest, NestedDialogsStopAtTheNestingLimit) {
    struct Nest {
        const HostTable* table;
        int opened = 0;
    } nest{table};
    static const HostDialogClass kNesting{
        sizeof(HostDialogClass), nullptr,
        [](void* instance) {
            auto& n = *static_cast<Nest*>(instance);
            ++n.opened;
            HostDialog* inner = n.table->dialogs->create(n.table, &kNesting, instance);
            n.table->dialogs->open_modal(n.table, inner, 0, 0, 0, 0, false);
            n.table->dialogs->destroy(n.table, inner);
            return true;
        },
        nullptr, nullptr};
    HostDialog* outer = area->create(table, &kNesting, &nest);
    EXPECT_TRUE(area->open_modal(table, outer, 0, 0, 0, 0, false));
    area->destroy(table, outer);
    EXPECT_EQ(nest.opened, DialogDriver::kMaxNesting);
    const std::vector<std::string> errors = Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(errors[0].find("the host opens no more than 8"), std::string::npos) << errors[0];
    EXPECT_EQ(driver.LiveDialogs(), 1U);  // the fixture's own
}

TEST_F(DialogDriverTest, MessageBoxesTakeOnlyMessageActions) {
    const std::string summary = "All keys have been assigned.\nK\n";
    Queue(Kind::MessageOk);
    Queue(Kind::Ok);
    area->message_dialog(table, View(summary));
    EXPECT_TRUE(Errors().empty());
    ASSERT_EQ(driver.Queued().size(), 1U);  // the dialog action waits for a dialog

    area->message_dialog(table, View("second"));
    std::vector<std::string> errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0],
              "script.vela:7: the action queued next for the message box \"second\" was "
              "\"dialog ok\" (queued at script.vela:7), which is not a message action; "
              "the host dropped it and dismissed the message box");
    EXPECT_TRUE(driver.Queued().empty());

    area->message_dialog(table, View(summary));
    errors = Errors();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_NE(errors[0].find("the message box beginning \"All keys have been assigned.\" waited "
                             "for the person, but nothing was queued"),
              std::string::npos)
        << errors[0];

    ASSERT_EQ(driver.MessageBoxes().size(), 3U);
    EXPECT_EQ(driver.MessageBoxes()[0].text, summary);
    EXPECT_EQ(driver.MessageBoxes()[1].text, "second");
}

TEST_F(DialogDriverTest, MessageBoxInsideADialogTakesItsActionInTurn) {
    // After OK has closed the window, the module shows what was confirmed.
    dialog.onCommand = [this] {
        if (dialog.calls.back() == "ask_close") area->message_dialog(table, View("confirmed"));
    };
    Queue(Kind::Type, "z");
    Queue(Kind::Ok);
    Queue(Kind::MessageOk);
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Errors().empty());
    EXPECT_TRUE(driver.Queued().empty());
    EXPECT_EQ(driver.MessageBoxes().back().text, "confirmed");
}

}  // namespace
}  // namespace vhost
