// Long work called off half-way: an import (its reader's child killed), an open and a save. A
// cancel leaves the host's documents and the files on disk as they were.
//
// The work is called off by its display at the first moment it shows progress, which comes a
// tenth of a second into the work; the files are large enough to take several times that (the
// town a second, the scene of 10^6 objects a third of a second to open and to save).
#include "progress/progress.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "actions/perform.h"
#include "host.h"
#include "model/geometry.h"
#include "node_gltf.h"
#include "scene_file/mesh_companion.h"
#include "scene_file/scene_file.h"
#include "support/temp_folder.h"

namespace vhost {
namespace {

using actions::OpenDocument;
using actions::Perform;
using actions::Refusal;
using actions::SaveDocument;
using scene_file::MeshFilePath;
using testing_support::ReadFile;
using testing_support::TempFolder;

// Cancels the work the first time it is shown, and keeps what it was shown.
class CancelAtFirstSight : public ProgressDisplay {
public:
    void Show(const ProgressState& state) override {
        shown.push_back(state);
        if (progress != nullptr) progress->Cancel();
    }
    void End() override { ++ends; }

    Progress* progress = nullptr;
    std::vector<ProgressState> shown;
    int ends = 0;
};

// A document of `count` objects, each with a mesh part of its own every hundredth, so that it is
// saved with a mesh file.
std::unique_ptr<Document> LargeDocument(std::size_t count) {
    auto document = std::make_unique<Document>("Large");
    auto mesh = std::make_shared<Mesh>();
    auto part = std::make_shared<MeshPart>();
    part->name = "triangle";
    part->positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    part->triangles = {{0, 1, 2}};
    mesh->parts.push_back(part);
    Object* group = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 1000 == 0) {
            group = document->CreateObject(HOST_OBJECT_NULL, "Group " + std::to_string(i));
            continue;
        }
        Object* object = document->CreateObject(HOST_OBJECT_POLYGON, "Object " + std::to_string(i),
                                                {group, nullptr});
        if (i % 100 == 0) object->SetMesh(mesh);
    }
    return document;
}

// No child of this process is left, running or unreaped.
bool NoChildLeft() { return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

// The host's documents as a person tells them apart: names, object counts, which is active.
std::string DocumentsOf(Host& host) {
    std::string text;
    for (const auto& document : host.Documents()) {
        text += document->Name() + ":" + std::to_string(document->ObjectCount()) +
                (document.get() == &host.ActiveDocument() ? "*" : "") + " ";
    }
    return text;
}

class CancelledWork : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<TempFolder>("vela-progress");
        std::ofstream town(Folder() / "town.gltf");
        vtools::WriteNodeGltf(town, kTownNodes);
        const SceneSaveResult saved =
            SaveScene(*LargeDocument(kSceneObjects), Folder() / "large.json");
        ASSERT_TRUE(saved.Ok()) << saved.error;
    }
    static void TearDownTestSuite() { folder_.reset(); }
    static std::filesystem::path Folder() { return folder_->Path(); }

    static constexpr std::size_t kTownNodes = 100000;
    static constexpr std::size_t kSceneObjects = 1000000;
    static std::unique_ptr<TempFolder> folder_;
};

std::unique_ptr<TempFolder> CancelledWork::folder_;

// An import cancelled while the child reads kills the child; an open cancelled while the scene
// file is read makes no document. Either way the host keeps its documents as they were, with the
// one that was active, and its console says nothing of the file.
TEST_F(CancelledWork, AnImportOrAnOpenCalledOffChangesNothing) {
    for (const char* file : {"town.gltf", "large.json"}) {
        SCOPED_TRACE(file);
        Host host;
        host.NewDocument("Kept");
        host.ActiveDocument().CreateObject(HOST_OBJECT_NULL, "Mine");
        const std::string before = DocumentsOf(host);
        const std::size_t consoleBefore = host.Console().size();

        CancelAtFirstSight display;
        Progress progress(&display);
        display.progress = &progress;
        const actions::Outcome opened =
            Perform(host, OpenDocument{.path = (Folder() / file).string(), .closeActive = true}, {},
                    &progress);

        EXPECT_EQ(opened.refusal, Refusal::Cancelled) << opened.message;
        EXPECT_NE(opened.message.find("was cancelled; nothing changed"), std::string::npos)
            << opened.message;
        ASSERT_FALSE(display.shown.empty());
        EXPECT_NE(display.shown.front().stage.find(file), std::string::npos)
            << display.shown.front().stage;
        EXPECT_EQ(DocumentsOf(host), before);
        EXPECT_EQ(host.Console().size(), consoleBefore);
        EXPECT_TRUE(NoChildLeft());
    }
}

// A save cancelled half-way leaves the scene file and its mesh file byte for byte as they were,
// and no temporary file beside them.
TEST_F(CancelledWork, ASaveCalledOffLeavesTheOldFilesWhole) {
    const std::filesystem::path scene = Folder() / "saved.json";
    const std::unique_ptr<Document> small = LargeDocument(301);
    ASSERT_TRUE(SaveScene(*small, scene).Ok());
    const std::string oldScene = ReadFile(scene);
    const std::string oldMesh = ReadFile(MeshFilePath(scene));
    ASSERT_FALSE(oldMesh.empty());

    Host host;
    host.AdoptDocument(LargeDocument(kSceneObjects));
    CancelAtFirstSight display;
    Progress progress(&display);
    display.progress = &progress;
    const actions::Outcome saved =
        Perform(host, SaveDocument{.path = scene.string()}, {}, &progress);

    EXPECT_EQ(saved.refusal, Refusal::Cancelled) << saved.message;
    ASSERT_FALSE(display.shown.empty());
    EXPECT_EQ(display.shown.front().stage, "Saving saved.json");
    EXPECT_EQ(display.shown.front().total, kSceneObjects);
    EXPECT_EQ(ReadFile(scene), oldScene);
    EXPECT_EQ(ReadFile(MeshFilePath(scene)), oldMesh);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"large.json", "large.json.mesh", "saved.json",
                                              "saved.json.mesh", "town.gltf"}));
}

}  // namespace
}  // namespace vhost
