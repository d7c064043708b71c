// The host dies (SIGKILL) in the middle of saving a scene, its preferences or its shortcut table.
// A child process (crash_writer) does one save and kills itself at step N of it, for every N from
// the first step to the last: just before and just after each write, flush and rename. After each
// death every file the save touches is found whole, either as it was before or as the save meant
// to leave it; nothing half-written, nothing lost.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "model/container.h"
#include "prefs/preferences_file.h"
#include "shortcuts/shortcut_table.h"
#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;

// A file's contents, or none when it is absent.
using FileState = std::optional<std::string>;
using FolderState = std::map<std::string, FileState>;

FolderState StateOf(const fs::path& folder, const std::vector<std::string>& names) {
    FolderState state;
    for (const std::string& name : names) {
        state[name] = fs::exists(folder / name) ? FileState(ReadFile(folder / name)) : std::nullopt;
    }
    return state;
}

struct ChildResult {
    int waitStatus = 0;
    std::string output;
};

ChildResult RunChild(const std::string& kind, const fs::path& folder, long stopAt, int chunk) {
    // exec: the child replaces the shell, so that its death by a signal is what pclose reports.
    const std::string command = "exec " + std::string(CRASH_WRITER_FILE) + " " + kind + " '" +
                                folder.string() + "' " + std::to_string(stopAt) + " " +
                                std::to_string(chunk);
    ChildResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, ""};
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) result.output += buffer;
    result.waitStatus = ::pclose(pipe);
    return result;
}

// One kind of save: what the folder holds before it, which files it touches, and how finely the
// child cuts its writes.
struct SaveCase {
    std::string kind;
    std::vector<std::string> files;
    int chunk;
    void (*prepare)(const fs::path& folder);
};

void PrepareScene(const fs::path& folder) {
    fs::copy_file(fs::path(VELA_EXAMPLE_SCENES_DIR) / "studio.json", folder / "scene.json");
}

void PreparePreferences(const fs::path& folder) {
    Container world;
    world.SetInt32(5, 5);
    world.SetString(6, "kept from the last run");
    ASSERT_EQ(SavePreferences(folder.string(), world), "");
}

void PrepareShortcuts(const fs::path& folder) {
    ShortcutTable table;
    table.Load(folder.string());
    ASSERT_EQ(table.Save(), "");
}

struct Tally {
    int killPoints = 0;
    int foundOld = 0;
    int foundNew = 0;
};

void RunEveryKillPoint(const SaveCase& save, Tally& tally) {
    SCOPED_TRACE(save.kind);
    FolderState before;
    FolderState after;
    long steps = 0;
    {
        TempFolder folder;
        save.prepare(folder.Path());
        before = StateOf(folder.Path(), save.files);
        const ChildResult full = RunChild(save.kind, folder.Path(), 0, save.chunk);
        ASSERT_TRUE(WIFEXITED(full.waitStatus) && WEXITSTATUS(full.waitStatus) == 0) << full.output;
        ASSERT_EQ(std::sscanf(full.output.c_str(), "steps %ld", &steps), 1) << full.output;
        after = StateOf(folder.Path(), save.files);
    }
    ASSERT_NE(before, after) << "the save changes nothing";
    ASSERT_GE(steps, 10) << "too few steps to be worth killing at";
    std::cout << save.kind << ": " << steps << " kill points" << std::endl;

    for (long stop = 1; stop <= steps + 1; ++stop) {
        SCOPED_TRACE("killed at step " + std::to_string(stop) + " of " + std::to_string(steps));
        TempFolder folder;
        save.prepare(folder.Path());
        const ChildResult child = RunChild(save.kind, folder.Path(), stop, save.chunk);
        if (stop <= steps) {
            ASSERT_TRUE(WIFSIGNALED(child.waitStatus) && WTERMSIG(child.waitStatus) == SIGKILL)
                << "status " << child.waitStatus << ": " << child.output;
            ++tally.killPoints;
        } else {
            ASSERT_TRUE(WIFEXITED(child.waitStatus) && WEXITSTATUS(child.waitStatus) == 0);
        }
        const FolderState found = StateOf(folder.Path(), save.files);
        for (const std::string& name : save.files) {
            const bool isOld = found.at(name) == before.at(name);
            const bool isNew = found.at(name) == after.at(name);
            EXPECT_TRUE(isOld || isNew) << name << " is neither the old file nor the new one";
            if (before.at(name) != after.at(name)) {
                tally.foundOld += isOld ? 1 : 0;
                tally.foundNew += isNew ? 1 : 0;
            }
        }
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(CrashDuringSave, EveryKillPointLeavesTheOldFileOrTheNewOneWhole) {
    const std::vector<SaveCase> saves{
        {"scene", {"scene.json"}, 256, PrepareScene},
        {"preferences", {"preferences.json", "shortcuts.json"}, 32, PreparePreferences},
        {"shortcuts", {"shortcuts.json", "preferences.json"}, 64, PrepareShortcuts},
    };
    Tally tally;
    for (const SaveCase& save : saves) {
        RunEveryKillPoint(save, tally);
        if (HasFailure()) return;
    }
    std::cout << "kill points: " << tally.killPoints
              << "; changed files found as before: " << tally.foundOld
              << ", as saved: " << tally.foundNew << std::endl;
    // Deaths before the rename find the old file, deaths after it the new one; both must occur,
    // or the kill points missed the moment that matters.
    EXPECT_GT(tally.foundOld, 0);
    EXPECT_GT(tally.foundNew, 0);
}

}  // namespace
}  // namespace vhost
