// The resource loader: the plug-in's own res/ folder, the fallback between languages, what each
// file format accepts, and the message a user sees for each kind of broken file.
#include "resources/resource_loader.h"

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;

// A small valid resource in memory; cases replace or add single files.
std::vector<ResourceFile> ValidFiles() {
    return {
        {"c4d_symbols.h", "enum { IDS_TITLE = 20000, IDS_ONLY_ENGLISH, IDS_ONLY_GERMAN };\n"},
        {"description/Ptest.h", "enum { Ptest = 1026377, TEST_FLAG = 1000, TEST_GO = 1001 };\n"},
        {"description/Ptest.res",
         "CONTAINER Ptest\n{\n\tNAME Ptest;\n\tGROUP\n\t{\n\t\tBOOL TEST_FLAG { }\n"
         "\t\tBUTTON TEST_GO { }\n\t}\n}\n"},
        {"strings_en-US/c4d_strings.str",
         "STRINGTABLE\n{\n\tIDS_TITLE \"Title\";\n\tIDS_ONLY_ENGLISH \"English only\";\n}\n"},
        {"strings_de-DE/c4d_strings.str",
         "STRINGTABLE\n{\n\tIDS_TITLE \"Titel\";\n\tIDS_ONLY_GERMAN \"Nur Deutsch\";\n}\n"},
        {"strings_en-US/description/Ptest.str",
         "STRINGTABLE Ptest\n{\n\tPtest \"Test\";\n\tTEST_FLAG \"Flag\";\n\tTEST_GO \"Go\";\n}\n"},
        {"strings_de-DE/description/Ptest.str",
         "STRINGTABLE Ptest\n{\n\tTEST_FLAG \"Schalter\";\n}\n"},
    };
}

std::vector<ResourceFile> With(std::vector<ResourceFile> files, const std::string& path,
                               const std::string& text) {
    for (ResourceFile& file : files) {
        if (file.path == path) {
            file.text = text;
            return files;
        }
    }
    files.push_back({path, text});
    return files;
}

std::vector<std::string> Texts(const std::vector<ResourceError>& errors) {
    std::vector<std::string> texts;
    for (const ResourceError& error : errors) texts.push_back(error.Text());
    return texts;
}

// Loads the valid resource with one file replaced; answers the messages.
std::vector<std::string> ErrorsWith(const std::string& path, const std::string& text) {
    ResourceLoad load = LoadResourceFromFiles("res", With(ValidFiles(), path, text));
    EXPECT_EQ(load.resource.has_value(), load.errors.empty());
    return Texts(load.errors);
}

// A temporary folder holding resource files.
class TemporaryFolder : public testing_support::TempFolder {
public:
    void Write(const std::vector<ResourceFile>& files) const {
        for (const ResourceFile& file : files) {
            const fs::path target = *this / file.path;
            fs::create_directories(target.parent_path());
            testing_support::WriteFile(target, file.text);
        }
    }
    std::string Path() const { return Utf8FromPath(TempFolder::Path()); }
};

// The plug-in's resource
// ---------------------------------------------------------------------------

class PluginResource : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        load_ = new ResourceLoad(LoadResourceFolder(VELA_RESOURCE_DIR));
    }
    static void TearDownTestSuite() {
        delete load_;
        load_ = nullptr;
    }
    static const Resource& Res() { return *load_->resource; }
    static ResourceLoad* load_;
};
ResourceLoad* PluginResource::load_ = nullptr;

TEST_F(PluginResource, LoadsWithoutErrorsAndKnowsItsSymbols) {
    ASSERT_TRUE(load_->resource.has_value()) << ::testing::PrintToString(Texts(load_->errors));
    EXPECT_EQ(Res().FindSymbol("IDS_VELAPREFS_TITLE"), 20000);
    EXPECT_EQ(Res().FindSymbol("Prefsvelaprefs"), 1026377);
    EXPECT_EQ(Res().FindSymbol("VELAPREFS_WEBSITE"), 1004);
    EXPECT_TRUE(Res().ignored.empty());
}

TEST_F(PluginResource, PageTitleInBothLanguages) {
    ASSERT_TRUE(load_->resource.has_value());
    ASSERT_EQ(Res().strings.size(), 2u);
    EXPECT_EQ(Res().LoadString(20000, "US"), "Vela Button");
    EXPECT_EQ(Res().LoadString(20000, "DE"), "Vela Button");
    EXPECT_EQ(Res().LoadString(20000, "JP"), "Vela Button");  // unknown language: English
    EXPECT_EQ(Res().LoadString(20001, "US"), "");
}

TEST_F(PluginResource, PreferencesPageHasItsFourParametersInOneGroup) {
    ASSERT_TRUE(load_->resource.has_value());
    const Description* page = Res().FindDescription("Prefsvelaprefs");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->id, 1026377);
    EXPECT_EQ(page->Title("US"), "Vela Button");

    struct Expected {
        std::int32_t id;
        const char* symbol;
        ParameterKind kind;
        const char* english;
        const char* german;
    };
    const Expected expected[] = {
        {1000, "VELAPREFS_ASSIGN_HOTKEY", ParameterKind::Button, "Assign Hotkey...",
         "Tastenkürzel zuweisen..."},
        {1001, "VELAPREFS_KEEP_VISIBILITY", ParameterKind::Bool, "Keep visibility on Ctrl+Alt",
         "Sichtbarkeit bei Strg+Alt beibehalten"},
        {1002, "VELAPREFS_MANUAL", ParameterKind::Button, "Open Manual...", "Handbuch öffnen..."},
        {1004, "VELAPREFS_WEBSITE", ParameterKind::BitmapButton, "Visit the Vela website",
         "Vela-Webseite besuchen"},
    };
    std::vector<const DescriptionParameter*> controls;
    for (const DescriptionParameter& parameter : page->parameters) {
        if (parameter.kind != ParameterKind::Group) controls.push_back(&parameter);
    }
    ASSERT_EQ(controls.size(), std::size(expected));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        SCOPED_TRACE(expected[i].symbol);
        EXPECT_EQ(controls[i]->id, expected[i].id);
        EXPECT_EQ(controls[i]->symbol, expected[i].symbol);
        EXPECT_EQ(controls[i]->kind, expected[i].kind);
        EXPECT_EQ(controls[i]->Label("US"), expected[i].english);
        EXPECT_EQ(controls[i]->Label("DE"), expected[i].german);
        ASSERT_EQ(controls[i]->groupPath.size(), 1u);
        EXPECT_EQ(page->parameters[controls[i]->groupPath[0]].kind, ParameterKind::Group);
        EXPECT_EQ(page->Find(expected[i].id), controls[i]);
    }
    EXPECT_EQ(page->Find(1003), nullptr);
}

// Languages ------------------------------------------------------------------------------------

TEST(ResourceFallback, LanguageThenEnglishThenAnyThenEmpty) {
    ResourceLoad load = LoadResourceFromFiles("res", ValidFiles());
    ASSERT_TRUE(load.resource) << ::testing::PrintToString(Texts(load.errors));
    const Resource& res = *load.resource;
    EXPECT_EQ(res.LoadString(20000, "DE"), "Titel");
    EXPECT_EQ(res.LoadString(20000, "US"), "Title");
    EXPECT_EQ(res.LoadString(20001, "DE"), "English only");
    EXPECT_EQ(res.LoadString(20002, "US"), "Nur Deutsch");
    EXPECT_EQ(res.LoadString(20003, "DE"), "");

    const Description* test = res.FindDescription("Ptest");
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test->Find(1000)->Label("DE"), "Schalter");
    EXPECT_EQ(test->Find(1001)->Label("DE"), "Go");
    EXPECT_EQ(test->Title("DE"), "Test");
}

TEST(ResourceFallback, StringFoldersOfUnknownLanguagesAreSetAside) {
    ResourceLoad load = LoadResourceFromFiles(
        "res", With(ValidFiles(), "strings_fr-FR/c4d_strings.str", "not even a string table"));
    ASSERT_TRUE(load.resource) << ::testing::PrintToString(Texts(load.errors));
    EXPECT_EQ(load.resource->ignored, std::vector<std::string>{"strings_fr-FR"});
    EXPECT_EQ(load.resource->strings.count("FR"), 0u);
}

// What the formats accept
// --------------------------------------------------------------------------

TEST(ResourceFormats, SymbolHeadersCountOnAndAddUp) {
    ResourceLoad load = LoadResourceFromFiles(
        "res", With(ValidFiles(), "c4d_symbols.h",
                    "#ifndef SYMBOLS_H\n#define SYMBOLS_H \\\n  continued\n"
                    "// a comment\nenum Named\n{\n  IDS_TITLE = 20000, /* block\n comment */\n"
                    "  IDS_ONLY_ENGLISH,\n  IDS_ONLY_GERMAN,\n  HEX = 0x10,\n"
                    "  SUM = IDS_TITLE + 10 - 2,\n  NEGATIVE = -5,\n  AFTER_NEGATIVE\n};\n"
                    "enum { SECOND_ENUM, };\n#endif\n"));
    ASSERT_TRUE(load.resource) << ::testing::PrintToString(Texts(load.errors));
    const Resource& res = *load.resource;
    EXPECT_EQ(res.FindSymbol("IDS_ONLY_GERMAN"), 20002);
    EXPECT_EQ(res.FindSymbol("HEX"), 16);
    EXPECT_EQ(res.FindSymbol("SUM"), 20008);
    EXPECT_EQ(res.FindSymbol("NEGATIVE"), -5);
    EXPECT_EQ(res.FindSymbol("AFTER_NEGATIVE"), -4);
    EXPECT_EQ(res.FindSymbol("SECOND_ENUM"), 0);
    EXPECT_EQ(res.FindSymbol("SYMBOLS_H"), std::nullopt);
}

TEST(ResourceFormats, TextsDecodeEscapesAndTolerateBomAndCrlf) {
    ResourceLoad load = LoadResourceFromFiles(
        "res",
        With(ValidFiles(), "strings_de-DE/c4d_strings.str",
             "\xEF\xBB\xBFSTRINGTABLE\r\n{\r\n  20000 \"Gr\\u00FC\\u00dfe \\\"A\\\"\\n\\tB\\\\\";"
             "\r\n  IDS_ONLY_GERMAN \"Stra\xC3\x9F"
             "e\";\r\n}\r\n"));
    ASSERT_TRUE(load.resource) << ::testing::PrintToString(Texts(load.errors));
    EXPECT_EQ(load.resource->LoadString(20000, "DE"), "Grüße \"A\"\n\tB\\");
    EXPECT_EQ(load.resource->LoadString(20002, "DE"), "Straße");
}

TEST(ResourceFormats, DescriptionsKeepGroupsAttributesAndIncludes) {
    std::vector<ResourceFile> files =
        With(ValidFiles(), "description/Ptest.h",
             "enum { Ptest = 1026377, TEST_FLAG = 1000, TEST_GO = 1001, TEST_OUTER = 2000,\n"
             "  TEST_INNER, TEST_COUNT, TEST_SIZE, TEST_NAME, TEST_MODE, MODE_A, MODE_B };\n");
    files = With(files, "description/Ptest.res",
                 "CONTAINER Ptest\n{\n  NAME Ptest;\n  INCLUDE Tbase;\n"
                 "  BOOL TEST_FLAG { }\n"
                 "  GROUP TEST_OUTER\n  {\n    DEFAULT 1; COLUMNS 2;\n"
                 "    GROUP TEST_INNER\n    {\n"
                 "      LONG TEST_COUNT { MIN -1; MAX 10; }\n"
                 "      LONG TEST_MODE { CYCLE { MODE_A; MODE_B; } }\n"
                 "    }\n"
                 "    SEPARATOR { LINE; }\n"
                 "    REAL TEST_SIZE { UNIT METER; STEP 0.5; }\n"
                 "    STRING TEST_NAME { }\n"
                 "    BUTTON 1001 { }\n"
                 "  }\n}\n");
    ResourceLoad load = LoadResourceFromFiles("res", files);
    ASSERT_TRUE(load.resource) << ::testing::PrintToString(Texts(load.errors));
    const Description& test = *load.resource->FindDescription("Ptest");
    EXPECT_EQ(test.nameSymbol, "Ptest");
    EXPECT_EQ(test.includes, std::vector<std::string>{"Tbase"});

    std::vector<std::string> summary;
    for (const DescriptionParameter& p : test.parameters) {
        std::string line =
            std::string(KindKeyword(p.kind)) + " " + p.symbol + " " + std::to_string(p.id) + " in";
        for (std::size_t group : p.groupPath) line += " " + test.parameters[group].symbol;
        for (const DescriptionAttribute& a : p.attributes)
            line += " [" + a.key + "=" + a.value + "]";
        summary.push_back(line);
    }
    EXPECT_EQ(summary,
              (std::vector<std::string>{
                  "BOOL TEST_FLAG 1000 in",
                  "GROUP TEST_OUTER 2000 in [DEFAULT=1] [COLUMNS=2]",
                  "GROUP TEST_INNER 2001 in TEST_OUTER",
                  "LONG TEST_COUNT 2002 in TEST_OUTER TEST_INNER [MIN=-1] [MAX=10]",
                  "LONG TEST_MODE 2005 in TEST_OUTER TEST_INNER [CYCLE={ MODE_A; MODE_B; }]",
                  "SEPARATOR  0 in TEST_OUTER [LINE=]",
                  "REAL TEST_SIZE 2003 in TEST_OUTER [UNIT=METER] [STEP=0.5]",
                  "STRING TEST_NAME 2004 in TEST_OUTER",
                  "BUTTON 1001 1001 in TEST_OUTER",
              }));
}

// Broken files: one message each, naming file, line, column and what was expected -----------------

TEST(ResourceErrors, EachBrokenFileGetsAnExactMessage) {
    struct Case {
        const char* path;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        // String tables.
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n\tIDS_TITLE \"Titel\"\n}\n",
         "res/strings_de-DE/c4d_strings.str:4:1: expected ';' after the text of IDS_TITLE"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE \"Titel;\n}\n",
         "res/strings_de-DE/c4d_strings.str:3:20: expected '\"' to close the text"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE Titel;\n}\n",
         "res/strings_de-DE/c4d_strings.str:3:13: expected the text of IDS_TITLE"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TILTE \"Titel\";\n}\n",
         "res/strings_de-DE/c4d_strings.str:3:3: unknown symbol IDS_TILTE"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE \"a\";\n  20000 \"b\";\n}\n",
         "res/strings_de-DE/c4d_strings.str:4:3: 20000 has a text already (line 3)"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE \"\\q\";\n}\n",
         "res/strings_de-DE/c4d_strings.str:3:14: unknown escape in the text (expected \\\" \\\\ "
         "\\' \\n \\t \\r or \\uXXXX)"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE \"T\xC3\";\n}\n",
         "res/strings_de-DE/c4d_strings.str:3:15: the text is not valid UTF-8"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE \"T\";\n}\n}\n",
         "res/strings_de-DE/c4d_strings.str:5:1: expected the end of the file after the string "
         "table"},
        {"strings_de-DE/c4d_strings.str", "STRINGTABLE Ptest\n{\n}\n",
         "res/strings_de-DE/c4d_strings.str:1:13: expected '{' after 'STRINGTABLE'"},
        {"strings_de-DE/c4d_strings.str", "/* unclosed\nSTRINGTABLE { }\n",
         "res/strings_de-DE/c4d_strings.str:1:1: expected '*/' to close the comment"},
        {"strings_de-DE/description/Ptest.str", "STRINGTABLE\n{\n}\n",
         "res/strings_de-DE/description/Ptest.str:2:1: expected the description's name after "
         "'STRINGTABLE'"},
        {"strings_de-DE/description/Pother.str", "STRINGTABLE Pother { }\n",
         "res/strings_de-DE/description/Pother.str:1:13: there is no description Pother for this "
         "string table (expected description/Pother.res)"},
        // Symbol headers.
        {"c4d_symbols.h", "enum\n{\n  IDS_TITLE = 20000\n  IDS_ONLY_ENGLISH\n};\n",
         "res/c4d_symbols.h:4:3: expected ',' or '}' after IDS_TITLE"},
        {"c4d_symbols.h", "enum { IDS_TITLE = , };\n",
         "res/c4d_symbols.h:1:20: expected a number or a symbol for the value of IDS_TITLE"},
        {"c4d_symbols.h", "enum { IDS_TITLE = 2147483648 };\n",
         "res/c4d_symbols.h:1:8: the value of IDS_TITLE does not fit in 32 bits"},
        {"c4d_symbols.h", "enum { IDS_TITLE = IDS_BASE + 1 };\n",
         "res/c4d_symbols.h:1:20: unknown symbol IDS_BASE in the value of IDS_TITLE"},
        {"c4d_symbols.h", "struct X { int a; };\n", "res/c4d_symbols.h:1:1: expected 'enum'"},
        {"description/Ptest.h",
         "enum { Ptest = 1026377, TEST_FLAG = 1000, TEST_GO = 1001, "
         "IDS_TITLE = 5 };\n",
         "res/description/Ptest.h:1:59: IDS_TITLE is defined again with another value (it is "
         "20000 from res/c4d_symbols.h:1)"},
        // Descriptions.
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  GROUP\n  {\n    BOOL TEST_FLAG { }\n",
         "res/description/Ptest.res:6:1: expected '}' to close GROUP (opened at line 4)"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  VECTOR TEST_FLAG { }\n}\n",
         "res/description/Ptest.res:3:3: unknown parameter kind 'VECTOR' (expected BOOL, LONG, "
         "REAL, STRING, BUTTON, BITMAPBUTTON, SEPARATOR or GROUP)"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  BUTTON { }\n}\n",
         "res/description/Ptest.res:3:10: expected the id of the BUTTON"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  BOOL TEST_FLAG { ANIM OFF }\n}\n",
         "res/description/Ptest.res:3:29: expected ';' after ANIM"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  BOOL TEST_FLAG;\n}\n",
         "res/description/Ptest.res:3:17: expected '{' after BOOL TEST_FLAG"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  NAME Ptest\n}\n",
         "res/description/Ptest.res:4:1: expected ';' after NAME Ptest"},
        {"description/Ptest.res",
         "CONTAINER Ptest\n{\n  BOOL TEST_FLAG { }\n  BUTTON TEST_FLAG { }\n}\n",
         "res/description/Ptest.res:4:10: TEST_FLAG appears twice in Ptest (first at line 3)"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  BOOL TEST_FLGA { }\n}\n",
         "res/description/Ptest.res:3:8: unknown symbol TEST_FLGA"},
        {"description/Ptest.res", "CONTAINER Ptest { } }\n",
         "res/description/Ptest.res:1:21: expected the end of the file after CONTAINER Ptest"},
        {"description/Ptest.res", "DESCRIPTION Ptest { }\n",
         "res/description/Ptest.res:1:1: expected 'CONTAINER'"},
        {"description/Ptest.res", "CONTAINER Ptest\n{\n  BOOL TEST_FLAG { } @\n}\n",
         "res/description/Ptest.res:3:22: expected NAME, INCLUDE, a parameter or '}' in "
         "CONTAINER Ptest"},
        {"description/Ptest.res", "CONTAINER Ptest { \x01 }\n",
         "res/description/Ptest.res:1:19: unexpected byte 0x01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ErrorsWith(c.path, c.text), std::vector<std::string>{c.message});
    }
}

TEST(ResourceErrors, NestingIsCappedAtSixtyFourLevels) {
    auto nested = [](int groups) {
        std::string text = "CONTAINER Ptest {";
        for (int i = 0; i < groups; ++i) text += " GROUP {";
        for (int i = 0; i < groups; ++i) text += " }";
        return text + " }\n";
    };
    // The container's own braces are the first level.
    EXPECT_EQ(ErrorsWith("description/Ptest.res", nested(63)), std::vector<std::string>{});
    EXPECT_EQ(ErrorsWith("description/Ptest.res", nested(64)),
              std::vector<std::string>{
                  "res/description/Ptest.res:1:529: braces nest deeper than 64 levels"});
    // Blocks inside a parameter's braces count as well, and a flood of them stops at the cap.
    std::string flood = "CONTAINER Ptest { BOOL TEST_FLAG {";
    for (int i = 0; i < 100000; ++i) flood += " A {";
    std::vector<std::string> errors = ErrorsWith("description/Ptest.res", flood);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "res/description/Ptest.res:1:286: braces nest deeper than 64 levels");
}

// Every file is read, so one pass shows all that is broken; but where a symbol header is missing
// or broken, the symbols other files could not find are not listed one by one.
TEST(ResourceErrors, OnePassListsTheProblemsOfEveryFile) {
    std::vector<ResourceFile> files = ValidFiles();
    files = With(files, "strings_en-US/c4d_strings.str", "STRINGTABLE { IDS_TITLE \"a\" }");
    files = With(files, "description/Ptest.res", "CONTAINER Ptest { BOOL TEST_FLAG }");
    files.erase(files.begin());  // c4d_symbols.h
    ResourceLoad load = LoadResourceFromFiles("res/", files);
    EXPECT_FALSE(load.resource.has_value());
    EXPECT_EQ(Texts(load.errors),
              (std::vector<std::string>{
                  "res/c4d_symbols.h: missing: every resource needs its symbol header",
                  "res/description/Ptest.res:1:34: expected '{' after BOOL TEST_FLAG",
                  "res/strings_en-US/c4d_strings.str:1:29: expected ';' after the text of "
                  "IDS_TITLE",
              }));
}

TEST(ResourceErrors, ErrorsOfOneFileStopAtALimit) {
    std::string text = "STRINGTABLE {";
    for (int i = 0; i < 100; ++i) text += " NO_SUCH \"x\";";
    std::vector<std::string> errors = ErrorsWith("strings_en-US/c4d_strings.str", text);
    ASSERT_EQ(errors.size(), 21u);
    EXPECT_EQ(errors.back(),
              "res/strings_en-US/c4d_strings.str:1:275: too many errors; the rest of this file is "
              "not checked");
}

TEST(ResourceErrors, OversizedFilesAreNotRead) {
    std::string big(kMaxResourceFileSize + 1, ' ');
    EXPECT_EQ(ErrorsWith("strings_en-US/c4d_strings.str", big),
              std::vector<std::string>{
                  "res/strings_en-US/c4d_strings.str: larger than 1 MiB; a resource file this "
                  "large is not read"});
}

// Arbitrary bytes never crash a reader, and every answer is a resource or errors with positions.
TEST(ResourceErrors, MutatedResourcesAnswerAResourceOrErrors) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::vector<std::string> pieces = {"{",    "}",  ";",    "\"", "\\u",
                                             "/*",   "\n", "#",    "=",  "GROUP",
                                             "enum", "-",  "\xFF", "0x", "99999999999"};
    std::size_t loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<ResourceFile> files = ValidFiles();
        for (int change = 0; change < 3; ++change) {
            std::string& text = files[random() % files.size()].text;
            std::size_t at = random() % (text.size() + 1);
            switch (random() % 3) {
                case 0:
                    text.insert(at, pieces[random() % pieces.size()]);
                    break;
                case 1:
                    text.erase(at, random() % 6);
                    break;
                default:
                    if (at < text.size()) text[at] = static_cast<char>(random() % 256);
            }
        }
        ResourceLoad load = LoadResourceFromFiles("res", files);
        ASSERT_NE(load.resource.has_value(), !load.errors.empty());
        if (load.resource) ++loaded;
        for (const ResourceError& error : load.errors) {
            ASSERT_FALSE(error.message.empty());
            ASSERT_GE(error.line, 0);
            ASSERT_EQ(error.line == 0, error.column == 0) << error.Text();
        }
    }
    EXPECT_LT(loaded, 3000u);  // the mutations did break files
}

// Folders on disk ------------------------------------------------------------------------------

TEST(ResourceFolders, MissingFolderOrAFileInsteadIsOneError) {
    TemporaryFolder temp;
    std::string missing = temp.Path() + "/res";
    ResourceLoad load = LoadResourceFolder(missing);
    EXPECT_FALSE(load.resource.has_value());
    EXPECT_EQ(Texts(load.errors), std::vector<std::string>{missing + ": no such folder"});

    temp.Write({{"res", "a file"}});
    EXPECT_EQ(Texts(LoadResourceFolder(missing).errors),
              std::vector<std::string>{missing + ": not a folder"});
}

TEST(ResourceFolders, AFolderReadsLikeTheSameFilesInMemory) {
    TemporaryFolder temp;
    std::vector<ResourceFile> files = ValidFiles();
    files.push_back({"vela_icon.tif", "not a resource part"});
    files.push_back({"description/readme.txt", "neither"});
    temp.Write(files);
    ResourceLoad load = LoadResourceFolder(temp.Path());
    ASSERT_TRUE(load.resource) << ::testing::PrintToString(Texts(load.errors));
    EXPECT_EQ(load.resource->folder, temp.Path());
    EXPECT_EQ(load.resource->LoadString(20000, "DE"), "Titel");
    EXPECT_EQ(load.resource->FindDescription("Ptest")->Find(1000)->Label("US"), "Flag");

    temp.Write({{"strings_de-DE/c4d_strings.str", "STRINGTABLE\n{\n  IDS_TITLE \"Titel\"\n}\n"}});
    EXPECT_EQ(Texts(LoadResourceFolder(temp.Path()).errors),
              std::vector<std::string>{temp.Path() +
                                       "/strings_de-DE/c4d_strings.str:4:1: expected ';' after "
                                       "the text of IDS_TITLE"});
}

}  // namespace
}  // namespace vhost
