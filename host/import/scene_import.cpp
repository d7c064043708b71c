// The importer over the assimp library.
#include "import/scene_import.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <assimp/DefaultLogger.hpp>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "import/child_answer.h"
#include "import/deep_stack.h"
#include "import/scene_conversion.h"
#include "import/trial_run.h"
#include "platform/error_text.h"
#include "platform/utf8_path.h"

// Builds with AddressSanitizer reserve terabytes of address space for its shadow memory: their
// children get no address-space limit.
#if defined(__SANITIZE_ADDRESS__)
#define VELA_IMPORT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELA_IMPORT_ASAN 1
#endif
#endif

namespace vhost {

namespace {

#ifdef VELA_IMPORT_ASAN
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// Faces become triangles; the library checks the scene it made (indices in range, counts that
// agree) before it hands it over. No step that changes the node tree or the meshes' order.
constexpr unsigned kSteps = aiProcess_Triangulate | aiProcess_ValidateDataStructure;

// The library reads, checks and frees a node tree recursively: glTF takes about 500 bytes of
// stack per level, and a level takes at least 17 bytes of the file (docs/importing.md).
// The stack is reserved from the file's size with room to spare; only what is used costs memory.
constexpr std::size_t kBaseStack = std::size_t{64} << 20U;
constexpr std::size_t kStackPerFileByte = 64;
constexpr std::size_t kLargestStack = std::size_t{64} << 30U;

std::size_t StackFor(std::uintmax_t fileBytes) {
    const std::uintmax_t wanted = kBaseStack + fileBytes * kStackPerFileByte;
    return static_cast<std::size_t>(std::min<std::uintmax_t>(wanted, kLargestStack));
}

ImportedScene Failure(std::string message) {
    ImportedScene result;
    result.error = std::move(message);
    return result;
}

// The library's warnings that say it left something out, with the kind each is reported as. The
// library gives no count or place with them: each warning counts once.
constexpr std::pair<std::string_view, LeftOutKind> kLibraryWarnings[] = {
    {"Some faces had out-of-range indices", LeftOutKind::TrianglesDroppedByLibrary},
};

// Listens to the library's warnings while it lives. The library has one logger for the process;
// imports run one at a time (the host's thread, or the child).
class LibraryWarnings : public Assimp::LogStream {
public:
    LibraryWarnings() : ownLogger_(Assimp::DefaultLogger::isNullLogger()) {
        if (ownLogger_) Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
        Assimp::DefaultLogger::get()->attachStream(this, Assimp::Logger::Warn);
    }
    ~LibraryWarnings() override {
        Assimp::DefaultLogger::get()->detachStream(this, Assimp::Logger::Warn);
        if (ownLogger_) Assimp::DefaultLogger::kill();
    }
    LibraryWarnings(const LibraryWarnings&) = delete;
    LibraryWarnings& operator=(const LibraryWarnings&) = delete;

    void write(const char* message) override {
        const std::string_view text(message);
        for (const auto& [words, kind] : kLibraryWarnings) {
            if (text.find(words) != std::string_view::npos) heard_.AddUnplaced(kind, 1);
        }
    }

    void AddTo(ImportReport& report) const {
        for (const LeftOut& entry : heard_.Entries()) report.AddUnplaced(entry.kind, entry.count);
    }

private:
    bool ownLogger_;
    ImportReport heard_;
};

// The library's own progress through a file, as bytes of it: its readers tell how far they are
// (some only at the start and the end), its steps after reading count as the last of the file.
// A cancel stops the library at its next report; it then returns no scene.
//
// The importer is lent the handler while the handler lives: an importer deletes the handler it
// holds when it ends, so the handler takes itself back first (and must end before the importer).
class LibraryProgress : public Assimp::ProgressHandler {
public:
    LibraryProgress(Assimp::Importer& importer, Progress& progress, std::uintmax_t fileBytes)
        : importer_(importer), progress_(progress), fileBytes_(fileBytes) {
        progress_.SetTotal(fileBytes_);
        importer_.SetProgressHandler(this);
    }
    ~LibraryProgress() override { importer_.SetProgressHandler(nullptr); }
    LibraryProgress(const LibraryProgress&) = delete;
    LibraryProgress& operator=(const LibraryProgress&) = delete;

    bool Update(float share) override {
        if (share < 0.0F) return progress_.Poll();
        const double done = std::clamp(static_cast<double>(share), 0.0, 1.0);
        return progress_.Advance(
            static_cast<std::uint64_t>(done * static_cast<double>(fileBytes_)));
    }
    // The library's split gives reading half of the way; here it is all of it until the steps
    // after reading.
    void UpdateFileRead(int step, int steps) override {
        Update(steps > 0 ? static_cast<float>(step) / static_cast<float>(steps) : -1.0F);
    }
    void UpdatePostProcess(int /*step*/, int /*steps*/) override { Update(1.0F); }

private:
    Assimp::Importer& importer_;
    Progress& progress_;
    std::uintmax_t fileBytes_;
};

// What happens to the library's scene once converted: freed, or left to the end of the process
// (the child, which ends right after handing the document back).
enum class LibraryScene { Free, LeaveToExit };

// Keeps `kept` until the process ends, without freeing it: a child that is about to end need not
// spend its time on that. It stays reachable, so a leak checker sees memory left on purpose.
template <typename Kept>
void LeaveToExit(std::unique_ptr<Kept> kept) {
    static std::vector<std::unique_ptr<Kept>> left;
    left.push_back(std::move(kept));
}

// Reads with a fresh importer on a deep stack and converts while the library's scene lives; the
// importer frees it on the same stack, unless `afterwards` leaves it to the end of the process.
// Textures the file names are read from `textureFolder` only.
ImportedScene ReadAndConvert(std::uintmax_t fileBytes, std::string_view documentName,
                             const std::string& sourceName,
                             const std::optional<std::filesystem::path>& textureFolder,
                             const std::function<const aiScene*(Assimp::Importer&)>& read,
                             Progress& progress, LibraryScene afterwards = LibraryScene::Free) {
    ImportedScene result;
    auto task = [&] {
        try {
            const LibraryWarnings warnings;
            Assimp::Importer importer;
            // FBX pivots would come as extra nodes no application showed; folded into the
            // transforms, every node is one of the file's.
            importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
            progress.Stage("Reading " + std::string(documentName), ProgressUnit::Bytes);
            const LibraryProgress reading(importer, progress, fileBytes);
            const aiScene* scene = read(importer);
            if (scene == nullptr) {
                result.error = sourceName + ": cannot import: " + importer.GetErrorString();
                return;
            }
            progress.Stage("Converting " + std::string(documentName), ProgressUnit::Objects);
            result =
                ConvertImportedScene(*scene, documentName, sourceName, &progress, textureFolder);
            if (result.Ok()) warnings.AddTo(result.leftOut);
            // Freeing a large scene takes as long as a fair part of reading it.
            if (afterwards == LibraryScene::LeaveToExit) {
                LeaveToExit(std::unique_ptr<aiScene>(importer.GetOrphanedScene()));
            }
        } catch (const std::bad_alloc&) {
            result = Failure(sourceName + ": not enough memory to import the scene");
        } catch (const std::exception& error) {
            result = Failure(sourceName + ": cannot import: " + error.what());
        }
    };
    if (!RunWithStack(StackFor(fileBytes), task)) {
        return Failure(sourceName + ": cannot import: no room for the stack the file may need");
    }
    return result;
}

// A file is read in a child first (trial_run.h). Its time grows with the file's size; its memory
// is bounded so that a reader asking for far more than a file of that size can hold fails there.
TrialLimits TrialLimitsFor(std::uintmax_t fileBytes) {
    constexpr std::uintmax_t kMegabyte = 1U << 20U;
    constexpr std::uintmax_t kBaseSeconds = 60;
    constexpr std::uintmax_t kSecondsPerMegabyte = 10;
    constexpr std::uintmax_t kBaseMemory = std::uintmax_t{8} << 30U;
    constexpr std::uintmax_t kMemoryPerFileByte = 256;
    TrialLimits limits{};
    limits.time =
        std::chrono::seconds(kBaseSeconds + kSecondsPerMegabyte * (fileBytes / kMegabyte));
    limits.addressSpaceBytes =
        kAddressSanitizer ? 0
                          : static_cast<std::size_t>(kBaseMemory + kMemoryPerFileByte * fileBytes +
                                                     StackFor(fileBytes));
    return limits;
}

ImportedScene Cancelled(const std::string& sourceName) {
    ImportedScene result = Failure(sourceName + ": the import was cancelled");
    result.cancelled = true;
    return result;
}

}  // namespace

bool ImporterAvailable() { return true; }

ImportedScene ImportScene(const std::filesystem::path& path, ImportRoute route,
                          Progress* progress) {
    const std::string name = Utf8FromPath(path);
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error) return Failure(name + ": cannot open the file: " + ErrnoText(error.value()));
    const std::string documentName = Utf8FromPath(path.filename());
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    auto readFile = [&](Assimp::Importer& importer) {
        return importer.ReadFile(path.string(), kSteps);
    };
    Progress unseen;
    Progress& shown = progress != nullptr ? *progress : unseen;
    // Read here when no child can be made or the child only said the file imports.
    auto readHere = [&] {
        ImportedScene imported = ReadAndConvert(bytes, documentName, name, folder, readFile, shown);
        return shown.Cancelled() ? Cancelled(name) : std::move(imported);
    };
    shown.Stage("Reading " + documentName, ProgressUnit::Bytes);
    const TrialResult trial = TrialRun(
        [&](Progress& inChild) {
            if (route == ImportRoute::ReadAgain) {
                return AnswerWithVerdict(
                    ReadAndConvert(bytes, documentName, name, folder, readFile, inChild));
            }
            ImportedScene imported = ReadAndConvert(bytes, documentName, name, folder, readFile,
                                                    inChild, LibraryScene::LeaveToExit);
            std::string answer = AnswerWithScene(imported);
            // The child ends once the answer is written; freeing the document would only delay it.
            LeaveToExit(std::move(imported.document));
            return answer;
        },
        TrialLimitsFor(bytes), &shown);
    if (trial.ending == TrialResult::Ending::Cancelled) return Cancelled(name);
    if (trial.ending == TrialResult::Ending::Stopped) {
        return Failure(name + ": cannot import: the importer " + trial.text + " reading it");
    }
    if (trial.ending == TrialResult::Ending::NotRun) return readHere();
    TakenAnswer taken = TakeAnswer(trial.text, name);
    if (taken.kind == TakenAnswer::Kind::ReadHere) return readHere();
    return std::move(taken.scene);
}

ImportedScene ImportSceneFromMemory(std::string_view bytes, std::string_view formatHint,
                                    std::string_view sourceName,
                                    const std::optional<std::filesystem::path>& textureFolder) {
    const std::string name(sourceName);
    if (bytes.empty()) return Failure(name + ": cannot import: the file is empty");
    const std::string hint(formatHint);
    Progress unseen;
    return ReadAndConvert(
        bytes.size(), sourceName, name, textureFolder,
        [&](Assimp::Importer& importer) {
            return importer.ReadFileFromMemory(bytes.data(), bytes.size(), kSteps, hint.c_str());
        },
        unseen);
}

}  // namespace vhost
