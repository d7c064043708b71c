// The host's system layer as it behaves on Windows, run under Wine: paths in UTF-8 with names
// that are not ASCII, whole-file reads, atomic replacement, the path rules with the system's own
// letter case, module loading, and TIFF decoding by the imaging component.
#include <windows.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "media/bitmap.h"
#include "modules/dynamic_library.h"
#include "platform/atomic_file.h"
#include "platform/file_reading.h"
#include "platform/path_rules.h"
#include "platform/process_paths.h"
#include "platform/utf8_path.h"
#include "support/icon_expectations.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using vhost::PathFromUtf8;
using vhost::Utf8FromPath;

// A fresh folder whose own name is not ASCII, removed afterwards.
class Folder : public vhost::testing_support::TempFolder {
public:
    Folder() : TempFolder("vela Übung 日本") {}
};

std::string Read(const fs::path& file) {
    std::string text;
    EXPECT_EQ(vhost::ReadWholeFile(file, text).error, 0);
    return text;
}

TEST(WindowsPaths, Utf8NamesReachTheFileSystemAsTheyAre) {
    Folder folder;
    const fs::path file = folder / "Szène — 日本.json";
    ASSERT_EQ(vhost::WriteFileAtomically(file, "{}"), "");
    // The system sees the name in UTF-16 as written, not as ANSI code page bytes.
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Szène — 日本.json"});
    EXPECT_EQ(file.filename().wstring(), L"Sz\u00e8ne \u2014 \u65e5\u672c.json");
    EXPECT_EQ(Read(file), "{}");
}

TEST(WindowsFiles, AtomicWriteReplacesAnExistingFileAndLeavesNoTemporary) {
    Folder folder;
    const fs::path file = folder / "preferences.json";
    ASSERT_EQ(vhost::WriteFileAtomically(file, "old"), "");
    ASSERT_EQ(vhost::WriteFileAtomically(file, "new and longer"), "");
    EXPECT_EQ(Read(file), "new and longer");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"preferences.json"});
}

TEST(WindowsFiles, AFailedFillKeepsTheOldFile) {
    Folder folder;
    const fs::path file = folder / "scene.json";
    ASSERT_EQ(vhost::WriteFileAtomically(file, "old"), "");
    const std::string error =
        vhost::WriteFileAtomically(file, [](int fd, const fs::path&) -> std::string {
            EXPECT_EQ(vhost::WriteAll(fd, "half"), 0);
            return "the writer gave up";
        });
    EXPECT_EQ(error, "the writer gave up");
    EXPECT_EQ(Read(file), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"scene.json"});
}

TEST(WindowsFiles, TemporariesOfEndedSavesAreRemovedByTheNextSave) {
    Folder folder;
    // Process ids on Windows are multiples of four below 2^32; this one runs nowhere.
    const std::string ended = ".scene.json.999999996-0.tmp";
    const std::string ours = ".scene.json." + std::to_string(GetCurrentProcessId()) + "-99.tmp";
    ASSERT_EQ(vhost::WriteFileAtomically(folder / ended, "half"), "");
    ASSERT_EQ(vhost::WriteFileAtomically(folder / ours, "half"), "");
    ASSERT_EQ(vhost::WriteFileAtomically(folder / "scene.json", "whole"), "");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{ours, "scene.json"}));
}

TEST(WindowsFiles, AMissingFolderIsReportedWithItsName) {
    Folder folder;
    const std::string error = vhost::WriteFileAtomically(folder / "no folder/scene.json", "x");
    EXPECT_NE(error.find("cannot create a file in the folder"), std::string::npos) << error;
    EXPECT_NE(error.find("no folder"), std::string::npos) << error;
}

TEST(WindowsFiles, ReadingAMissingFileOrAFolderFails) {
    Folder folder;
    std::string text;
    const vhost::FileReading missing = vhost::ReadWholeFile(folder / "none.json", text);
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.error, ENOENT);
    const vhost::FileReading directory = vhost::ReadWholeFile(folder.Path(), text);
    EXPECT_EQ(directory.error, EISDIR);
}

TEST(WindowsPathRules, TheHostUsesWindowsRulesWithTheSystemsLetterCase) {
    EXPECT_EQ(vhost::paths::kNative, vhost::paths::Style::Windows);
    EXPECT_EQ(vhost::paths::Join("C:\\Host", "corelibs"), "C:\\Host\\corelibs");
    EXPECT_EQ(vhost::paths::Compare("C:\\Host\\CoreLibs", "c:/host/corelibs"), 0);
    // Letters beyond ASCII compare without case too, as the file system compares them.
    EXPECT_EQ(vhost::paths::Compare("C:\\SZÈNE\\Ölfass", "c:\\szène\\ölfass"), 0);
    EXPECT_NE(vhost::paths::Compare("C:\\Szene", "C:\\Szène"), 0);
}

TEST(WindowsProcess, TheStartupFolderIsTheProgramsFolder) {
    const std::string program = vhost::ExecutablePath();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(PathFromUtf8(vhost::DefaultStartupFolder()), PathFromUtf8(program).parent_path());
    EXPECT_NE(program.find(':'), std::string::npos) << program;  // a drive letter
}

TEST(WindowsModules, AMissingModuleIsReportedAsOnEverySystem) {
    Folder folder;
    vhost::DynamicLibrary library;
    EXPECT_FALSE(library.Open(Utf8FromPath(folder / "nö.xdl64")));
    EXPECT_EQ(library.Error(), "there is no such file");
}

TEST(WindowsModules, AFileThatIsNotALibraryIsRefusedWithTheSystemsReason) {
    Folder folder;
    const fs::path file = folder / "Modul ä.xdl64";
    ASSERT_EQ(vhost::WriteFileAtomically(file, "not a library"), "");
    vhost::DynamicLibrary library;
    EXPECT_FALSE(library.Open(Utf8FromPath(file)));
    EXPECT_NE(library.Error().find("system error"), std::string::npos) << library.Error();
}

TEST(WindowsModules, TheBuiltModuleLoadsAndExportsItsEntryPoints) {
    vhost::DynamicLibrary library;
    ASSERT_TRUE(library.Open(VELA_WINDOWS_MODULE)) << library.Error();
    EXPECT_NE(library.Symbol("c4d_main"), nullptr);
    EXPECT_NE(library.Symbol("g_maxon"), nullptr);
    EXPECT_NE(library.Symbol("g_CpuYieldDelegate"), nullptr);
    EXPECT_EQ(library.Symbol("operator new"), nullptr);
}

TEST(WindowsBitmaps, TheIconDecodesThroughTheImagingComponent) {
    vhost::Bitmap bitmap;
    std::vector<std::string> messages;
    ASSERT_EQ(bitmap.LoadTiff(VELA_ICON_FILE, -1, &messages), vhost::Bitmap::kOk)
        << ::testing::PrintToString(messages);
    vhost::testing_support::ExpectTheVelaIcon(bitmap);

    vhost::Bitmap second;
    EXPECT_EQ(second.LoadTiff(VELA_ICON_FILE, 1), vhost::Bitmap::kNotExisting);
    EXPECT_EQ(second.Width(), 0);
}

TEST(WindowsBitmaps, FilesThatAreNotTiffOrNotThereAreRefused) {
    Folder folder;
    const fs::path text = folder / "Bild ü.tif";
    ASSERT_EQ(vhost::WriteFileAtomically(text, "not an image"), "");
    vhost::Bitmap bitmap;
    EXPECT_EQ(bitmap.LoadTiff(Utf8FromPath(text), -1), vhost::Bitmap::kWrongType);
    EXPECT_EQ(bitmap.LoadTiff(Utf8FromPath(folder / "none.tif"), -1), vhost::Bitmap::kNotExisting);
    EXPECT_EQ(bitmap.Width(), 0);
}

}  // namespace
