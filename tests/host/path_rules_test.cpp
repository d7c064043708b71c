// Path spelling by the rules of each system. The host uses its own system's rules; both sets are
// checked here, whatever system the tests run on.
#include "platform/path_rules.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/utf8_path.h"

namespace {

using vhost::paths::Style;
namespace paths = vhost::paths;

TEST(PathRules, PosixJoinsWithSlashAndKeepsItsRoot) {
    EXPECT_EQ(paths::Join("/opt/app", "res", Style::Posix), "/opt/app/res");
    EXPECT_EQ(paths::Join("/opt/app/", "res", Style::Posix), "/opt/app/res");
    EXPECT_EQ(paths::Join("", "res", Style::Posix), "res");
    EXPECT_EQ(paths::Join("C:", "res", Style::Posix), "C:/res");
    EXPECT_EQ(paths::Directory("/opt/app/vela.xdl64", Style::Posix), "/opt/app");
    EXPECT_EQ(paths::Directory("/vela.xdl64", Style::Posix), "/");
    EXPECT_EQ(paths::Directory("/", Style::Posix), "/");
    EXPECT_EQ(paths::Directory("vela.xdl64", Style::Posix), "");
    EXPECT_EQ(paths::Directory("a\\b", Style::Posix), "");  // a backslash is part of a name
    EXPECT_EQ(paths::FileName("/opt/app/vela.xdl64", Style::Posix), "vela.xdl64");
    EXPECT_EQ(paths::FileName("a\\b", Style::Posix), "a\\b");
}

TEST(PathRules, WindowsTakesBothSeparatorsAndJoinsWithBackslash) {
    EXPECT_EQ(paths::Join("C:\\Program Files\\Host", "res", Style::Windows),
              "C:\\Program Files\\Host\\res");
    EXPECT_EQ(paths::Join("C:/Host/", "res", Style::Windows), "C:/Host/res");
    EXPECT_EQ(paths::Join("C:\\", "res", Style::Windows), "C:\\res");
    // "C:res" is relative to the drive's current folder; no separator is put in.
    EXPECT_EQ(paths::Join("C:", "res", Style::Windows), "C:res");
    EXPECT_EQ(paths::Directory("C:\\Host\\plugins/vela2023.xdl64", Style::Windows),
              "C:\\Host\\plugins");
    EXPECT_EQ(paths::FileName("C:\\Host\\plugins/vela2023.xdl64", Style::Windows),
              "vela2023.xdl64");
    EXPECT_EQ(paths::FileName("C:vela2023.xdl64", Style::Windows), "vela2023.xdl64");
}

TEST(PathRules, WindowsRootsStayRoots) {
    EXPECT_EQ(paths::Directory("C:\\vela.xdl64", Style::Windows), "C:\\");
    EXPECT_EQ(paths::Directory("C:\\", Style::Windows), "C:\\");
    EXPECT_EQ(paths::Directory("C:vela.xdl64", Style::Windows), "C:");
    EXPECT_EQ(paths::Directory("\\vela.xdl64", Style::Windows), "\\");
    EXPECT_EQ(paths::Directory("\\\\server\\share\\vela.xdl64", Style::Windows),
              "\\\\server\\share\\");
    EXPECT_EQ(paths::Directory("\\\\server\\share\\plugins\\vela.xdl64", Style::Windows),
              "\\\\server\\share\\plugins");
}

TEST(PathRules, ExtensionsBelongToTheLastNameOnly) {
    for (const Style style : {Style::Posix, Style::Windows}) {
        EXPECT_EQ(paths::StripExtension("/a.b/vela2023.xdl64", style), "/a.b/vela2023");
        EXPECT_EQ(paths::StripExtension("/a.b/vela2023", style), "/a.b/vela2023");
        EXPECT_EQ(paths::StripExtension("/a/.config", style), "/a/.config");
        EXPECT_EQ(paths::StripExtension("archive.tar.gz", style), "archive.tar");
    }
    EXPECT_EQ(paths::StripExtension("C:\\a.b\\vela2023.xdl64", Style::Windows),
              "C:\\a.b\\vela2023");
    EXPECT_EQ(paths::StripExtension("C:\\a.b\\vela2023", Style::Windows), "C:\\a.b\\vela2023");
}

TEST(PathRules, WindowsNamesCompareWithoutLetterCaseOrSeparatorSpelling) {
    EXPECT_EQ(paths::Compare("C:\\Host\\CoreLibs", "c:/host/corelibs", Style::Windows), 0);
    EXPECT_LT(paths::Compare("C:\\Host\\a", "C:\\Host\\B", Style::Windows), 0);
    EXPECT_GT(paths::Compare("C:\\Host\\corelibs2", "C:\\Host\\corelibs", Style::Windows), 0);
    EXPECT_NE(paths::Compare("C:\\Host\\corelibs", "C:\\Host\\plugins", Style::Windows), 0);

    EXPECT_NE(paths::Compare("/opt/Host", "/opt/host", Style::Posix), 0);
    EXPECT_NE(paths::Compare("/opt/host", "\\opt\\host", Style::Posix), 0);
    EXPECT_EQ(paths::Compare("/opt/host", "/opt/host", Style::Posix), 0);
    EXPECT_LT(paths::Compare("/opt/a", "/opt/b", Style::Posix), 0);
}

TEST(Utf8Paths, NamesThatAreNotAsciiSurviveTheRoundTrip) {
    for (const std::string name : {"Szène — 日本.json", "Ölfass ☀", "plain.json", ""}) {
        EXPECT_EQ(vhost::Utf8FromPath(vhost::PathFromUtf8(name)), name);
    }
    EXPECT_EQ(vhost::Utf8FromPath(vhost::PathFromUtf8("Übung/Szène.vela").filename()),
              "Szène.vela");
}

}  // namespace
