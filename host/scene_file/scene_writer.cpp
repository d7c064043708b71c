// Writing scene files: the document as text, passed to the file in large pieces as it grows.
#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/utf8_path.h"
#include "scene_file/mesh_companion.h"
#include "scene_file/scene_encoding.h"
#include "scene_file/scene_file.h"
#include "scene_file/scene_geometry.h"
#include "text/json_text.h"
#include "text/quoting.h"
#include "text/utf8.h"

namespace vhost::scene_file {

namespace {

// An object with a small data container takes 250 to 500 bytes of text.
constexpr std::size_t kTypicalObjectBytes = 512;

// Where the text goes: kept whole for SerializeScene, or passed to a file in large pieces.
class Sink {
public:
    explicit Sink(int fd = -1) : fd_(fd) {}

    std::string& Buffer() { return text_; }

    // Hands what has been collected to the file once enough has piled up.
    void Pass() {
        if (fd_ >= 0 && text_.size() >= kPiece) Flush();
    }

    // Writes what is left; the first failure's errno, 0 when all went well.
    int Flush() {
        if (fd_ < 0) return error_;
        if (error_ == 0) error_ = WriteAll(fd_, text_);
        text_.clear();
        return error_;
    }

    std::string Take() { return std::move(text_); }

private:
    static constexpr std::size_t kPiece = std::size_t{1} << 20U;
    int fd_;
    int error_ = 0;
    std::string text_;
};

// The scene cannot be written so that it reads back the same.
struct Refusal {
    std::string message;
};

// A document's geometry ready to be written: its index and, when it has meshes, the mesh file.
struct GeometryToWrite {
    explicit GeometryToWrite(const Document& document) : index(document) {
        if (index.Parts().empty()) return;
        for (const MeshPart* part : index.Parts()) CheckCounts(*part);
        meshFile = EncodeMeshFile(index.Parts());
        record = RecordOfMeshFile(meshFile, index.Parts().size());
    }

    static void CheckCounts(const MeshPart& part) {
        constexpr std::size_t kMost = 0xFFFFFFFFU;
        if (part.name.size() > kMost || part.positions.size() > kMost ||
            part.triangles.size() > kMost || part.normals.size() > kMost) {
            throw Refusal{"the mesh part " + Quoted(part.name) +
                          " has more than 4294967295 bytes of name, points or triangles"};
        }
    }

    GeometryIndex index;
    std::string meshFile;  // empty when the document has no meshes
    MeshFileRecord record;
};

// Thrown by a writer without geometry at the first object that has some: the document is then
// written again as version 2. A scene of version 1 is thus written in one walk over its objects,
// which for a large scene costs as much as the writing (every object is a cache miss).
struct NeedsGeometry {};

// Thrown by a writer whose progress was cancelled.
struct SavingCancelled {};

class SceneWriter {
public:
    // Without `geometry`, writes version 1, or throws NeedsGeometry.
    SceneWriter(Sink& sink, const GeometryToWrite* geometry, Progress* progress = nullptr)
        : sink_(sink),
          out_(sink.Buffer()),
          geometry_(geometry),
          progress_(progress != nullptr ? *progress : unseen_) {}

    void Write(const Document& document) {
        const bool withGeometry = geometry_ != nullptr && geometry_->index.Any();
        out_ += "{\n  \"format\": ";
        AppendJsonString(out_, kSceneFormatName);
        out_ += ",\n  \"version\": ";
        AppendNumber(out_, withGeometry ? kSceneLatestVersion : kSceneFormatVersion);
        out_ += ",\n  \"name\": ";
        Text(document.Name(), "its name");
        out_ += ",\n  \"data\": ";
        WriteContainer(document.Data(), 2, 0);
        out_ += ",\n  \"takes\": ";
        WriteTakes(document.Takes());
        if (withGeometry) WriteMeshes();
        out_ += ",\n  \"objects\": [";
        const char* separator = "\n";
        std::uint64_t written = 0;
        for (const Object* object = document.FirstObject(); object != nullptr;
             object = NextInTreeOrder(object)) {
            if (!progress_.Advance(written++)) throw SavingCancelled{};
            out_ += separator;
            separator = ",\n";
            WriteObject(*object);
            sink_.Pass();
        }
        out_ += document.FirstObject() != nullptr ? "\n  ]\n}\n" : "]\n}\n";
    }

private:
    static const Object* NextInTreeOrder(const Object* object) {
        if (object->Down() != nullptr) return object->Down();
        while (object != nullptr && object->Next() == nullptr) object = object->Up();
        return object != nullptr ? object->Next() : nullptr;
    }

    void WriteMeshes() {
        out_ += ",\n  \"mesh_file\": ";
        if (geometry_->meshFile.empty()) {
            out_ += "null";
        } else {
            out_ += "{\"bytes\": ";
            AppendNumber(out_, geometry_->record.bytes);
            out_ += ", \"crc32\": ";
            AppendNumber(out_, geometry_->record.crc32);
            out_ += ", \"parts\": ";
            AppendNumber(out_, geometry_->record.parts);
            out_ += '}';
        }
        out_ += ",\n  \"meshes\": [";
        const char* separator = "\n    ";
        for (const Mesh* mesh : geometry_->index.Meshes()) {
            out_ += separator;
            separator = ",\n    ";
            out_ += "{\"parts\": [";
            const char* comma = "";
            for (const auto& part : mesh->parts) {
                out_ += comma;
                comma = ", ";
                AppendNumber(out_, geometry_->index.PartIndex(part.get()));
            }
            out_ += "]}";
        }
        out_ += geometry_->index.Meshes().empty() ? "]" : "\n  ]";
    }

    // Twelve numbers: the offset, then the three axes.
    void WriteTransform(const Matrix& transform) {
        if (!transform.IsFinite()) Refuse("its transform is not finite");
        out_ += ",\n      \"transform\": [";
        const char* comma = "";
        for (const Vector* v : {&transform.off, &transform.v1, &transform.v2, &transform.v3}) {
            for (double number : {v->x, v->y, v->z}) {
                out_ += comma;
                comma = ", ";
                AppendFloat(out_, number);
            }
        }
        out_ += ']';
    }

    void WriteTakes(const TakeData* takes) {
        if (takes == nullptr) {
            out_ += "null";
            return;
        }
        out_ += "[";
        const char* separator = "\n    ";
        for (const auto& take : takes->Takes()) {
            out_ += separator;
            separator = ",\n    ";
            out_ += "{\"name\": ";
            Text(take->Name(), "a take's name");
            out_ += take->IsMain() ? ", \"main\": true" : ", \"main\": false";
            out_ += take.get() == takes->CurrentTake() ? ", \"current\": true}"
                                                       : ", \"current\": false}";
        }
        out_ += "\n  ]";
    }

    void WriteObject(const Object& object) {
        object_ = &object;
        out_ += "    {\n      \"id\": ";
        AppendNumber(out_, object.Id());
        out_ += ",\n      \"parent\": ";
        if (object.Up() != nullptr) {
            AppendNumber(out_, object.Up()->Id());
        } else {
            out_ += "null";
        }
        out_ += ",\n      \"type\": ";
        if (const ObjectType* type = KnownTypes().Find(object.Type())) {
            Text(type->token, "its type");
        } else {
            AppendNumber(out_, object.Type());
        }
        out_ += ",\n      \"name\": ";
        Text(object.Name(), "its name");
        out_ += ",\n      \"editor\": ";
        WriteMode(object.EditorMode(), "editor");
        out_ += ",\n      \"render\": ";
        WriteMode(object.RenderMode(), "render");
        out_ += object.Enabled() ? ",\n      \"enabled\": true" : ",\n      \"enabled\": false";
        out_ += object.Selected() ? ",\n      \"selected\": true" : ",\n      \"selected\": false";
        out_ += ",\n      \"bits\": ";
        AppendNumber(out_, object.Bits() & ~kBitActive);
        out_ += ",\n      \"data\": ";
        WriteContainer(object.Data(), 6, 0);
        const Matrix& transform = object.LocalTransform();
        const Mesh* mesh = object.GetMesh().get();
        if (mesh != nullptr || !transform.IsIdentity()) {
            if (geometry_ == nullptr) throw NeedsGeometry{};
            if (!transform.IsIdentity()) WriteTransform(transform);
        }
        if (mesh != nullptr) {
            out_ += ",\n      \"mesh\": ";
            AppendNumber(out_, geometry_->index.MeshIndex(mesh));
        }
        out_ += "\n    }";
        object_ = nullptr;
    }

    void WriteMode(Mode mode, const char* which) {
        const char* name = ModeName(mode);
        if (name == nullptr) {
            Refuse(std::string("its ") + which + " mode " +
                   NumberText(static_cast<std::int32_t>(mode)) + " is not a visibility mode");
        }
        Text(name, "its mode");
    }

    // Containers nest at most kSceneMaxContainerNesting deep, so this recursion is bounded.
    void WriteContainer(const Container& container, int indent, int nesting) {
        out_ += "{\"id\": ";
        AppendNumber(out_, container.Id());
        out_ += ", \"entries\": [";
        if (container.Entries().empty()) {
            out_ += "]}";
            return;
        }
        const char* separator = "\n";
        for (const Container::Entry& entry : container.Entries()) {
            out_ += separator;
            separator = ",\n";
            out_.append(static_cast<std::size_t>(indent) + 2, ' ');
            out_ += "{\"key\": ";
            AppendNumber(out_, entry.key);
            out_ += ", ";
            keys_.push_back(entry.key);
            WriteValue(entry.value, indent + 2, nesting);
            keys_.pop_back();
            out_ += '}';
        }
        out_ += '\n';
        out_.append(static_cast<std::size_t>(indent), ' ');
        out_ += "]}";
    }

    void WriteValue(const Value& value, int indent, int nesting) {
        if (const CustomData* custom = value.AsCustom()) {
            if (custom->type < kFirstCustomType) {
                Refuse("custom data type " + NumberText(custom->type) + " is below " +
                       NumberText(kFirstCustomType) + ", where custom type ids begin");
            }
            out_ += R"("custom": {"type": )";
            AppendNumber(out_, custom->type);
            out_ += R"(, "base64": ")";
            AppendBase64(out_, custom->record);
            out_ += "\"}";
            return;
        }
        switch (static_cast<ValueType>(value.TypeNumber())) {
            case ValueType::None:
                out_ += "\"none\": null";
                return;
            case ValueType::Int32:
                out_ += "\"int32\": ";
                AppendNumber(out_, value.AsInt32());
                return;
            case ValueType::Int64:
                out_ += "\"int64\": ";
                AppendNumber(out_, value.AsInt64());
                return;
            case ValueType::Float:
                out_ += "\"float\": ";
                AppendFloat(out_, value.AsFloat());
                return;
            case ValueType::String:
                out_ += "\"string\": ";
                Text(value.AsString(), "the string");
                return;
            case ValueType::Link:
                out_ += "\"link\": ";
                if (value.AsLink() == 0) {
                    out_ += "null";
                } else {
                    AppendNumber(out_, value.AsLink());
                }
                return;
            case ValueType::Container:
                if (nesting >= kSceneMaxContainerNesting) {
                    Refuse("containers are nested more than " +
                           NumberText(kSceneMaxContainerNesting) + " levels deep");
                }
                out_ += "\"container\": ";
                WriteContainer(*value.AsContainer(), indent, nesting + 1);
                return;
        }
        Refuse("value type " + NumberText(value.TypeNumber()) + " is unknown");
    }

    // Most texts are ASCII without anything to escape, which is valid UTF-8 and is written as it
    // is; the rest is checked and escaped character by character.
    void Text(std::string_view text, const char* what) {
        if (IsPlainAscii(text)) {
            out_ += '"';
            out_ += text;
            out_ += '"';
            return;
        }
        if (!IsValidUtf8(text)) Refuse(std::string(what) + " is not valid UTF-8: " + Quoted(text));
        AppendJsonString(out_, text);
    }

    static bool IsPlainAscii(std::string_view text) {
        return std::all_of(text.begin(), text.end(), [](char c) {
            const auto code = static_cast<unsigned char>(c);
            return code >= 0x20U && code < 0x80U && c != '"' && c != '\\';
        });
    }

    [[noreturn]] void Refuse(const std::string& what) const {
        std::string where;
        if (object_ != nullptr) {
            where = "object " + NumberText(object_->Id()) + " (" + Quoted(object_->Name()) + ")";
        } else {
            where = "the document";
        }
        if (!keys_.empty()) {
            where += ", data key ";
            for (std::size_t i = 0; i < keys_.size(); ++i) {
                if (i > 0) where += " > ";
                AppendNumber(where, keys_[i]);
            }
        }
        throw Refusal{where + ": " + what};
    }

    Sink& sink_;
    std::string& out_;
    const GeometryToWrite* geometry_;
    Progress unseen_;  // progress_ when the caller has none
    Progress& progress_;
    const Object* object_ = nullptr;  // whose fields are being written; null: the document's
    std::vector<std::int32_t> keys_;  // container keys leading to the value being written
};

}  // namespace

}  // namespace vhost::scene_file

namespace vhost {

SceneTextResult SerializeScene(const Document& document) {
    SceneTextResult result;
    try {
        scene_file::Sink sink;
        // One allocation for most scenes instead of a copy at every doubling; pages of it that
        // are never written are never touched.
        sink.Buffer().reserve(document.ObjectCount() * scene_file::kTypicalObjectBytes);
        try {
            scene_file::SceneWriter(sink, nullptr).Write(document);
        } catch (const scene_file::NeedsGeometry&) {
            sink.Buffer().clear();
            scene_file::GeometryToWrite geometry(document);
            scene_file::SceneWriter(sink, &geometry).Write(document);
            result.meshFile = std::move(geometry.meshFile);
        }
        result.text = sink.Take();
    } catch (const scene_file::Refusal& refusal) {
        result.error = "the scene cannot be saved: " + refusal.message;
    } catch (const std::bad_alloc&) {
        result.error = "not enough memory to write the scene";
    }
    return result;
}

namespace {

// Fills a scene file with `document`: as version 1 when `geometry` is null, and then
// `needsGeometry` tells that the document needs version 2 (the filler fails, and the half-written
// file is removed).
AtomicFileFiller SceneFiller(const Document& document, const scene_file::GeometryToWrite* geometry,
                             bool& needsGeometry, Progress* progress) {
    return [&document, geometry, &needsGeometry, progress](
               int fd, const std::filesystem::path& temporary) -> std::string {
        try {
            scene_file::Sink sink(fd);
            scene_file::SceneWriter(sink, geometry, progress).Write(document);
            if (int error = sink.Flush(); error != 0) {
                return "writing " + Quoted(Utf8FromPath(temporary)) +
                       " failed: " + ErrnoText(error);
            }
        } catch (const scene_file::NeedsGeometry&) {
            needsGeometry = true;
            return "the scene has geometry";
        } catch (const scene_file::SavingCancelled&) {
            return "the saving was cancelled";
        } catch (const scene_file::Refusal& refusal) {
            return refusal.message;
        } catch (const std::bad_alloc&) {
            return "not enough memory to write the scene";
        }
        return {};
    };
}

// Writes a scene with geometry: the mesh file and the scene are both written and flushed before
// either is renamed, the mesh file first. Until then both old files stay as they were, and a scene
// on disk never names a mesh file it does not have (the scene records the mesh file's size and
// checksum, so an old scene beside a new mesh file is refused, not misread). `wroteMeshFile` says
// whether the scene has a mesh file (a scene with transforms alone has none).
std::string SaveSceneWithGeometry(const Document& document, const std::filesystem::path& path,
                                  bool& wroteMeshFile, Progress* progress) {
    std::optional<scene_file::GeometryToWrite> geometry;
    try {
        geometry.emplace(document);
    } catch (const scene_file::Refusal& refusal) {
        return refusal.message;
    } catch (const std::bad_alloc&) {
        return "not enough memory to write the scene";
    }
    const std::filesystem::path meshPath = scene_file::MeshFilePath(path);
    PreparedFile meshFile;
    if (!geometry->meshFile.empty()) {
        if (std::string error = PrepareFileAtomically(meshPath, geometry->meshFile, meshFile);
            !error.empty()) {
            return "the mesh file " + Quoted(Utf8FromPath(meshPath)) + ": " + error;
        }
    }
    bool needsGeometry = false;
    PreparedFile scene;
    if (std::string error = PrepareFileAtomically(
            path, SceneFiller(document, &*geometry, needsGeometry, progress), scene);
        !error.empty()) {
        return error;
    }
    // The last point at which a cancel leaves both old files as they were.
    if (progress != nullptr && progress->Cancelled()) return "the saving was cancelled";
    if (!geometry->meshFile.empty()) {
        if (std::string error = meshFile.Replace(); !error.empty()) {
            return "the mesh file " + Quoted(Utf8FromPath(meshPath)) + ": " + error;
        }
        wroteMeshFile = true;
    }
    return scene.Replace();
}

// A mesh file beside a scene that was saved without one belonged to the scene it replaced; the new
// scene does not name it, so it goes (after the scene is written, so a crash leaves it at worst).
// Failing to remove it fails nothing: it is never read with this scene.
void RemoveOldMeshFile(const std::filesystem::path& scene) {
    std::error_code ignored;
    std::filesystem::remove(scene_file::MeshFilePath(scene), ignored);
}

}  // namespace

SceneSaveResult SaveScene(const Document& document, const std::filesystem::path& path,
                          Progress* progress) {
    SceneSaveResult result;
    if (progress != nullptr) {
        progress->Stage("Saving " + Utf8FromPath(path.filename()), ProgressUnit::Objects,
                        document.ObjectCount());
    }
    bool needsGeometry = false;
    result.error =
        WriteFileAtomically(path, SceneFiller(document, nullptr, needsGeometry, progress));
    bool wroteMeshFile = false;
    if (needsGeometry) {
        if (progress != nullptr)
            progress->Stage(progress->State().stage, ProgressUnit::Objects, document.ObjectCount());
        result.error = SaveSceneWithGeometry(document, path, wroteMeshFile, progress);
    }
    if (result.error.empty() && !wroteMeshFile) RemoveOldMeshFile(path);
    result.cancelled = progress != nullptr && progress->Cancelled() && !result.error.empty();
    if (!result.error.empty()) {
        result.error =
            "cannot save the scene to " + Quoted(Utf8FromPath(path)) + ": " + result.error;
    }
    return result;
}

}  // namespace vhost
