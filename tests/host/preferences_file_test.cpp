// The host's preferences folder as a person's machine may have it: missing, a file where the folder
// should be, a folder where the file should be, read-only, or holding a damaged file. Each case is
// reported with the file and the reason, and nothing that was on disk before is changed or lost.
#include "prefs/preferences_file.h"

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host.h"
#include "model/container.h"
#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

constexpr std::int32_t kKey = 4711;

// A host on `folder` that sets kKey to `value` and shuts down; what the shutdown reported.
std::vector<std::string> RunHostSetting(const fs::path& folder, std::int32_t value,
                                        std::vector<std::string>* configureReports = nullptr) {
    Host host;
    std::vector<std::string> reports = host.Configure({folder.string(), {{"US", "English", true}}});
    if (configureReports != nullptr) *configureReports = reports;
    host.WorldContainer().SetInt32(kKey, value);
    return host.Shutdown();
}

std::int32_t ValueKeptIn(const fs::path& folder) {
    Container world;
    const PreferencesLoad load = LoadPreferences(folder.string(), world);
    EXPECT_EQ(load.problem, "");
    return world.GetInt32(kKey, -1);
}

TEST(PreferencesFolder, AMissingFolderIsMadeWhenThePreferencesAreFirstKept) {
    TempFolder temp;
    const fs::path folder = temp / "not" / "there" / "yet";
    std::vector<std::string> configured;
    EXPECT_EQ(RunHostSetting(folder, 3, &configured), std::vector<std::string>{});
    EXPECT_EQ(configured, std::vector<std::string>{});
    EXPECT_EQ(ValueKeptIn(folder), 3);
}

TEST(PreferencesFolder, AFileWhereTheFolderShouldBeIsReportedAndLeftAlone) {
    TempFolder temp;
    const fs::path folder = temp / "prefs";
    WriteFile(folder, "a file of the user's");
    const std::vector<std::string> reports = RunHostSetting(folder, 3);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0],
              "cannot make the preferences folder \"" + folder.string() + "\": Not a directory");
    EXPECT_EQ(ReadFile(folder), "a file of the user's");
}

TEST(PreferencesFolder, AFolderWhereTheFileShouldBeIsSetAsideWithItsContents) {
    TempFolder temp;
    fs::create_directories(temp / "preferences.json");
    WriteFile(temp / "preferences.json" / "inside.txt", "kept");
    std::vector<std::string> configured;
    EXPECT_EQ(RunHostSetting(temp.Path(), 8, &configured), std::vector<std::string>{});
    ASSERT_EQ(configured.size(), 1U);
    const std::vector<std::string> names = temp.Names();
    ASSERT_EQ(names.size(), 2U);
    EXPECT_EQ(names[0], "preferences.json");
    EXPECT_EQ(names[1].rfind("preferences.json.damaged-", 0), 0U) << names[1];
    EXPECT_EQ(configured[0], "the preferences could not be read (" +
                                 (temp / "preferences.json").string() +
                                 ": cannot read the scene file: Is a directory); the file was "
                                 "set aside as \"" +
                                 (temp / names[1].c_str()).string() +
                                 "\" and the host starts with default preferences");
    EXPECT_EQ(ReadFile(temp / names[1].c_str() / "inside.txt"), "kept");
    EXPECT_EQ(ValueKeptIn(temp.Path()), 8);
}

TEST(PreferencesFolder, AReadOnlyFolderKeepsTheOldFileAndSaysWhy) {
    if (::geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
    TempFolder temp;
    EXPECT_EQ(RunHostSetting(temp.Path(), 1), std::vector<std::string>{});
    const std::string before = ReadFile(temp / "preferences.json");
    fs::permissions(temp.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    const std::vector<std::string> reports = RunHostSetting(temp.Path(), 2);
    fs::permissions(temp.Path(), fs::perms::owner_all);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0], "cannot save the scene to \"" + (temp / "preferences.json").string() +
                              "\": cannot create a file in the folder \"" + temp.Path().string() +
                              "\": Permission denied");
    EXPECT_EQ(ReadFile(temp / "preferences.json"), before);
    EXPECT_EQ(ValueKeptIn(temp.Path()), 1);
}

// A damaged file that cannot be set aside stays the user's: the run uses default preferences and
// its shutdown does not write over the file.
TEST(PreferencesFolder, ADamagedFileThatCannotBeSetAsideIsNeverOverwritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
    TempFolder temp;
    WriteFile(temp / "preferences.json", R"({"format": "vela-host-scene", "version": 1, "na)");
    fs::permissions(temp.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    std::vector<std::string> configured;
    const std::vector<std::string> reports = RunHostSetting(temp.Path(), 2, &configured);
    fs::permissions(temp.Path(), fs::perms::owner_all);
    ASSERT_EQ(configured.size(), 1U);
    const std::string start =
        "the preferences could not be read (" + (temp / "preferences.json").string() + ":1:";
    const std::string end =
        "), and could not be set aside: Permission denied; the host starts with default "
        "preferences and will not overwrite the file";
    EXPECT_EQ(configured[0].substr(0, start.size()), start) << configured[0];
    ASSERT_GE(configured[0].size(), end.size());
    EXPECT_EQ(configured[0].substr(configured[0].size() - end.size()), end) << configured[0];
    EXPECT_EQ(reports, std::vector<std::string>{});
    EXPECT_EQ(ReadFile(temp / "preferences.json"),
              R"({"format": "vela-host-scene", "version": 1, "na)");
    EXPECT_EQ(temp.Names(), std::vector<std::string>{"preferences.json"});
}

}  // namespace
}  // namespace vhost
