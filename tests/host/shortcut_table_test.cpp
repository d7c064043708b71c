// The shortcut table: entries as modules see them through the table, the texts the host shows,
// key strokes dispatched to commands, and the table kept in the preferences folder between runs.
#include "shortcuts/shortcut_table.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "actions/perform.h"
#include "host.h"
#include "platform/atomic_file.h"
#include "support/temp_folder.h"
#include "vela2023/vela_ids.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

constexpr std::int32_t kVela = ID_VELA;
constexpr std::int32_t kUndo = 12105;
constexpr std::int32_t kShift = HOST_QUALIFIER_SHIFT;
constexpr std::int32_t kCtrl = HOST_QUALIFIER_CTRL;
constexpr std::int32_t kAlt = HOST_QUALIFIER_ALT;

// A key stroke as the keyboard delivers it; answers whether a shortcut took it.
bool Stroke(Host& host, std::int32_t qualifiers, std::int32_t key) {
    return actions::Perform(host, actions::StrokeKey{qualifiers, key}).keyTaken;
}

Container Record(std::int32_t command, std::vector<KeyStroke> strokes) {
    Container record;
    record.SetInt32(HOST_SHORTCUT_PLUGINID, command);
    record.SetInt32(HOST_SHORTCUT_ADDRESS, 0);
    for (std::size_t i = 0; i < strokes.size(); ++i) {
        const auto key = static_cast<std::int32_t>(i) * 10;
        record.SetInt32(key, strokes[i].qualifiers);
        record.SetInt32(key + 1, strokes[i].key);
    }
    return record;
}

// The table as "index:command:text" lines, to compare whole tables.
std::vector<std::string> Listing(const ShortcutTable& table) {
    std::vector<std::string> lines;
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        const Container& entry = *table.Get(i);
        lines.push_back(std::to_string(entry.GetInt32(HOST_SHORTCUT_PLUGINID)) + ":" +
                        ShortcutTable::Text(entry));
    }
    return lines;
}

// The table through the interface -----------------------------------------------------------------

class ShortcutArea : public ::testing::Test {
protected:
    std::vector<std::int32_t> Find(std::int32_t id, std::int32_t capacity = 64) {
        std::vector<std::int32_t> indices(static_cast<std::size_t>(capacity), -1);
        const std::int32_t found = area->find_from_id(table, id, indices.data(), capacity);
        indices.resize(static_cast<std::size_t>(found));
        return indices;
    }
    std::string TextOf(const Container& record) {
        const std::size_t size = area->to_string(table, Handle(record), nullptr, 0);
        std::string text(size, '\0');
        area->to_string(table, Handle(record), text.data(), text.size());
        return text;
    }
    static const HostContainer* Handle(const Container& record) {
        return const_cast<Container&>(record).Handle();
    }

    Host host;
    const HostTable* table = host.Table();
    const HostShortcutArea* area = table->shortcuts;
};

TEST_F(ShortcutArea, OtherCommandsKeepTheirKeysWhereverTheyStand) {
    const std::vector<std::string> fresh = Listing(host.Shortcuts());
    const std::int32_t before = area->get_count(table);
    // The command's entries end up between other commands' entries.
    ASSERT_TRUE(area->add(table, Handle(Record(kVela, {{0, 'k'}}))));
    ASSERT_TRUE(area->add(table, Handle(Record(kUndo, {{kCtrl | kAlt, 'U'}}))));
    ASSERT_TRUE(area->add(table, Handle(Record(kVela, {{kShift, 'k'}}))));
    ASSERT_TRUE(area->add(table, Handle(Record(kVela, {{kCtrl, 'k'}}))));
    ASSERT_TRUE(area->add(table, Handle(Record(12297, {{kAlt, 'Y'}}))));
    EXPECT_EQ(Find(kVela), (std::vector<std::int32_t>{before, before + 2, before + 3}));
    // Undo has entries at the start, in the middle and after the command's first.
    EXPECT_EQ(Find(kUndo), (std::vector<std::int32_t>{0, 7, before + 1}));
    // A buffer smaller than the result takes the first indices in table order.
    EXPECT_EQ(Find(kVela, 2), (std::vector<std::int32_t>{before, before + 2}));

    // Removed from the back, as the indices found stay valid that way.
    const std::vector<std::int32_t> found = Find(kVela);
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        ASSERT_TRUE(area->remove(table, *it));
    }
    EXPECT_TRUE(Find(kVela).empty());
    std::vector<std::string> expected = fresh;
    expected.push_back("12105:Ctrl+Alt+U");
    expected.push_back("12297:Alt+Y");
    EXPECT_EQ(Listing(host.Shortcuts()), expected);
}

TEST_F(ShortcutArea, RemovingMovesLaterEntriesDown) {
    Container second;
    ASSERT_TRUE(area->get(table, 1, second.Handle()));
    ASSERT_TRUE(area->remove(table, 0));
    Container first;
    ASSERT_TRUE(area->get(table, 0, first.Handle()));
    EXPECT_EQ(first, second);
    const std::int32_t count = area->get_count(table);
    EXPECT_FALSE(area->remove(table, count));
    EXPECT_FALSE(area->remove(table, -1));
    EXPECT_EQ(area->get_count(table), count);
}

TEST_F(ShortcutArea, RecordsWithoutCommandOrStrokeAreRefused) {
    const std::int32_t count = area->get_count(table);
    Container noCommand = Record(kVela, {{0, 'k'}});
    noCommand.Remove(HOST_SHORTCUT_PLUGINID);
    EXPECT_FALSE(area->add(table, Handle(noCommand)));
    EXPECT_FALSE(area->add(table, Handle(Record(kVela, {}))));
    EXPECT_FALSE(area->add(table, Handle(Record(kVela, {{kCtrl, 0}}))));
    EXPECT_FALSE(area->add(table, nullptr));
    EXPECT_EQ(area->get_count(table), count);
}

TEST_F(ShortcutArea, GetHandsOutACopyInPlaceOfTheRecordsContents) {
    Container extra = Record(kVela, {{kAlt, 'k'}});
    extra.SetString(5000, "the module's own note");
    ASSERT_TRUE(area->add(table, Handle(extra)));
    const std::int32_t last = area->get_count(table) - 1;

    Container into = Record(1, {{0, 'x'}, {0, 'y'}});
    into.SetInt32(777, 1);
    ASSERT_TRUE(area->get(table, last, into.Handle()));
    EXPECT_EQ(into, extra);
    into.SetInt32(1, 'q');
    Container again;
    ASSERT_TRUE(area->get(table, last, again.Handle()));
    EXPECT_EQ(again.GetInt32(1), 'k');
    EXPECT_FALSE(area->get(table, last + 1, again.Handle()));
}

// Texts -------------------------------------------------------------------------------------------

TEST(ShortcutText, EveryQualifierCombinationInOneOrder) {
    const char* const expected[] = {"K",     "Shift+K",     "Ctrl+K",     "Ctrl+Shift+K",
                                    "Alt+K", "Shift+Alt+K", "Ctrl+Alt+K", "Ctrl+Shift+Alt+K"};
    for (std::int32_t qualifiers = 0; qualifiers < 8; ++qualifiers) {
        EXPECT_EQ(ShortcutTable::Text(Record(kVela, {{qualifiers, 'k'}})), expected[qualifiers]);
        EXPECT_EQ(ShortcutTable::Text(Record(kVela, {{qualifiers, 'K'}})), expected[qualifiers]);
    }
}

TEST(ShortcutText, KeysShowAsTheHostNamesThem) {
    auto text = [](std::int32_t key) { return ShortcutTable::StrokeText({0, key}); };
    EXPECT_EQ(text('7'), "7");
    EXPECT_EQ(text(','), ",");
    EXPECT_EQ(text('+'), "+");
    EXPECT_EQ(text(' '), "Space");
    EXPECT_EQ(text('\t'), "Tab");
    EXPECT_EQ(text(127), "Delete");
    EXPECT_EQ(text(0xE4), "\xC3\xA4");             // a-umlaut, as it is
    EXPECT_EQ(text(0x20AC), "\xE2\x82\xAC");       // euro sign
    EXPECT_EQ(text(0x1F600), "\xF0\x9F\x98\x80");  // four bytes in UTF-8
    EXPECT_EQ(text(1), "#1");
    EXPECT_EQ(text(0xD800), "#55296");  // a surrogate is no character
    EXPECT_EQ(text(-5), "#-5");
    // Every name reads back as its key.
    for (const std::int32_t key :
         std::vector<std::int32_t>{'7', ',', ' ', '\t', 127, 0xE4, 0x1F600, 1, 0xD800}) {
        EXPECT_EQ(ShortcutTable::KeyFromName(text(key)), key) << text(key);
    }
    EXPECT_EQ(ShortcutTable::KeyFromName("k"), 'k');
    EXPECT_EQ(ShortcutTable::KeyFromName("space"), ' ');
    EXPECT_EQ(ShortcutTable::KeyFromName("kk"), 0);
    EXPECT_EQ(ShortcutTable::KeyFromName("\xC3"), 0);      // a cut UTF-8 character
    EXPECT_EQ(ShortcutTable::KeyFromName("\xC0\xAF"), 0);  // an overlong one
    EXPECT_EQ(ShortcutTable::KeyFromName(""), 0);
}

TEST(ShortcutText, StrokesJoinWithTildeAndEndAtTheFirstKeyZero) {
    EXPECT_EQ(ShortcutTable::Text(Record(1, {{kCtrl, 'k'}, {0, 'g'}, {kShift, '1'}})),
              "Ctrl+K~G~Shift+1");
    Container gap = Record(1, {{kCtrl, 'k'}});
    gap.SetInt32(21, 'x');  // a third stroke after a missing second one is not read
    EXPECT_EQ(ShortcutTable::Text(gap), "Ctrl+K");
    Container none = Record(1, {{kCtrl, 'k'}});
    none.SetInt32(1, 0);
    EXPECT_EQ(ShortcutTable::Text(none), "");
    EXPECT_EQ(ShortcutTable::Text(Container()), "");
}

TEST_F(ShortcutArea, TextIsWrittenIntoTheCallersBuffer) {
    EXPECT_EQ(TextOf(Record(kVela, {{kCtrl | kShift, 'k'}, {kAlt, ' '}})),
              "Ctrl+Shift+K~Alt+Space");
    char buffer[8] = {'-', '-', '-', '-', '-', '-', '-', '-'};
    EXPECT_EQ(area->to_string(table, Handle(Record(kVela, {{kCtrl, 'k'}})), buffer, 3), 6U);
    EXPECT_EQ(std::string(buffer, 4), "Ctr-");
    EXPECT_EQ(area->to_string(table, nullptr, buffer, sizeof buffer), 0U);
}

// Key strokes -------------------------------------------------------------------------------------

struct CommandLog {
    std::vector<std::int32_t> qualifiersAtRun;
};

bool HOST_ABI Execute(void* instance, HostDocument* /*document*/, HostDialog* /*parent*/);
std::int32_t HOST_ABI GetState(void* /*instance*/, HostDocument* /*document*/,
                               HostDialog* /*parent*/) {
    return HOST_COMMAND_ENABLED;
}
void HOST_ABI Destroy(void* /*instance*/) {}

struct FakeCommand {
    const HostTable* table;
    CommandLog* log;
};

bool HOST_ABI Execute(void* instance, HostDocument* /*document*/, HostDialog* /*parent*/) {
    auto* command = static_cast<FakeCommand*>(instance);
    Container state;
    command->table->documents->get_input_state(command->table, HOST_INPUT_DEVICE_KEYBOARD,
                                               HOST_INPUT_CHANNEL_QUALIFIER, state.Handle());
    command->log->qualifiersAtRun.push_back(state.GetInt32(HOST_INPUT_CHANNEL_QUALIFIER, -1));
    return true;
}

constexpr HostCommandClass kCommandClass{sizeof(HostCommandClass), &Execute, &GetState, &Destroy};

class KeyDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = "vela";
        ASSERT_TRUE(table->registry->register_command_plugin(
            table, kVela, {name.data(), name.size()}, 0, nullptr, {name.data(), name.size()},
            &kCommandClass, &command, HOST_INTERFACE_VERSION));
        // Bound as a module binds it: from the lower-case letter.
        for (const std::int32_t qualifiers : {0, kShift, kCtrl}) {
            ASSERT_TRUE(host.Shortcuts().Add(Record(kVela, {{qualifiers, 'k'}})));
        }
    }

    CommandLog log;
    Host host;
    const HostTable* table = host.Table();
    FakeCommand command{table, &log};
};

TEST_F(KeyDispatch, LettersMatchInEitherCaseWithTheStrokesQualifiersHeld) {
    host.SetQualifiers(kAlt);  // what the keyboard held before, given back afterwards
    EXPECT_TRUE(Stroke(host, 0, 'K'));
    EXPECT_TRUE(Stroke(host, 0, 'k'));
    EXPECT_TRUE(Stroke(host, kShift, 'K'));
    EXPECT_TRUE(Stroke(host, kCtrl, 'k'));
    EXPECT_EQ(log.qualifiersAtRun, (std::vector<std::int32_t>{0, 0, kShift, kCtrl}));
    EXPECT_EQ(host.Qualifiers(), kAlt);

    // Not bound under Alt, nor under Ctrl+Shift.
    EXPECT_FALSE(Stroke(host, kAlt, 'k'));
    EXPECT_FALSE(Stroke(host, kCtrl | kShift, 'k'));
    EXPECT_EQ(log.qualifiersAtRun.size(), 4U);
}

TEST_F(KeyDispatch, APressHoldsExactlyItsKeysWhileTheCommandRunsAndGivesBackWhatWasHeld) {
    host.SetQualifiers(kAlt);
    EXPECT_TRUE(actions::Perform(host, actions::PressCommand{kVela, kShift | kCtrl}).commandResult);
    EXPECT_TRUE(actions::Perform(host, actions::PressCommand{kVela, 0}).commandResult);
    EXPECT_EQ(log.qualifiersAtRun, (std::vector<std::int32_t>{kShift | kCtrl, 0}));
    EXPECT_EQ(host.Qualifiers(), kAlt);

    // A command that is not registered is refused without touching the keyboard.
    const actions::Outcome refused = actions::Perform(host, actions::PressCommand{4242, kShift});
    EXPECT_EQ(refused.refusal, actions::Refusal::NoSuchCommand);
    EXPECT_EQ(log.qualifiersAtRun.size(), 2U);
    EXPECT_EQ(host.Qualifiers(), kAlt);
}

TEST_F(KeyDispatch, HostCommandsRunAsTheHostsOwn) {
    EXPECT_TRUE(Stroke(host, kCtrl, 'z'));
    EXPECT_TRUE(Stroke(host, kCtrl | kShift, 'Z'));
    EXPECT_EQ(host.Shortcuts().BuiltinRuns(), (std::vector<std::int32_t>{kUndo, 12297}));
    EXPECT_TRUE(log.qualifiersAtRun.empty());
}

TEST_F(KeyDispatch, FirstEntryInTableOrderWins) {
    // "E" is Move's key in the fresh table; a later binding of the command to "e" is shadowed.
    ASSERT_TRUE(host.Shortcuts().Add(Record(kVela, {{0, 'e'}})));
    EXPECT_TRUE(Stroke(host, 0, 'e'));
    EXPECT_EQ(host.Shortcuts().BuiltinRuns(), (std::vector<std::int32_t>{200000088}));
    EXPECT_TRUE(log.qualifiersAtRun.empty());
}

TEST_F(KeyDispatch, ShortcutsOfSeveralStrokesWaitForTheNextStroke) {
    // Ctrl+G~G toggles the grid in the fresh table.
    EXPECT_TRUE(Stroke(host, kCtrl, 'g'));
    EXPECT_EQ(host.Shortcuts().LastMatch().kind, KeyMatch::Kind::Pending);
    EXPECT_TRUE(host.Shortcuts().BuiltinRuns().empty());
    EXPECT_TRUE(Stroke(host, 0, 'g'));
    EXPECT_EQ(host.Shortcuts().BuiltinRuns(), (std::vector<std::int32_t>{12254}));

    // A stroke that does not go on with the sequence counts on its own.
    EXPECT_TRUE(Stroke(host, kCtrl, 'g'));
    EXPECT_TRUE(Stroke(host, 0, 'k'));
    EXPECT_EQ(log.qualifiersAtRun, (std::vector<std::int32_t>{0}));
    EXPECT_TRUE(Stroke(host, kCtrl, 'g'));
    EXPECT_FALSE(Stroke(host, 0, 'q'));
}

TEST_F(KeyDispatch, ShortcutOfACommandThatIsGoneRunsNothing) {
    ASSERT_TRUE(host.Shortcuts().Add(Record(4242, {{kAlt, 'q'}})));
    EXPECT_FALSE(Stroke(host, kAlt, 'q'));
    EXPECT_EQ(host.Shortcuts().LastMatch().kind, KeyMatch::Kind::Complete);
    EXPECT_TRUE(host.Shortcuts().BuiltinRuns().empty());
}

// Kept between runs -------------------------------------------------------------------------------

TEST(ShortcutFile, TableComesBackInTheNextRun) {
    TempFolder folder;
    ShortcutTable first;
    first.Load(folder.Path());
    EXPECT_TRUE(first.TakeReports().empty());
    EXPECT_TRUE(folder.Names().empty());  // written on the first change, not before
    ASSERT_TRUE(first.Remove(0));
    Container multi = Record(kVela, {{kCtrl, 'k'}, {0, 0x20AC}, {-1, 'x'}});
    multi.SetInt32(HOST_SHORTCUT_ADDRESS, 431000);
    ASSERT_TRUE(first.Add(multi));
    ASSERT_TRUE(first.Add(Record(kVela, {{kShift, 'k'}})));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shortcuts.json"});

    ShortcutTable second;
    second.Load(folder.Path());
    EXPECT_TRUE(second.TakeReports().empty());
    EXPECT_EQ(Listing(second), Listing(first));
    EXPECT_EQ(second.Get(second.Count() - 2)->GetInt32(HOST_SHORTCUT_ADDRESS), 431000);
    EXPECT_EQ(ReadFile(folder / "shortcuts.json"), first.Serialize());
}

// While an action runs, the file keeps the table from before it: a run that dies between taking a
// command's shortcuts out and putting new ones in loses nothing on disk.
TEST(ShortcutFile, HeldSavesWriteOnceWhenTheActionEnds) {
    TempFolder folder;
    ShortcutTable table;
    table.Load(folder.Path());
    ASSERT_TRUE(table.Add(Record(kVela, {{0, 'k'}})));
    const std::string before = ReadFile(folder / "shortcuts.json");

    table.HoldSaves();
    table.HoldSaves();
    ASSERT_TRUE(table.Remove(table.Count() - 1));
    EXPECT_EQ(ReadFile(folder / "shortcuts.json"), before);
    ASSERT_TRUE(table.Add(Record(kVela, {{kAlt, 'j'}})));
    table.ReleaseSaves();
    EXPECT_EQ(ReadFile(folder / "shortcuts.json"), before);  // the outer hold is still on
    table.ReleaseSaves();
    EXPECT_EQ(ReadFile(folder / "shortcuts.json"), table.Serialize());
    EXPECT_NE(table.Serialize(), before);

    // A release without a change writes nothing, and an extra release is harmless.
    std::filesystem::remove(folder / "shortcuts.json");
    table.HoldSaves();
    table.ReleaseSaves();
    table.ReleaseSaves();
    EXPECT_FALSE(std::filesystem::exists(folder / "shortcuts.json"));
}

TEST(ShortcutFile, HostLoadsTheTableFromItsPreferencesFolder) {
    TempFolder folder;
    {
        ShortcutTable saved;
        saved.Load(folder.Path());
        ASSERT_TRUE(saved.Add(Record(kVela, {{0, 'j'}})));
    }
    Host host;
    HostSettings settings;
    settings.preferencesFolder = folder.Path();
    host.Configure(settings);
    EXPECT_EQ(host.Shortcuts().FindFromId(kVela).size(), 1U);
    EXPECT_TRUE(host.Shortcuts().Persistent());
}

// Every kind of damage is reported with the place and what was expected, and the file is set
// aside byte for byte.
TEST(ShortcutFile, DamagedFileIsSetAsideAndReported) {
    struct Case {
        std::string text;
        std::string place;     // file:LINE:COLUMN
        std::string expected;  // part of the report
    };
    const std::string good = "{\"command\": 1, \"address\": 0, \"strokes\": [[0, 75]]}";
    const std::vector<Case> cases{
        {"", ":1:1:", "not JSON"},
        {"{\n  \"format\": \"vela-host-shortcuts\",\n  \"version\": 1,\n  \"shortcuts\": [\n",
         ":5:1:", "not JSON"},
        {"[]", ":1:1:", "expected an object with \"format\""},
        {"{\"format\": \"scene\", \"version\": 1, \"shortcuts\": []}",
         ":1:12:", "format: expected \"format\": \"vela-host-shortcuts\""},
        {"{\"format\": \"vela-host-shortcuts\", \"version\": 0, \"shortcuts\": []}",
         ":1:46:", "version: expected"},
        {"{\"format\": \"vela-host-shortcuts\", \"version\": 1}",
         ":1:1:", "expected \"shortcuts\": an array"},
        // Columns count characters; the JSON library's message comes without its own prefix.
        {"{\"süß\": 0, \"format\": \"vela-host-shortcuts\", \"version\": 1e400}",
         ":1:60:", "not JSON: number overflow parsing '1e400';"},
        {"{\"format\": \"vela-host-shortcuts\", \"version\": 1, \"shortcuts\": [\n  " + good +
             ",\n  {\"command\": \"Undo\", \"address\": 0, \"strokes\": [[0, 75]]}\n]}",
         ":3:15:", "shortcuts[1].command: expected \"command\": a command id"},
        {"{\"format\": \"vela-host-shortcuts\", \"version\": 1, \"shortcuts\": [\n  " + good +
             ",\n  {\"command\": 2, \"address\": 0, \"strokes\": [[0, 75], [1, 0]]}\n]}",
         ":3:53:", "shortcuts[1].strokes[1]: expected a stroke"},
        {"{\"format\": \"vela-host-shortcuts\", \"version\": 1, \"shortcuts\": [\n  {\"command\": "
         "2, \"address\": 4294967296, \"strokes\": [[0, 75]]}\n]}",
         ":2:29:", "shortcuts[0].address: expected"},
        {"{\"format\": \"vela-host-shortcuts\", \"version\": 1, \"shortcuts\": [\n  {\"command\": "
         "2, \"address\": 0, \"strokes\": []}\n]}",
         ":2:43:", "shortcuts[0].strokes: expected \"strokes\": an array of 1 to"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TempFolder folder;
        const fs::path file = folder / "shortcuts.json";
        WriteFile(file, c.text);
        ShortcutTable table;
        table.Load(folder.Path());
        const std::vector<std::string> reports = table.TakeReports();
        ASSERT_EQ(reports.size(), 1U);
        EXPECT_EQ(reports[0].rfind(file.string() + c.place + " the shortcut table is damaged: ", 0),
                  0U)
            << reports[0];
        EXPECT_NE(reports[0].find(c.expected), std::string::npos) << reports[0];
        EXPECT_NE(reports[0].find("and the host starts with its own shortcuts"), std::string::npos)
            << reports[0];
        EXPECT_EQ(Listing(table), Listing(ShortcutTable()));

        const std::vector<std::string> names = folder.Names();
        ASSERT_EQ(names.size(), 1U);
        EXPECT_EQ(names[0].rfind("shortcuts.json.damaged-", 0), 0U);
        EXPECT_NE(reports[0].find("set aside as \"" + (folder / names[0].c_str()).string() + "\""),
                  std::string::npos);
        EXPECT_EQ(ReadFile(folder / names[0].c_str()), c.text);
        // The next change writes a new file; the damaged one stays.
        ASSERT_TRUE(table.Add(Record(kVela, {{0, 'k'}})));
        EXPECT_EQ(folder.Names().size(), 2U);
    }
}

TEST(ShortcutFile, SettingAsideNeverOverwritesAnEarlierDamagedFile) {
    TempFolder folder;
    const fs::path file = folder / "shortcuts.json";
    for (const char* text : {"first damage", "second damage"}) {
        WriteFile(file, text);
        ShortcutTable table;
        table.Load(folder.Path());
    }
    std::vector<std::string> kept;
    for (const std::string& name : folder.Names()) kept.push_back(ReadFile(folder / name.c_str()));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"first damage", "second damage"}));
}

TEST(ShortcutFile, FileOfANewerHostIsLeftAlone) {
    TempFolder folder;
    const fs::path file = folder / "shortcuts.json";
    const std::string newer =
        "{\"format\": \"vela-host-shortcuts\", \"version\": 2, \"shortcuts\": [], \"more\": 1}";
    WriteFile(file, newer);
    ShortcutTable table;
    table.Load(folder.Path());
    const std::vector<std::string> reports = table.TakeReports();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_NE(reports[0].find("written by a newer host (format version 2; this host reads "
                              "version 1)"),
              std::string::npos)
        << reports[0];
    ASSERT_TRUE(table.Add(Record(kVela, {{0, 'k'}})));
    EXPECT_FALSE(table.Persistent());
    EXPECT_EQ(ReadFile(file), newer);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shortcuts.json"});
}

TEST(ShortcutFile, FileThatCannotBeReadIsLeftAlone) {
    TempFolder folder;
    fs::create_directory(folder / "shortcuts.json");  // a folder where the file should be
    ShortcutTable table;
    table.Load(folder.Path());
    const std::vector<std::string> reports = table.TakeReports();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_NE(reports[0].find("cannot read the shortcut table"), std::string::npos) << reports[0];
    ASSERT_TRUE(table.Add(Record(kVela, {{0, 'k'}})));
    EXPECT_TRUE(fs::is_directory(folder / "shortcuts.json"));
    EXPECT_TRUE(table.TakeReports().empty());
}

TEST(ShortcutFile, FailedSaveIsReportedAndTheChangeHoldsForTheRun) {
    TempFolder folder;
    const fs::path notAFolder = folder / "prefs";
    WriteFile(notAFolder, "a file where the preferences folder should be");
    ShortcutTable table;
    table.Load(notAFolder.string());
    EXPECT_TRUE(table.TakeReports().empty());
    ASSERT_TRUE(table.Add(Record(kVela, {{0, 'k'}})));
    const std::vector<std::string> reports = table.TakeReports();
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].rfind("cannot save the shortcut table to \"" +
                                   (notAFolder / "shortcuts.json").string() + "\": ",
                               0),
              0U)
        << reports[0];
    EXPECT_NE(reports[0].find("the change holds for this run only"), std::string::npos);
    EXPECT_EQ(table.FindFromId(kVela).size(), 1U);
    EXPECT_EQ(ReadFile(notAFolder), "a file where the preferences folder should be");
}

// Atomic replacement ------------------------------------------------------------------------------

TEST(AtomicFile, FailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
    TempFolder folder;
    const fs::path file = folder / "shortcuts.json";
    WriteFile(file, "old");
    ::chmod(file.c_str(), 0640);
    const std::string error = WriteFileAtomically(file, [](int fd, const fs::path&) {
        WriteAll(fd, "half of the ne");
        return std::string("the disk is full");
    });
    EXPECT_EQ(error, "the disk is full");
    EXPECT_EQ(ReadFile(file), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shortcuts.json"});

    EXPECT_EQ(WriteFileAtomically(file, std::string_view("new")), "");
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"shortcuts.json"});
}

TEST(AtomicFile, WritingThroughALinkReplacesTheFileItNames) {
    TempFolder folder;
    WriteFile(folder / "real.json", "old");
    fs::create_symlink(folder / "real.json", folder / "link.json");
    EXPECT_EQ(WriteFileAtomically(folder / "link.json", std::string_view("new")), "");
    EXPECT_TRUE(fs::is_symlink(folder / "link.json"));
    EXPECT_EQ(ReadFile(folder / "real.json"), "new");
}

TEST(AtomicFile, MissingFolderIsNamed) {
    TempFolder folder;
    const std::string error =
        WriteFileAtomically(folder / "missing" / "x.json", std::string_view("new"));
    EXPECT_EQ(error, "cannot create a file in the folder \"" + (folder / "missing").string() +
                         "\": No such file or directory");
}

}  // namespace
}  // namespace vhost
