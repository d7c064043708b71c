// Setting a damaged file aside: the name it gets, and that nothing is ever replaced.
#include "platform/set_aside.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

TEST(SetAside, TheNameSaysWhenInUtcAndNothingThatHasANameIsReplaced) {
    using namespace std::chrono;
    const system_clock::time_point now = sys_days{year{2026} / 12 / 8} + 8h + 41min + 25s;
    TempFolder folder;
    const fs::path file = folder / "prefs.json";
    const std::string stamp = "prefs.json.damaged-20261208-084125";
    // A dangling link holds the third name.
    fs::create_symlink(folder / "nowhere", folder / (stamp + "-3").c_str());

    std::vector<std::string> asideAs;
    for (const char* text : {"first", "second", "third"}) {
        WriteFile(file, text);
        const SetAside aside = SetFileAside(file, now);
        ASSERT_FALSE(aside.error) << aside.error.message();
        asideAs.push_back(aside.path.filename().string());
        EXPECT_EQ(ReadFile(aside.path), text);
    }
    EXPECT_EQ(asideAs, (std::vector<std::string>{stamp, stamp + "-2", stamp + "-4"}));
    EXPECT_TRUE(fs::is_symlink(folder / (stamp + "-3").c_str()));

    // A file that is not there stays not there, and the answer says why.
    const SetAside missing = SetFileAside(file, now);
    EXPECT_EQ(missing.error, std::errc::no_such_file_or_directory);
    EXPECT_TRUE(missing.path.empty());
    EXPECT_EQ(folder.Names().size(), 4U);
}

}  // namespace
}  // namespace vhost
