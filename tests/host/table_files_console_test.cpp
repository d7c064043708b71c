// The file and console areas: path rules, folders, languages, handing files and addresses to the
// system, and console lines with where they came from.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host.h"

namespace vhost {
namespace {

HostStringView View(const char* text) { return {text, std::strlen(text)}; }

using PathFunction = std::size_t (*)(const HostTable*, HostStringView, char*, std::size_t);

class TableFiles : public ::testing::Test {
protected:
    std::string Call(PathFunction function, const char* path) {
        std::string text(function(t, View(path), nullptr, 0), '\0');
        function(t, View(path), text.data(), text.size());
        return text;
    }
    std::string Join(const char* folder, const char* name) {
        std::string text(f->path_join(t, View(folder), View(name), nullptr, 0), '\0');
        f->path_join(t, View(folder), View(name), text.data(), text.size());
        return text;
    }

    Host host;
    const HostTable* t = host.Table();
    const HostFileArea* f = t->files;
};

TEST_F(TableFiles, PathsSplitAndJoinAtTheSeparator) {
    EXPECT_EQ(Join("/plugins/vela", "ManualEN.pdf"), "/plugins/vela/ManualEN.pdf");
    EXPECT_EQ(Join("/plugins/vela/", "res"), "/plugins/vela/res");
    EXPECT_EQ(Join("", "res"), "res");

    EXPECT_EQ(Call(f->path_directory, "/plugins/vela/vela2023.xdl64"), "/plugins/vela");
    EXPECT_EQ(Call(f->path_directory, "vela2023.xdl64"), "");
    EXPECT_EQ(Call(f->path_directory, "/vela2023.xdl64"), "/");
    EXPECT_EQ(Call(f->path_file_name, "/plugins/vela/vela2023.xdl64"), "vela2023.xdl64");
    EXPECT_EQ(Call(f->path_file_name, "vela2023.xdl64"), "vela2023.xdl64");

    EXPECT_EQ(Call(f->path_strip_extension, "/plugins/vela/vela2023.xdl64"),
              "/plugins/vela/vela2023");
    EXPECT_EQ(Call(f->path_strip_extension, "/plugins/v.1/manual"), "/plugins/v.1/manual");
    EXPECT_EQ(Call(f->path_strip_extension, "/home/.config"), "/home/.config");
    EXPECT_EQ(Call(f->path_strip_extension, "archive.tar.gz"), "archive.tar");

    EXPECT_EQ(f->path_compare(t, View("/a/b"), View("/a/b")), 0);
    EXPECT_NE(f->path_compare(t, View("/a/B"), View("/a/b")), 0);  // names are case-sensitive here
}

TEST_F(TableFiles, FoldersLanguagesAndComparison) {
    host.SetFolder(HOST_FOLDER_STARTUP, "/opt/app");
    char folder[64] = {};
    std::size_t size = f->get_folder(t, HOST_FOLDER_STARTUP, folder, sizeof folder);
    EXPECT_EQ(std::string(folder, size), "/opt/app");
    EXPECT_GT(f->get_folder(t, HOST_FOLDER_CORE_MODULES, nullptr, 0), 0U);
    EXPECT_EQ(f->get_folder(t, 77, nullptr, 0), 0U);

    // The host's languages in their order, the configured default flagged.
    host.Configure(vhost::HostSettings{"", {{"US", "English", false}, {"DE", "German", true}}});
    HostLanguage language{};
    ASSERT_TRUE(f->get_language(t, 0, &language));
    EXPECT_STREQ(language.code, "US");
    EXPECT_STREQ(language.name, "English");
    EXPECT_FALSE(language.is_default);
    ASSERT_TRUE(f->get_language(t, 1, &language));
    EXPECT_STREQ(language.code, "DE");
    EXPECT_TRUE(language.is_default);
    EXPECT_FALSE(f->get_language(t, 2, &language));
    EXPECT_FALSE(f->get_language(t, -1, &language));

    EXPECT_EQ(f->string_compare(t, View("abc"), View("abc")), 0);
    EXPECT_LT(f->string_compare(t, View("ab"), View("abc")), 0);
    EXPECT_GT(f->string_compare(t, View("b"), View("abc")), 0);
    EXPECT_GT(f->string_compare(t, View("\xc3\xa4"), View("z")), 0);  // bytes, not locale
}

TEST_F(TableFiles, OpenedFilesAndAddressesAreRecorded) {
    EXPECT_TRUE(f->open_file(t, View("/plugins/vela/ManualEN.pdf")));
    EXPECT_TRUE(f->open_web_address(t, View("https://example.org/vela")));
    EXPECT_EQ(host.OpenedFiles(), std::vector<std::string>{"/plugins/vela/ManualEN.pdf"});
    EXPECT_EQ(host.OpenedWebAddresses(), std::vector<std::string>{"https://example.org/vela"});
}

TEST(TableConsole, OnlyTheDefaultLoggerExistsAndKeepsEveryField) {
    Host host;
    const HostTable* t = host.Table();
    const HostConsoleArea* console = t->console;
    EXPECT_EQ(console->find_logger(t, View("net.example.other")), nullptr);
    HostLogger* logger = console->find_logger(t, View(HOST_LOGGER_DEFAULT));
    ASSERT_NE(logger, nullptr);

    console->write(t, logger, HOST_TARGETAUDIENCE_ALL, View("25.4. 1:53"), HOST_WRITEMETA_DEFAULT,
                   View("..\\source\\vela2023"), 255);
    console->write(t, nullptr, HOST_TARGETAUDIENCE_ALL, View("lost"), 0, View("f"), 1);
    ASSERT_EQ(host.Console().size(), 1U);
    const ConsoleLine& line = host.Console().front();
    EXPECT_EQ(line.logger, HOST_LOGGER_DEFAULT);
    EXPECT_EQ(line.audience, HOST_TARGETAUDIENCE_ALL);
    EXPECT_EQ(line.flags, HOST_WRITEMETA_DEFAULT);
    EXPECT_EQ(line.text, "25.4. 1:53");
    EXPECT_EQ(line.file, "..\\source\\vela2023");
    EXPECT_EQ(line.line, 255);
}

}  // namespace
}  // namespace vhost
