// The plug-in's page in the host's preferences, as the host draws it and the user works on it: the
// option and the settings it lives in, the description and its defaults, the page's record, the
// buttons for the manual and the web site, and the icon on the web-site button.

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Prefsvelaprefs.h"
#include "host.h"
#include "media/bitmap.h"
#include "prefs/preference_pages.h"
#include "support/module_folder.h"
#include "support/plugin_session.h"
#include "ui/dialog_driver.h"
#include "vela_host/host_table.h"

namespace velatest {
namespace {

constexpr std::int32_t kPageId = ID_VELAPREFS;
constexpr std::int32_t kAssignHotkey = VELAPREFS_ASSIGN_HOTKEY;
constexpr std::int32_t kKeepVisibility = VELAPREFS_KEEP_VISIBILITY;
constexpr std::int32_t kManual = VELAPREFS_MANUAL;
constexpr std::int32_t kWebSite = VELAPREFS_WEBSITE;
constexpr std::int32_t kInt32Type = HOST_TYPE_INT32;
constexpr std::int32_t kBitmapButtonType = HOST_CUSTOMDATA_BITMAPBUTTON;

using vhost::DescIdOf;
using vhost::Value;

const std::vector<vhost::Language> kGermanHost{{"US", "English", false}, {"DE", "German", true}};

HostDescId TwoLevelId(std::int32_t first, std::int32_t second) {
    HostDescId id = DescIdOf(first);
    id.count = 2;
    id.levels[1] = HostDescLevel{second, kInt32Type, 0};
    return id;
}

// The module loaded into a fresh host and started, with the page created once as the host does at
// the end of its start-up.
struct PageSetup {
    std::string modulePath = VELA_MODULE_FILE;
    std::vector<vhost::Language> languages = vhost::HostSettings{}.languages;
    std::function<void(vhost::Container& world)> beforeStart{};  // what the preferences held
    bool finishStartup = true;
};

class PreferencesPage : public ::testing::Test {
protected:
    // Replaces the host (and with it the module) with a new one; false when the module did not
    // start.
    bool StartHost(const PageSetup& setup = {}) {
        host_.reset();
        host_ = std::make_unique<vhost::Host>();
        host_->Configure(vhost::HostSettings{"", setup.languages});
        if (setup.beforeStart) setup.beforeStart(host_->WorldContainer());
        const vhost::ModuleLoadReport report = host_->LoadModule(setup.modulePath);
        if (!report.started) {
            ADD_FAILURE() << (report.messages.empty() ? "not started" : report.messages.front());
            return false;
        }
        if (setup.finishStartup) host_->FinishStartup();
        return true;
    }
    void TearDown() override { host_.reset(); }

    vhost::Host& Host() { return *host_; }
    vhost::PageNode& Node() {
        vhost::PageNode* node = host_->Pages().NodeOf(kPageId);
        EXPECT_NE(node, nullptr);
        return *node;
    }
    vhost::Container* Settings() {
        return host_->WorldContainer().GetContainerInstance(kSettingsId);
    }
    vhost::ParameterAnswer Get(const HostDescId& id) {
        return host_->Pages().GetParameter(Node(), id);
    }
    vhost::ParameterAnswer Set(const HostDescId& id, const Value& value) {
        return host_->Pages().SetParameter(Node(), id, value);
    }
    std::unique_ptr<vhost::DescriptionBuild> Describe(std::int32_t& flags, bool& answer,
                                                      std::optional<HostDescId> single = {}) {
        return host_->Pages().Describe(Node(), host_->LanguageCode(), flags, answer, single);
    }
    // Nothing was opened, no dialog and no message box shown.
    void ExpectNothingOpened() {
        EXPECT_TRUE(host_->OpenedFiles().empty());
        EXPECT_TRUE(host_->OpenedWebAddresses().empty());
        EXPECT_TRUE(host_->Dialogs().Outcomes().empty());
        EXPECT_TRUE(host_->Dialogs().MessageBoxes().empty());
    }

private:
    std::unique_ptr<vhost::Host> host_;
};

// The option and its settings ---------------------------------------------------------------------

TEST_F(PreferencesPage, FirstStartCreatesTheSettingsWithTheOptionOff) {
    ASSERT_TRUE(StartHost({.finishStartup = false}));
    // Registration alone creates nothing; the page's first instance does.
    EXPECT_EQ(Settings(), nullptr);
    Host().FinishStartup();
    ASSERT_NE(Settings(), nullptr);
    EXPECT_EQ(Settings()->Count(), 1);
    EXPECT_EQ(Settings()->TypeOf(kKeepOptionKey), kInt32Type);
    EXPECT_EQ(Settings()->GetInt32(kKeepOptionKey, -1), 0);

    const vhost::ParameterAnswer shown = Get(DescIdOf(kKeepVisibility));
    EXPECT_TRUE(shown.answer);
    EXPECT_EQ(shown.flags & HOST_DESCFLAGS_GET_PARAM_GET, HOST_DESCFLAGS_GET_PARAM_GET);
    EXPECT_EQ(shown.value, Value::Int32(0));
}

TEST_F(PreferencesPage, StartUpReplacesAnOptionOfAnotherTypeAndKeepsAnInteger) {
    struct Case {
        const char* name;
        Value stored;
        Value afterStart;
        std::int32_t shown;
    };
    const std::vector<Case> cases{
        {"a string", Value::String("on"), Value::Int32(0), 0},
        {"a 64-bit integer", Value::Int64(1), Value::Int32(0), 0},
        {"a float", Value::Float(1.0), Value::Int32(0), 0},
        {"integer 1", Value::Int32(1), Value::Int32(1), 1},
        {"integer 0", Value::Int32(0), Value::Int32(0), 0},
        {"integer 7", Value::Int32(7), Value::Int32(7), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageSetup setup;
        setup.beforeStart = [&c](vhost::Container& world) {
            vhost::Container settings(kSettingsId);
            settings.Set(kKeepOptionKey, c.stored);
            settings.SetString(2000, "kept");
            world.SetContainer(kSettingsId, settings);
        };
        ASSERT_TRUE(StartHost(setup));
        ASSERT_NE(Settings(), nullptr);
        ASSERT_NE(Settings()->Find(kKeepOptionKey), nullptr);
        EXPECT_EQ(*Settings()->Find(kKeepOptionKey), c.afterStart);
        EXPECT_EQ(Settings()->GetString(2000), "kept");
        EXPECT_EQ(Get(DescIdOf(kKeepVisibility)).value, Value::Int32(c.shown));
    }
}

TEST_F(PreferencesPage, SettingTheOptionStoresItUnderItsKeyAndRefreshesTheInterface) {
    ASSERT_TRUE(StartHost());
    struct Step {
        Value set;
        std::int32_t stored;
    };
    std::int32_t refreshes = Host().InterfaceRefreshes();
    for (const Step& step :
         {Step{Value::Int32(1), 1}, Step{Value::Int32(0), 0}, Step{Value::Int32(5), 1}}) {
        SCOPED_TRACE("set to " + std::to_string(step.set.AsInt32()));
        const vhost::ParameterAnswer answer = Set(DescIdOf(kKeepVisibility), step.set);
        EXPECT_TRUE(answer.answer);
        EXPECT_EQ(answer.flags & HOST_DESCFLAGS_SET_PARAM_SET, HOST_DESCFLAGS_SET_PARAM_SET);
        ASSERT_NE(Settings(), nullptr);
        EXPECT_EQ(Settings()->TypeOf(kKeepOptionKey), kInt32Type);
        EXPECT_EQ(Settings()->GetInt32(kKeepOptionKey, -1), step.stored);
        EXPECT_FALSE(Settings()->Has(kKeepVisibility));
        EXPECT_FALSE(Node().data.Has(kKeepVisibility));
        EXPECT_EQ(Host().InterfaceRefreshes(), ++refreshes);
        EXPECT_EQ(Get(DescIdOf(kKeepVisibility)).value, Value::Int32(step.stored));
    }
}

TEST_F(PreferencesPage, ParameterRequestsRecreateMissingSettingsAndShowAMissingOptionOff) {
    ASSERT_TRUE(StartHost());
    Set(DescIdOf(kKeepVisibility), Value::Int32(1));
    ASSERT_NE(Settings(), nullptr);
    ASSERT_TRUE(Settings()->Remove(kKeepOptionKey));
    vhost::ParameterAnswer shown = Get(DescIdOf(kKeepVisibility));
    EXPECT_EQ(shown.flags & HOST_DESCFLAGS_GET_PARAM_GET, HOST_DESCFLAGS_GET_PARAM_GET);
    EXPECT_EQ(shown.value, Value::Int32(0));

    // Without the settings at all, the request makes them again, empty.
    Host().WorldContainer().Remove(kSettingsId);
    shown = Get(DescIdOf(kKeepVisibility));
    EXPECT_EQ(shown.value, Value::Int32(0));
    ASSERT_NE(Settings(), nullptr);
    EXPECT_EQ(Settings()->Count(), 0);

    Host().WorldContainer().Remove(kSettingsId);
    Set(DescIdOf(kKeepVisibility), Value::Int32(1));
    ASSERT_NE(Settings(), nullptr);
    EXPECT_EQ(Settings()->GetInt32(kKeepOptionKey, -1), 1);
}

// The description
// ----------------------------------------------------------------------------------

TEST_F(PreferencesPage, ADefaultValuesRequestPlacesOffAsTheDefaultWithoutChangingTheOption) {
    ASSERT_TRUE(StartHost());
    Set(DescIdOf(kKeepVisibility), Value::Int32(1));

    std::int32_t flags = HOST_DESCFLAGS_DESC_NEEDDEFAULTVALUE;
    bool answer = true;
    auto description = Describe(flags, answer);
    EXPECT_FALSE(answer);
    EXPECT_EQ(flags & HOST_DESCFLAGS_DESC_LOADED, HOST_DESCFLAGS_DESC_LOADED);
    ASSERT_NE(description->Settings(kKeepVisibility), nullptr);
    const Value* placed = description->Settings(kKeepVisibility)->Find(HOST_DESC_DEFAULT);
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(*placed, Value::Int32(0));
    EXPECT_EQ(Settings()->GetInt32(kKeepOptionKey, -1), 1);

    // Restricted to the option itself the default is placed; to another parameter, it is not.
    flags = HOST_DESCFLAGS_DESC_NEEDDEFAULTVALUE;
    description = Describe(flags, answer, DescIdOf(kKeepVisibility));
    EXPECT_TRUE(description->Settings(kKeepVisibility)->Has(HOST_DESC_DEFAULT));
    flags = HOST_DESCFLAGS_DESC_NEEDDEFAULTVALUE;
    description = Describe(flags, answer, DescIdOf(kManual));
    EXPECT_EQ(flags & HOST_DESCFLAGS_DESC_LOADED, HOST_DESCFLAGS_DESC_LOADED);
    ASSERT_NE(description->Settings(kKeepVisibility), nullptr);
    EXPECT_FALSE(description->Settings(kKeepVisibility)->Has(HOST_DESC_DEFAULT));

    // Without the request nothing is placed.
    flags = 0;
    description = Describe(flags, answer);
    EXPECT_FALSE(answer);
    EXPECT_EQ(flags, HOST_DESCFLAGS_DESC_LOADED);
    EXPECT_FALSE(description->Settings(kKeepVisibility)->Has(HOST_DESC_DEFAULT));
    EXPECT_EQ(Settings()->GetInt32(kKeepOptionKey, -1), 1);
}

TEST_F(PreferencesPage, TheDescriptionShowsFourParametersInTheHostsLanguage) {
    struct Case {
        std::vector<vhost::Language> languages;
        std::vector<std::string> labels;
    };
    const std::vector<Case> cases{
        {vhost::HostSettings{}.languages,
         {"Assign Hotkey...", "Keep visibility on Ctrl+Alt", "Open Manual...",
          "Visit the Vela website"}},
        {kGermanHost,
         {"Tastenkürzel zuweisen...", "Sichtbarkeit bei Strg+Alt beibehalten", "Handbuch öffnen...",
          "Vela-Webseite besuchen"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(StartHost({.languages = c.languages}));
        SCOPED_TRACE(Host().LanguageCode());
        std::int32_t flags = 0;
        bool answer = true;
        const auto description = Describe(flags, answer);
        ASSERT_TRUE(description->Loaded());
        const auto& parameters = description->Parameters();
        ASSERT_EQ(parameters.size(), 4U);
        const std::vector<std::int32_t> ids{kAssignHotkey, kKeepVisibility, kManual, kWebSite};
        const std::vector<vhost::ParameterKind> kinds{
            vhost::ParameterKind::Button, vhost::ParameterKind::Bool, vhost::ParameterKind::Button,
            vhost::ParameterKind::BitmapButton};
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            EXPECT_EQ(parameters[i].id, ids[i]);
            EXPECT_EQ(parameters[i].kind, kinds[i]) << parameters[i].id;
            EXPECT_EQ(parameters[i].label, c.labels[i]);
        }
    }
}

TEST_F(PreferencesPage, ThePageTitleIsTheResourceTextInTheHostsLanguage) {
    TempFolder folder;
    const fs::path file = CopyModuleTo(folder.Path());
    CopyResourceTo(folder / "res");
    WriteTextFile(folder / "res" / "strings_en-US" / "c4d_strings.str",
                  StringTableWithTitle("Vela Button (English)"));
    WriteTextFile(folder / "res" / "strings_de-DE" / "c4d_strings.str",
                  StringTableWithTitle("Vela-Knopf"));
    for (const auto& [languages, title] :
         {std::pair{kGermanHost, "Vela-Knopf"},
          std::pair{vhost::HostSettings{}.languages, "Vela Button (English)"}}) {
        ASSERT_TRUE(StartHost({.modulePath = file.string(), .languages = languages}));
        const vhost::PluginRecord* page = Host().FindPlugin(kPageId, HOST_PLUGIN_PREFS);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->name, title);
    }
}

TEST_F(PreferencesPage, ThePageRecordHoldsItsPositionAndNoParent) {
    ASSERT_TRUE(StartHost());
    vhost::PluginRecord* page = Host().FindPlugin(kPageId, HOST_PLUGIN_PREFS);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->data.TypeOf(700), kInt32Type);
    EXPECT_EQ(page->data.GetInt32(700), 10000050);
    EXPECT_EQ(page->data.TypeOf(701), kInt32Type);
    EXPECT_EQ(page->data.GetInt32(701, -1), 0);
}

// Buttons
// -------------------------------------------------------------------------------------------

TEST_F(PreferencesPage, TheManualButtonOpensTheManualInTheHostsLanguage) {
    struct Case {
        const char* name;
        std::vector<vhost::Language> languages;
        const char* manual;
    };
    const std::vector<Case> cases{
        {"German by default", kGermanHost, "ManualDE.pdf"},
        {"German by default, listed first",
         {{"DE", "German", true}, {"US", "English", false}},
         "ManualDE.pdf"},
        {"English by default", {{"US", "English", true}, {"DE", "German", false}}, "ManualEN.pdf"},
        {"no language", {}, "ManualEN.pdf"},
        {"no default, German last",
         {{"US", "English", false}, {"DE", "German", false}},
         "ManualDE.pdf"},
        {"no default, English last",
         {{"DE", "German", false}, {"US", "English", false}},
         "ManualEN.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(StartHost({.languages = c.languages}));
        EXPECT_TRUE(Host().Pages().Click(Node(), DescIdOf(kManual)));
        EXPECT_EQ(Host().OpenedFiles(),
                  std::vector<std::string>{BuiltModuleFolder() + "/" + c.manual});
        EXPECT_TRUE(Host().OpenedWebAddresses().empty());
        EXPECT_TRUE(Host().Dialogs().Outcomes().empty());
    }
}

TEST_F(PreferencesPage, TheWebSiteButtonOpensTheMakersSite) {
    ASSERT_TRUE(StartHost());
    EXPECT_TRUE(Host().Pages().Click(Node(), DescIdOf(kWebSite)));
    ASSERT_EQ(Host().OpenedWebAddresses().size(), 1U);
    const std::string& address = Host().OpenedWebAddresses().front();
    const std::string scheme = "https://";
    ASSERT_EQ(address.rfind(scheme, 0), 0U) << address;
    const std::string site =
        address.substr(scheme.size(), address.find('/', scheme.size()) - scheme.size());
    EXPECT_TRUE(site == "velacraft.example.org" || site.ends_with(".velacraft.example.org"))
        << address;
    EXPECT_TRUE(Host().OpenedFiles().empty());
    EXPECT_TRUE(Host().Dialogs().Outcomes().empty());
}

TEST_F(PreferencesPage, OnlyTheFirstLevelOfAClickedIdCounts) {
    ASSERT_TRUE(StartHost());
    EXPECT_TRUE(Host().Pages().Click(Node(), TwoLevelId(kManual, kWebSite)));
    EXPECT_EQ(Host().OpenedFiles(),
              std::vector<std::string>{BuiltModuleFolder() + "/ManualEN.pdf"});
    EXPECT_TRUE(Host().OpenedWebAddresses().empty());
}

TEST_F(PreferencesPage, ClicksOnOtherParametersDoNothing) {
    ASSERT_TRUE(StartHost());
    const vhost::Container before = Host().WorldContainer();
    for (std::int32_t id : {kKeepVisibility, 1003, 9999}) {
        EXPECT_TRUE(Host().Pages().Click(Node(), DescIdOf(id))) << id;
    }
    ExpectNothingOpened();
    EXPECT_TRUE(Host().WorldContainer() == before);
}

// The web-site button's icon
// --------------------------------------------------------------------------

TEST_F(PreferencesPage, TheWebSiteButtonShowsTheIcon) {
    ASSERT_TRUE(StartHost());
    bool answer = false;
    const std::unique_ptr<vhost::Bitmap> bitmap =
        Host().Pages().RequestBitmap(Node(), DescIdOf(kWebSite), answer);
    EXPECT_TRUE(answer);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 64);
    EXPECT_EQ(bitmap->Height(), 64);
    vhost::Bitmap icon;
    ASSERT_EQ(icon.LoadTiff((BuiltResourceFolder() / "vela_icon.tif").string(), 0),
              vhost::Bitmap::kOk);
    EXPECT_TRUE(*bitmap == icon);

    for (std::int32_t id : {kAssignHotkey, kKeepVisibility, kManual, 9999}) {
        answer = false;
        EXPECT_EQ(Host().Pages().RequestBitmap(Node(), DescIdOf(id), answer), nullptr) << id;
        EXPECT_TRUE(answer);
    }
}

TEST_F(PreferencesPage, WithoutTheIconTheWebSiteButtonGetsAnEmptyBitmap) {
    TempFolder folder;
    const fs::path file = CopyModuleTo(folder.Path());
    CopyResourceTo(folder / "res");
    fs::remove(folder / "res" / "vela_icon.tif");
    ASSERT_TRUE(StartHost({.modulePath = file.string()}));

    bool answer = false;
    const std::unique_ptr<vhost::Bitmap> bitmap =
        Host().Pages().RequestBitmap(Node(), DescIdOf(kWebSite), answer);
    EXPECT_TRUE(answer);
    ASSERT_NE(bitmap, nullptr);
    vhost::Bitmap empty;
    ASSERT_EQ(empty.Init(32, 32, 24), vhost::Bitmap::kOk);
    EXPECT_EQ(bitmap->Width(), 32);
    EXPECT_EQ(bitmap->Height(), 32);
    EXPECT_EQ(bitmap->Depth(), 24);
    EXPECT_TRUE(*bitmap == empty);
}

TEST_F(PreferencesPage, TheWebSiteValueIsABitmapButtonRecordOfTheRequest) {
    ASSERT_TRUE(StartHost());
    const HostDescId requested = TwoLevelId(kWebSite, 3);
    const vhost::ParameterAnswer got = Get(requested);
    EXPECT_EQ(got.flags & HOST_DESCFLAGS_GET_PARAM_GET, HOST_DESCFLAGS_GET_PARAM_GET);
    ASSERT_EQ(got.value.TypeNumber(), kBitmapButtonType);
    const vhost::CustomData* custom = got.value.AsCustom();
    ASSERT_NE(custom, nullptr);
    EXPECT_EQ(custom->type, kBitmapButtonType);
    ASSERT_EQ(custom->record.size(), sizeof(HostBitmapButtonData));
    HostBitmapButtonData record{};
    std::memcpy(&record, custom->record.data(), sizeof record);
    EXPECT_EQ(record.node, static_cast<const void*>(Node().Handle()));
    EXPECT_EQ(record.id.count, 2);
    EXPECT_EQ(std::memcmp(record.id.levels, requested.levels, 2 * sizeof(HostDescLevel)), 0);
    EXPECT_EQ(record.dirty, 0);

    // Setting it is taken and stores nothing, neither in the preferences nor with the host.
    const vhost::Container before = Host().WorldContainer();
    const vhost::ParameterAnswer set = Set(DescIdOf(kWebSite), Value::Int32(1));
    EXPECT_EQ(set.flags & HOST_DESCFLAGS_SET_PARAM_SET, HOST_DESCFLAGS_SET_PARAM_SET);
    EXPECT_TRUE(Host().WorldContainer() == before);
    EXPECT_FALSE(Node().data.Has(kWebSite));
}

}  // namespace
}  // namespace velatest
