// Assigning the command's key from the preferences page, as a person does it: the button opens the
// dialog that asks for one character, the host's dialog driver plays the person's queued actions,
// the command's shortcuts are replaced by seven new ones and listed in a message box, and the new
// keys then run the command through the host's shortcut table.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Prefsvelaprefs.h"
#include "prefs/preference_pages.h"
#include "shortcuts/shortcut_table.h"
#include "support/expected_states.h"
#include "support/plugin_session.h"
#include "support/scene_probe.h"
#include "ui/dialog_driver.h"

namespace velatest {
namespace {

constexpr std::int32_t kPageId = ID_VELAPREFS;
constexpr std::int32_t kAssignButton = VELAPREFS_ASSIGN_HOTKEY;
constexpr std::int32_t kHotkeyField = SCD_HOTKEY;
// Commands of other plug-ins, unknown to the host's own list.
constexpr std::int32_t kOtherCommand = 1055555;
constexpr std::int32_t kThirdCommand = 1066666;

constexpr const char* kSummaryHeader =
    "All keys have been assigned.\n"
    "You can now use the Vela Button with the following shortcuts:   \n";
constexpr const char* kSummaryFooter = "\nPlease see the vela manual for details.";

using vhost::DialogAction;
using vhost::KeyStroke;

DialogAction Type(std::string text) { return {DialogAction::Kind::Type, std::move(text), {}}; }
const DialogAction kOk{DialogAction::Kind::Ok, {}, {}};
const DialogAction kCancel{DialogAction::Kind::Cancel, {}, {}};
const DialogAction kClose{DialogAction::Kind::Close, {}, {}};
const DialogAction kMessageOk{DialogAction::Kind::MessageOk, {}, {}};

// One entry of the shortcut table, as the person sees it in the host's shortcut manager.
struct Shortcut {
    std::int32_t command = 0;
    std::int32_t address = 0;
    std::vector<KeyStroke> strokes;
    bool operator==(const Shortcut&) const = default;
    bool operator<(const Shortcut& other) const {
        auto key = [](const Shortcut& s) {
            std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
            for (const KeyStroke& k : s.strokes) pairs.emplace_back(k.qualifiers, k.key);
            return std::tuple(s.command, s.address, pairs);
        };
        return key(*this) < key(other);
    }
};

std::ostream& operator<<(std::ostream& out, const Shortcut& s) {
    out << s.command << '@' << s.address;
    for (const KeyStroke& k : s.strokes) out << " (" << k.qualifiers << ", " << k.key << ')';
    return out;
}

Shortcut ShortcutOf(const vhost::Container& record) {
    return {record.GetInt32(HOST_SHORTCUT_PLUGINID), record.GetInt32(HOST_SHORTCUT_ADDRESS),
            vhost::ShortcutTable::Strokes(record)};
}

// The seven shortcuts a confirmed key gives the command, in the order they are added.
std::vector<Shortcut> SevenFor(std::int32_t key) {
    std::vector<Shortcut> seven;
    for (std::int32_t qualifiers = 0; qualifiers <= 6; ++qualifiers) {
        seven.push_back({kCommandId, 0, {{qualifiers, key}}});
    }
    return seven;
}

std::vector<Shortcut> Sorted(std::vector<Shortcut> shortcuts) {
    std::sort(shortcuts.begin(), shortcuts.end());
    return shortcuts;
}

class HotkeyTest : public PluginTest {
protected:
    vhost::DialogDriver& Dialogs() { return Host().Dialogs(); }
    vhost::ShortcutTable& Table() { return Host().Shortcuts(); }

    void Queue(std::initializer_list<DialogAction> actions) {
        for (const DialogAction& action : actions) Dialogs().Queue(action);
    }

    // The key-assignment button of the preferences page, clicked.
    void ClickAssign() {
        vhost::PageNode* node = Host().Pages().NodeOf(kPageId);
        ASSERT_NE(node, nullptr) << "the preferences page could not be created";
        Host().Pages().Click(*node, vhost::DescIdOf(kAssignButton));
    }

    // Types `key`, confirms it and dismisses the summary.
    void Assign(const std::string& key) {
        Queue({Type(key), kOk, kMessageOk});
        ClickAssign();
    }

    void AddShortcut(const Shortcut& shortcut) {
        vhost::Container record;
        record.SetInt32(HOST_SHORTCUT_PLUGINID, shortcut.command);
        record.SetInt32(HOST_SHORTCUT_ADDRESS, shortcut.address);
        std::int32_t key = 0;
        for (const KeyStroke& stroke : shortcut.strokes) {
            record.SetInt32(key, stroke.qualifiers);
            record.SetInt32(key + 1, stroke.key);
            key += 10;
        }
        ASSERT_TRUE(Table().Add(record)) << shortcut;
    }

    // The command's shortcuts, in table order.
    std::vector<Shortcut> CommandShortcuts() {
        std::vector<Shortcut> found;
        for (const std::int32_t index : Table().FindFromId(kCommandId)) {
            found.push_back(ShortcutOf(*Table().Get(index)));
        }
        return found;
    }

    // Every shortcut, in table order.
    std::vector<Shortcut> AllShortcuts() {
        std::vector<Shortcut> found;
        for (std::int32_t i = 0; i < Table().Count(); ++i) {
            found.push_back(ShortcutOf(*Table().Get(i)));
        }
        return found;
    }

    // Every other shortcut, in table order.
    std::vector<Shortcut> OtherShortcuts() {
        std::vector<Shortcut> found;
        for (std::int32_t i = 0; i < Table().Count(); ++i) {
            const Shortcut shortcut = ShortcutOf(*Table().Get(i));
            if (shortcut.command != kCommandId) found.push_back(shortcut);
        }
        return found;
    }

    // Shortcuts a person gave the command by hand: not the seven the button makes, one of them
    // under all three qualifier keys, one of two strokes, one tied to a manager.
    std::vector<Shortcut> GiveHandMadeShortcuts() {
        const std::vector<Shortcut> handMade{
            {kCommandId, 0, {{0, 'v'}}},
            {kCommandId, 0, {{kShift | kCtrl | kAlt, 'V'}}},
            {kCommandId, 0, {{kCtrl, 'Q'}, {0, 'Q'}}},
            {kCommandId, 200000, {{kAlt, 0xE9}}},
        };
        for (const Shortcut& shortcut : handMade) AddShortcut(shortcut);
        return handMade;
    }
};

// The dialog ------------------------------------------------------------------------------------

TEST_F(HotkeyTest, DialogShowsPromptAndFieldInOneGroupWithTheButtonsBelowAtItsPlace) {
    Assign("k");

    ASSERT_EQ(Dialogs().Outcomes().size(), 1U);
    const vhost::DialogOutcome& dialog = Dialogs().Outcomes().front();
    EXPECT_EQ(dialog.title, "Vela Button Hotkey Assignment");
    // The layout text leaves out what is 0 or empty: no flags, no group title, no initial size but
    // the field's width.
    EXPECT_EQ(dialog.layout,
              "dialog \"Vela Button Hotkey Assignment\"\n"
              "  group 100010 columns=1 rows=0 spacing=4,4 border=4,4,4,4\n"
              "    static 100011 \"Please enter an unused hotkey.\"\n"
              "    edit 100012 width=17 \"k\"\n"
              "  buttons OK Cancel\n");
    EXPECT_EQ(dialog.x, 300);
    EXPECT_EQ(dialog.y, 400);
    EXPECT_EQ(dialog.width, 0);
    EXPECT_EQ(dialog.height, 0);
    EXPECT_FALSE(dialog.resizable);
    EXPECT_EQ(dialog.closedBy, "ok");
}

// What the person does in the dialog, and what the command's shortcuts are afterwards. Before
// each run the command has shortcuts made by hand; a run that is not confirmed keeps them.
struct DialogCase {
    const char* name;
    std::vector<DialogAction> actions;
    const char* closedBy;
    const char* fieldAtClose;
    std::int32_t key;  // the key bound; 0 when the run was not confirmed
};

std::ostream& operator<<(std::ostream& out, const DialogCase& c) { return out << c.name; }

class HotkeyDialog : public HotkeyTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(HotkeyDialog, ClosesOnlyOnOneCharacterAndBindsExactlyThatCharacter) {
    const DialogCase& c = GetParam();
    const std::vector<Shortcut> handMade = GiveHandMadeShortcuts();
    const std::vector<Shortcut> others = OtherShortcuts();
    for (const DialogAction& action : c.actions) Dialogs().Queue(action);
    if (c.key != 0) Dialogs().Queue(kMessageOk);

    ClickAssign();

    ASSERT_EQ(Dialogs().Outcomes().size(), 1U);
    const vhost::DialogOutcome& dialog = Dialogs().Outcomes().front();
    EXPECT_EQ(dialog.closedBy, c.closedBy);
    ASSERT_NE(dialog.TextOf(kHotkeyField), nullptr);
    EXPECT_EQ(*dialog.TextOf(kHotkeyField), c.fieldAtClose);
    // Every action was taken, and the host had to step in only where the window stayed open.
    EXPECT_TRUE(Dialogs().Queued().empty());
    EXPECT_EQ(!Dialogs().TakeErrors().empty(), std::string(c.closedBy) == "unattended");

    if (c.key != 0) {
        EXPECT_EQ(CommandShortcuts(), SevenFor(c.key));
        EXPECT_EQ(Dialogs().MessageBoxes().size(), 1U);
    } else {
        EXPECT_EQ(Sorted(CommandShortcuts()), Sorted(handMade));
        EXPECT_TRUE(Dialogs().MessageBoxes().empty());
    }
    EXPECT_EQ(OtherShortcuts(), others);
}

INSTANTIATE_TEST_SUITE_P(
    PersonsActions, HotkeyDialog,
    ::testing::Values(
        DialogCase{"LowerCaseLetterStaysLowerCase", {Type("k"), kOk}, "ok", "k", 'k'},
        DialogCase{"UpperCaseLetterStaysUpperCase", {Type("K"), kOk}, "ok", "K", 'K'},
        DialogCase{"SpaceIsAKey", {Type(" "), kOk}, "ok", " ", ' '},
        DialogCase{"EmptyFieldKeepsTheWindowOpen", {kOk}, "unattended", "", 0},
        DialogCase{"TwoLettersKeepTheWindowOpen", {Type("ab"), kOk}, "unattended", "ab", 0},
        DialogCase{
            "TwoLettersRefusedThenOneAccepted", {Type("ab"), kOk, Type("a"), kOk}, "ok", "a", 'a'},
        DialogCase{"CancelAfterTyping", {Type("k"), kCancel}, "cancel", "k", 0},
        DialogCase{"CloseControlBeforeAnyOk", {Type("k"), kClose}, "close", "k", 0},
        DialogCase{
            "CloseControlBeforeAnyOkWhateverTheField", {Type("ab"), kClose}, "close", "ab", 0},
        DialogCase{"RefusedThenCorrectedAndClosedByTheCloseControl",
                   {Type("xy"), kOk, Type("k"), kClose},
                   "close",
                   "k",
                   'k'},
        DialogCase{
            "RefusedThenClosedUncorrected", {Type("xy"), kOk, kClose}, "unattended", "xy", 0},
        DialogCase{"RefusedThenCorrectedAndCancelled",
                   {Type("xy"), kOk, Type("k"), kCancel},
                   "cancel",
                   "k",
                   0},
        DialogCase{"AccentedLetterIsOneCharacter", {Type("é"), kOk}, "ok", "é", 0xE9},
        DialogCase{"CyrillicLetterIsOneCharacter", {Type("ж"), kOk}, "ok", "ж", 0x436},
        DialogCase{"EmojiIsOneCharacter", {Type("🙂"), kOk}, "ok", "🙂", 0x1F642},
        DialogCase{"TwoAccentedLettersAreTwo", {Type("éé"), kOk}, "unattended", "éé", 0}),
    [](const ::testing::TestParamInfo<DialogCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(HotkeyTest, EveryAssignmentStartsWithAnEmptyField) {
    Assign("k");
    // OK at once: the field holds nothing, so the window stays open and the host cancels it.
    Queue({kOk});
    ClickAssign();

    ASSERT_EQ(Dialogs().Outcomes().size(), 2U);
    const vhost::DialogOutcome& second = Dialogs().Outcomes().back();
    EXPECT_EQ(second.closedBy, "unattended");
    ASSERT_NE(second.TextOf(kHotkeyField), nullptr);
    EXPECT_EQ(*second.TextOf(kHotkeyField), "");
    EXPECT_EQ(CommandShortcuts(), SevenFor('k'));
}

// The shortcuts --------------------------------------------------------------------------------

TEST_F(HotkeyTest, WithoutShortcutsYetTheDialogOpensAndSevenRecordsAreAdded) {
    ASSERT_TRUE(CommandShortcuts().empty());
    const std::int32_t before = Table().Count();

    Assign("k");

    EXPECT_EQ(Dialogs().Outcomes().size(), 1U);
    const std::vector<std::int32_t> indices = Table().FindFromId(kCommandId);
    ASSERT_EQ(indices.size(), 7U);
    EXPECT_EQ(Table().Count(), before + 7);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        SCOPED_TRACE("shortcut " + std::to_string(i));
        const vhost::Container& record = *Table().Get(indices[i]);
        EXPECT_EQ(record.GetInt32(HOST_SHORTCUT_PLUGINID), kCommandId);
        EXPECT_EQ(record.GetInt32(HOST_SHORTCUT_ADDRESS, -1), 0);
        EXPECT_EQ(record.GetInt32(0, -1), static_cast<std::int32_t>(i));
        EXPECT_EQ(record.GetInt32(1), 107);  // 'k', not 'K' (75)
        // One stroke and nothing else: command, address, qualifier, key.
        EXPECT_EQ(record.Count(), 4);
        EXPECT_FALSE(record.Has(11));
    }
}

TEST_F(HotkeyTest, EachConfirmedAssignmentReplacesTheSevenAndACancelledOneKeepsThem) {
    Assign("k");
    Assign("k");
    EXPECT_EQ(CommandShortcuts(), SevenFor('k'));

    Assign("j");
    EXPECT_EQ(CommandShortcuts(), SevenFor('j'));

    Queue({Type("m"), kCancel});
    ClickAssign();
    EXPECT_EQ(CommandShortcuts(), SevenFor('j'));
    EXPECT_EQ(Dialogs().Outcomes().size(), 4U);
    EXPECT_EQ(Dialogs().MessageBoxes().size(), 3U);
}

// The table is searched in order, so of two shortcuts on one key the first one runs: a cancel that
// moved the command's shortcuts would hand its key to the other command.
TEST_F(HotkeyTest, ACancelLeavesEveryShortcutInItsPlaceSoASharedKeyRunsTheSameCommand) {
    AddShortcut({kCommandId, 0, {{0, 'k'}}});
    AddShortcut({kOtherCommand, 0, {{0, 'k'}}});
    AddShortcut({kCommandId, 0, {{kCtrl, 'v'}}});
    const std::vector<Shortcut> before = AllShortcuts();

    Queue({Type("j"), kCancel});
    ClickAssign();

    EXPECT_EQ(AllShortcuts(), before);
    ASSERT_TRUE(StrokeKey(0, 'k'));
    EXPECT_EQ(Table().LastMatch().command, kCommandId);
}

TEST_F(HotkeyTest, ShortcutsOfOtherCommandsStayWhereverTheyStand) {
    AddShortcut({kOtherCommand, 0, {{0, 'k'}}});  // the same key, taken by another command
    AddShortcut({kCommandId, 0, {{0, 'v'}}});
    AddShortcut({kOtherCommand, 300000, {{kAlt, 'P'}}});
    AddShortcut({kCommandId, 0, {{kCtrl, 'v'}}});
    AddShortcut({kCommandId, 0, {{kShift, 'v'}}});
    AddShortcut({kThirdCommand, 0, {{kCtrl, 'U'}, {0, 'U'}}});
    const std::vector<Shortcut> others = OtherShortcuts();
    ASSERT_EQ(others.size(), vhost::ShortcutTable::FreshEntries().size() + 3);

    Assign("k");

    EXPECT_EQ(OtherShortcuts(), others);
    EXPECT_EQ(CommandShortcuts(), SevenFor('k'));
    EXPECT_EQ(Table().Count(), static_cast<std::int32_t>(others.size()) + 7);
}

TEST_F(HotkeyTest, SummaryListsTheCommandsShortcutsAsTheHostWritesThem) {
    AddShortcut({kOtherCommand, 0, {{kCtrl, 'K'}}});
    Assign("k");

    std::string list;
    for (const std::int32_t index : Table().FindFromId(kCommandId)) {
        list += vhost::ShortcutTable::Text(*Table().Get(index)) + "\n";
    }
    ASSERT_EQ(Dialogs().MessageBoxes().size(), 1U);
    EXPECT_EQ(Dialogs().MessageBoxes().front().text, kSummaryHeader + list + kSummaryFooter);
    EXPECT_EQ(list, "K\nShift+K\nCtrl+K\nCtrl+Shift+K\nAlt+K\nShift+Alt+K\nCtrl+Alt+K\n");
}

// A one-character text whose code is no key: the host takes none of the seven records, the command
// is left without shortcuts and the summary lists none.
TEST_F(HotkeyTest, SummaryOfAKeyTheHostRefusesListsNothing) {
    GiveHandMadeShortcuts();
    Assign(std::string(1, '\0'));

    EXPECT_TRUE(CommandShortcuts().empty());
    ASSERT_EQ(Dialogs().MessageBoxes().size(), 1U);
    EXPECT_EQ(Dialogs().MessageBoxes().front().text, std::string(kSummaryHeader) + kSummaryFooter);
}

TEST_F(HotkeyTest, HostWithoutDialogsLeavesTheShortcutsAsTheyWereAndShowsNothing) {
    const std::vector<Shortcut> handMade = GiveHandMadeShortcuts();
    const std::vector<Shortcut> others = OtherShortcuts();
    Dialogs().SetRefuseDialogs(true);

    ClickAssign();

    EXPECT_EQ(Dialogs().RefusedCreations(), 1);
    EXPECT_TRUE(Dialogs().Outcomes().empty());
    EXPECT_TRUE(Dialogs().MessageBoxes().empty());
    EXPECT_TRUE(Dialogs().TakeErrors().empty());
    EXPECT_EQ(Sorted(CommandShortcuts()), Sorted(handMade));
    EXPECT_EQ(OtherShortcuts(), others);
    EXPECT_EQ(Dialogs().LiveDialogs(), 0U);
}

// The keys -------------------------------------------------------------------------------------

class HotkeyKeys : public HotkeyTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(HotkeyKeys, AltWithTheKeySwitchesTheOthersOffAndTheKeyAloneRestores) {
    vhost::Object& chosen = AddObject(Doc(), kPolygon, "Chosen", nullptr, {}, true);
    vhost::Object& other = AddObject(Doc(), kCube, "Other", nullptr, {Mode::Off, Mode::On, true});
    vhost::Object& child =
        AddObject(Doc(), kNull, "Child", &other, {Mode::On, Mode::Default, false});
    const std::vector<vhost::Object*> objects{&chosen, &other, &child};
    std::vector<States> before;
    for (const vhost::Object* object : objects) before.push_back(StatesOf(*object));
    Assign("k");

    ASSERT_TRUE(StrokeKey(kAlt, GetParam()));

    EXPECT_EQ(Table().LastMatch().command, kCommandId);
    EXPECT_EQ(State(), kIsolated);
    EXPECT_EQ(StatesOf(chosen), Shown(before[0], FlagsOf(kAlt)));
    EXPECT_EQ(StatesOf(other), Hidden(before[1], FlagsOf(kAlt)));
    EXPECT_EQ(StatesOf(child), Hidden(before[2], FlagsOf(kAlt)));
    for (std::size_t i = 0; i < objects.size(); ++i) {
        EXPECT_EQ(objects[i]->EditorMode(), before[i].editor) << objects[i]->Name();
        EXPECT_EQ(objects[i]->RenderMode(), before[i].render) << objects[i]->Name();
    }

    ASSERT_TRUE(StrokeKey(0, 'k'));

    EXPECT_EQ(State(), kNotIsolated);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        EXPECT_EQ(StatesOf(*objects[i]), before[i]) << objects[i]->Name();
    }
}

INSTANTIATE_TEST_SUITE_P(EitherCase, HotkeyKeys, ::testing::Values('K', 'k'),
                         [](const ::testing::TestParamInfo<std::int32_t>& param) {
                             return param.param == 'K' ? std::string("UpperCase")
                                                       : std::string("LowerCase");
                         });

TEST_F(HotkeyTest, TheKeyRunsTheCommandUnderSixQualifierSetsAndAloneButNotUnderAllThree) {
    Assign("k");
    for (std::int32_t qualifiers = 0; qualifiers <= 6; ++qualifiers) {
        SCOPED_TRACE(MaskName(qualifiers));
        EXPECT_TRUE(StrokeKey(qualifiers, 'k'));
        EXPECT_EQ(Table().LastMatch().kind, vhost::KeyMatch::Kind::Complete);
        EXPECT_EQ(Table().LastMatch().command, kCommandId);
    }
    EXPECT_FALSE(StrokeKey(kShift | kCtrl | kAlt, 'k'));
    EXPECT_EQ(Table().LastMatch().kind, vhost::KeyMatch::Kind::None);
}

}  // namespace
}  // namespace velatest
