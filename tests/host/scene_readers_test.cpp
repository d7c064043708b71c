// The two scene readers against each other: the direct reader takes the files the host writes, and
// whatever it takes, the checking reader takes too and reads into the same scene.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "scene_file/direct_reader.h"
#include "scene_file/scene_file.h"
#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using scene_file::ReadSceneChecked;
using scene_file::ReadSceneDirectly;
using testing_support::ReadFile;

std::string Written(const Document& document) {
    SceneTextResult text = SerializeScene(document);
    EXPECT_TRUE(text.Ok()) << text.error;
    return text.text;
}

// Whether the direct reader took `text`; when it did, the checking reader must agree.
bool TakenDirectlyAndAgreed(std::string_view text) {
    std::unique_ptr<Document> direct = ReadSceneDirectly(text);
    if (direct == nullptr) return false;
    SceneLoadResult checked = ReadSceneChecked(text, "input.json");
    EXPECT_TRUE(checked.Ok()) << "the direct reader took a file the checking reader refuses: "
                              << checked.error << "\n"
                              << text;
    if (checked.Ok()) {
        EXPECT_EQ(Written(*direct), Written(*checked.document)) << text;
    }
    return true;
}

std::vector<std::string> Seeds() {
    std::vector<std::string> seeds;
    for (const fs::path& file : {fs::path(VELA_SCENE_CORPUS_DIR) / "small.json",
                                 fs::path(VELA_SCENE_CORPUS_DIR) / "values.json",
                                 fs::path(VELA_EXAMPLE_SCENES_DIR) / "studio.json"}) {
        seeds.push_back(ReadFile(file));
    }
    return seeds;
}

TEST(SceneReaders, TheDirectReaderTakesWhatTheHostWritesAndReadsItAsTheCheckingReaderDoes) {
    for (const fs::path& file : {fs::path(VELA_EXAMPLE_SCENES_DIR) / "studio.json",
                                 fs::path(VELA_EXAMPLE_SCENES_DIR) / "city.json",
                                 fs::path(VELA_SCENE_CORPUS_DIR) / "values.json"}) {
        SceneLoadResult checked = ReadSceneChecked(ReadFile(file), file.string());
        ASSERT_TRUE(checked.Ok()) << checked.error;
        EXPECT_TRUE(TakenDirectlyAndAgreed(Written(*checked.document))) << file;
    }
}

// Objects straddle the window many times over; an object larger than half the window makes the
// reader give up rather than read a part of it.
TEST(SceneReaders, ReadingThroughAWindowReadsTheSameSceneAsReadingTheWholeText) {
    SceneLoadResult city =
        ReadSceneChecked(ReadFile(fs::path(VELA_EXAMPLE_SCENES_DIR) / "city.json"), "city.json");
    ASSERT_TRUE(city.Ok()) << city.error;
    const std::string text = Written(*city.document);
    std::istringstream stream(text);
    std::unique_ptr<Document> windowed = ReadSceneDirectly(stream, 4096);
    ASSERT_NE(windowed, nullptr);
    EXPECT_EQ(Written(*windowed), text);
    std::istringstream again(text);
    EXPECT_EQ(ReadSceneDirectly(again, 64), nullptr);
}

// Every byte of each seed deleted, and replaced by characters that change a value, break the
// syntax or leave the plain form: the direct reader gives up on what it is not sure of, and
// never takes a file the checking reader refuses or reads differently.
TEST(SceneReaders, OnDamagedAndEditedFilesTheDirectReaderNeverDisagreesWithTheCheckingReader) {
    constexpr std::string_view kReplacements = "0 9-.e\"\\,}]\x80n";
    std::size_t taken = 0;
    std::size_t tried = 0;
    for (const std::string& seed : Seeds()) {
        for (std::size_t at = 0; at < seed.size(); ++at) {
            std::string deleted = seed;
            deleted.erase(at, 1);
            taken += TakenDirectlyAndAgreed(deleted) ? 1U : 0U;
            for (char replacement : kReplacements) {
                if (seed[at] == replacement) continue;
                std::string edited = seed;
                edited[at] = replacement;
                taken += TakenDirectlyAndAgreed(edited) ? 1U : 0U;
                ++tried;
            }
            if (testing::Test::HasFailure()) return;
        }
    }
    // Edits inside values and layout keep many files readable; those must have been compared.
    EXPECT_GT(taken, tried / 20);
}

// A value's type is a plain word in quotes: a space inside the quotes makes another type, which
// the checking reader refuses, so the direct reader must not take the file either.
TEST(SceneReaders, AValueTypeWithASpaceInsideItsQuotesIsTakenByNeitherReader) {
    std::size_t tried = 0;
    for (const std::string& seed : Seeds()) {
        for (std::string_view type :
             {"int32", "int64", "float", "string", "link", "container", "custom", "none"}) {
            const std::size_t at = seed.find("\"" + std::string(type) + "\":");
            if (at == std::string::npos) continue;
            std::string edited = seed;
            edited.insert(at + 1 + type.size(), " ");
            EXPECT_EQ(ReadSceneDirectly(edited), nullptr) << type;
            EXPECT_FALSE(ReadSceneChecked(edited, "input.json").Ok()) << type;
            ++tried;
        }
    }
    EXPECT_GE(tried, 6U);
}

}  // namespace
}  // namespace vhost
