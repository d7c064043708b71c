// Reading scene files: one pass over the parser's events, placing each object as soon as it is
// complete.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/error_text.h"
#include "platform/file_reading.h"
#include "platform/utf8_path.h"
#include "scene_file/direct_reader.h"
#include "scene_file/scene_encoding.h"
#include "scene_file/scene_file.h"
#include "scene_file/value_reader.h"
#include "text/json_text.h"
#include "text/position_iterator.h"
#include "text/quoting.h"
#include "text/text_position.h"

namespace vhost::scene_file {

namespace {

// An object that names a mesh, kept until the list of meshes is known.
struct MeshUse {
    Object* object = nullptr;
    std::uint64_t mesh = 0;
    std::size_t index = 0;   // in "objects"
    std::size_t offset = 0;  // of the object in the text
};

// Reads a scene from the parser's events. The top level is built as JSON values (whose depth is
// limited). The elements of "objects" are not: each member of an object is read as it arrives
// (its data container as a small JSON value), and the object is placed in the document as soon
// as it is complete. A scene of a million objects never exists as a million JSON values.
class SceneReader {
public:
    SceneReader(std::string_view text, std::string_view source, const MeshFileSource& meshFile)
        : text_(text),
          source_(source),
          meshFile_(meshFile),
          cursor_(text.data()),
          document_(std::make_unique<Document>()) {}

    SceneLoadResult Run() {
        SceneLoadResult result;
        try {
            PositionIterator first(text_.data(), &cursor_);
            PositionIterator last(text_.data() + text_.size(), &cursor_);
            if (!Json::sax_parse(first, last, this)) {
                result.error = error_.empty() ? source_ + ": the scene could not be read" : error_;
                return result;
            }
            Finish();
            if (std::string error = AttachGeometry(geometry_, meshFile_); !error.empty()) {
                result.error = std::move(error);
                return result;
            }
            result.document = std::move(document_);
        } catch (const ReadError& error) {
            result.error = Message(error);
        } catch (const std::bad_alloc&) {
            result.error = source_ + ": not enough memory to read the scene";
        } catch (const std::exception& error) {
            result.error = source_ + ": " + Printable(error.what());
        }
        return result;
    }

    // The parser's events ------------------------------------------------------------------------

    bool null() { return Scalar(Json(nullptr)); }
    bool boolean(bool value) { return Scalar(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return Scalar(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return Scalar(Json(value)); }
    bool number_float(Json::number_float_t value, const std::string& /*text*/) {
        return Scalar(Json(value));
    }
    bool string(std::string& value) { return Scalar(Json(std::move(value))); }
    bool binary(Json::binary_t& /*value*/) { return Syntax(Offset(), "unexpected binary value"); }

    bool start_object(std::size_t /*elements*/) {
        if (!Enter()) return false;
        if (stack_.empty()) {
            root_ = Json::object();
            stack_.push_back(&root_);
            return true;
        }
        if (stack_.back() == objectsArray_) {
            BeginElement(Offset() - 1);
            stack_.push_back(&elementMarker_);
            return true;
        }
        stack_.push_back(Store(Json::object()));
        return true;
    }

    bool key(std::string& name) {
        Json* object = stack_.back();
        if (object == &elementMarker_) return ElementKey(name);
        if (object->contains(name)) return Syntax(Offset() - 1, "duplicate member " + Quoted(name));
        if (stack_.size() == 1) {
            rootMemberOffsets_[name] = Offset() - 1;
            rootMember_ = name;
        }
        member_ = &(*object)[name];
        return true;
    }

    bool end_object() { return Leave(); }

    bool start_array(std::size_t /*elements*/) {
        if (!Enter()) return false;
        if (stack_.empty())
            return Syntax(Offset() - 1, "expected a scene (a JSON object), found an array");
        bool isObjects = stack_.size() == 1 && rootMember_ == "objects";
        if (stack_.back() == objectsArray_) {
            BeginElement(Offset() - 1);
            return RefuseElement(
                {elementAt_.Text(), std::string(kNotAnObject) + "an array", std::nullopt});
        }
        stack_.push_back(Store(Json::array()));
        if (isObjects) {
            objectsArray_ = stack_.back();
            // The header decides how the rest is read, so it comes before the objects.
            try {
                for (const char* name : {"format", "version"}) {
                    if (!root_.contains(name)) {
                        Fail(PathNode{}, "missing member \"" + std::string(name) +
                                             R"(" (the header comes before "objects"))");
                    }
                }
                version_ = CheckHeader(root_, PathNode{});
            } catch (ReadError& error) {
                error.offset = RootMemberOffset(error.path);
                error_ = Message(error);
                return false;
            }
        }
        return true;
    }

    bool end_array() { return Leave(); }

    bool parse_error(std::size_t position, const std::string& /*lastToken*/,
                     const Json::exception& error) {
        // The place is given in the same form as in every other message, not the parser's.
        // `position` counts the characters read, the offending one included.
        return Syntax(position > 0 ? position - 1 : 0,
                      "invalid JSON: " + JsonReaderProblem(error.what()));
    }

private:
    std::size_t Offset() const { return static_cast<std::size_t>(cursor_ - text_.data()); }

    std::string Message(const ReadError& error) const {
        std::string text = source_;
        if (error.offset) {
            text += ':';
            AppendNumber(text, PositionAt(text_, *error.offset).line);
        }
        text += ": ";
        if (!error.path.empty()) text += error.path + ": ";
        return text + error.message;
    }

    bool Syntax(std::size_t offset, const std::string& message) {
        error_ = PlaceText(source_, PositionAt(text_, offset)) + ": " + message;
        return false;
    }

    std::optional<std::size_t> RootMemberOffset(const std::string& path) const {
        std::string name = path.substr(0, path.find_first_of(".["));
        auto found = rootMemberOffsets_.find(name);
        if (found == rootMemberOffsets_.end()) return std::nullopt;
        return found->second;
    }

    bool Enter() {
        if (++depth_ > kSceneMaxJsonDepth) {
            return Syntax(Offset() - 1, "nested deeper than " + NumberText(kSceneMaxJsonDepth) +
                                            " levels; scene files nest containers at most " +
                                            NumberText(kSceneMaxContainerNesting) + " deep");
        }
        return true;
    }

    bool Leave() {
        --depth_;
        Json* closed = stack_.back();
        stack_.pop_back();
        if (closed == &elementMarker_) return FinishElement();
        if (!stack_.empty() && stack_.back() == &elementMarker_) return ElementValue(*closed);
        return true;
    }

    bool Scalar(Json&& value) {
        if (stack_.empty()) {
            return Syntax(Offset() > 0 ? Offset() - 1 : 0,
                          "expected a scene (a JSON object), found " + Describe(value));
        }
        if (stack_.back() == &elementMarker_) return ElementValue(value);
        if (stack_.back() == objectsArray_) {
            BeginElement(Offset() > 0 ? Offset() - 1 : 0);
            return RefuseElement(
                {elementAt_.Text(), std::string(kNotAnObject) + Describe(value), std::nullopt});
        }
        Store(std::move(value));
        return true;
    }

    // Puts `value` where the parser is: the next element of the open array, or the value of
    // the last key. A member of an element of "objects" is kept apart.
    Json* Store(Json&& value) {
        Json* parent = stack_.back();
        if (parent == &elementMarker_) {
            memberValue_ = std::move(value);
            return &memberValue_;
        }
        if (parent->is_array()) {
            parent->push_back(std::move(value));
            return &parent->back();
        }
        *member_ = std::move(value);
        return member_;
    }

    // Elements of "objects" ----------------------------------------------------------------------

    void BeginElement(std::size_t offset) {
        record_ = ObjectRecord{};
        record_.index = elementCount_++;
        record_.offset = offset;
        elementAt_ = PathNode{&objectsAt_, {}, record_.index};
        membersSeen_ = 0;
    }

    // Refuses the scene for `error`, placed at the current element unless it has a place.
    bool RefuseElement(ReadError&& error) {
        if (!error.offset) error.offset = record_.offset;
        error_ = Message(error);
        return false;
    }

    bool ElementKey(const std::string& name) {
        const auto& members = kObjectMembersWithGeometry;
        const auto* known = std::find(members.begin(), members.end(), name);
        const bool geometry = version_ >= kSceneGeometryVersion;
        if (known == members.end() ||
            (!geometry && known - members.begin() >= std::ptrdiff_t{kRequiredObjectMembers})) {
            return RefuseElement({elementAt_.Text(),
                                  geometry ? UnexpectedMember(name, members)
                                           : UnexpectedMember(name, kObjectMembers),
                                  std::nullopt});
        }
        memberIndex_ = static_cast<std::size_t>(known - members.begin());
        std::uint32_t bit = 1U << memberIndex_;
        if ((membersSeen_ & bit) != 0)
            return Syntax(Offset() - 1, "duplicate member " + Quoted(name));
        membersSeen_ |= bit;
        return true;
    }

    // The value of the current member of the current element is complete.
    bool ElementValue(const Json& value) {
        try {
            ReadObjectField(record_, memberIndex_, value, elementAt_, containers_);
        } catch (ReadError& error) {
            return RefuseElement(std::move(error));
        }
        memberValue_ = Json();
        return true;
    }

    bool FinishElement() {
        try {
            for (std::size_t i = 0; i < kRequiredObjectMembers; ++i) {
                if ((membersSeen_ & (1U << i)) == 0) {
                    Fail(elementAt_, "missing member \"" + std::string(kObjectMembers[i]) + "\"");
                }
            }
            Place(std::move(record_));
        } catch (ReadError& error) {
            return RefuseElement(std::move(error));
        }
        return true;
    }

    // Objects ------------------------------------------------------------------------------------

    // Puts the object under its parent, or keeps it until its parent has been placed.
    void Place(ObjectRecord&& record) {
        PathNode objectsAt{nullptr, "objects", PathNode::kMember};
        if (document_->FindById(record.id) != nullptr || waitingIds_.contains(record.id)) {
            Fail(objectsAt.Index(record.index).Member("id"),
                 "id " + NumberText(record.id) + " is used by an earlier object; ids are unique");
        }
        Object* parent = nullptr;
        if (record.parent != 0) {
            parent = document_->FindById(record.parent);
            if (parent == nullptr) {
                waitingIds_.emplace(record.id, record.index);
                waiting_[record.parent].push_back(std::move(record));
                return;
            }
        }
        ObjectId placed = Create(record, parent)->Id();
        // Children listed before this object can now follow it, and theirs after them.
        std::vector<ObjectId> work{placed};
        while (!work.empty()) {
            ObjectId id = work.back();
            work.pop_back();
            auto children = waiting_.find(id);
            if (children == waiting_.end()) continue;
            std::vector<ObjectRecord> list = std::move(children->second);
            waiting_.erase(children);
            Object* under = document_->FindById(id);
            for (ObjectRecord& child : list) {
                waitingIds_.erase(child.id);
                work.push_back(Create(child, under)->Id());
            }
        }
    }

    Object* Create(ObjectRecord& record, Object* parent) {
        Object* object = document_->CreateObject(record.type, record.name,
                                                 Placement{parent, nullptr}, record.id);
        if (object == nullptr) {
            PathNode objectsAt{nullptr, "objects", PathNode::kMember};
            throw ReadError{objectsAt.Index(record.index).Member("id").Text(),
                            "the host refused the id " + NumberText(record.id), record.offset};
        }
        object->SetEditorMode(record.editor);
        object->SetRenderMode(record.render);
        object->SetEnabled(record.enabled);
        std::int32_t bits = record.bits | (record.selected ? kBitActive : 0);
        if (bits != 0) object->SetBit(bits);
        object->Data() = std::move(record.data);
        if (record.transform) object->SetLocalTransform(*record.transform);
        if (record.mesh) meshUses_.push_back({object, *record.mesh, record.index, record.offset});
        return object;
    }

    // Objects still waiting at the end have a parent that is not in the scene, or lie on or below
    // a cycle of parents. The earliest of them leads to the cause.
    void RefuseWaiting() const {
        std::unordered_map<ObjectId, const ObjectRecord*> byId;
        const ObjectRecord* start = nullptr;
        for (const auto& [parent, list] : waiting_) {
            for (const ObjectRecord& record : list) {
                byId.emplace(record.id, &record);
                if (start == nullptr || record.index < start->index) start = &record;
            }
        }
        if (start == nullptr) return;
        PathNode objectsAt{nullptr, "objects", PathNode::kMember};
        std::unordered_set<ObjectId> seen;
        const ObjectRecord* record = start;
        while (true) {
            seen.insert(record->id);
            auto parent = byId.find(record->parent);
            if (parent == byId.end()) {
                throw ReadError{objectsAt.Index(record->index).Member("parent").Text(),
                                "no object of the scene has the id " + NumberText(record->parent),
                                record->offset};
            }
            record = parent->second;
            if (!seen.contains(record->id)) continue;
            std::string cycle = NumberText(record->id);
            for (const ObjectRecord* step = byId.at(record->parent);;
                 step = byId.at(step->parent)) {
                cycle += " -> " + NumberText(step->id);
                if (step == record) break;
            }
            throw ReadError{objectsAt.Index(record->index).Member("parent").Text(),
                            "the parents form a cycle: " + cycle, record->offset};
        }
    }

    // Every object that names a mesh names one of the list.
    void GiveMeshes() {
        const std::size_t count = geometry_.meshes.size();
        PathNode objectsAt{nullptr, "objects", PathNode::kMember};
        for (const MeshUse& use : meshUses_) {
            if (use.mesh >= count) {
                throw ReadError{objectsAt.Index(use.index).Member("mesh").Text(),
                                "mesh " + NumberText(use.mesh) +
                                    " is not in \"meshes\", which lists " + NumberText(count),
                                use.offset};
            }
            geometry_.uses.emplace_back(use.object, static_cast<std::uint32_t>(use.mesh));
        }
    }

    // The whole text has been read: check the top level and complete the document.
    void Finish() {
        PathNode top;
        // The place of an error in a top-level member is the line of its name.
        auto located = [this](auto&& step) {
            try {
                step();
            } catch (ReadError& error) {
                if (!error.offset) error.offset = RootMemberOffset(error.path);
                throw;
            }
        };
        // What the file is comes first: any other JSON file is told apart by its header.
        Require(root_, top, "format");
        Require(root_, top, "version");
        located([&] { version_ = CheckHeader(root_, top); });
        const bool geometry = version_ >= kSceneGeometryVersion;
        if (geometry) {
            CheckMembers(root_, top, kRootMembersWithGeometry);
            for (std::string_view name : kRootMembersWithGeometry) Require(root_, top, name);
        } else {
            CheckMembers(root_, top, kRootMembers);
            for (std::string_view name : kRootMembers) Require(root_, top, name);
        }
        located([&] {
            if (!root_.at("objects").is_array()) {
                Fail(top.Member("objects"),
                     "expected an array of objects, found " + Describe(root_.at("objects")));
            }
        });
        located([&] { document_->SetName(ReadString(root_.at("name"), top.Member("name"))); });
        located(
            [&] { document_->Data() = containers_.Read(root_.at("data"), top.Member("data"), 0); });
        located([&] { ReadTakes(root_.at("takes"), top.Member("takes"), *document_); });
        if (geometry) {
            located(
                [&] { ReadMeshList(root_.at("mesh_file"), root_.at("meshes"), top, geometry_); });
        }
        RefuseWaiting();
        GiveMeshes();
        // A link to an id that is in no document must stay empty.
        KeepLinkedIdsFree(*document_, containers_.HighestLink());
    }

    std::string_view text_;
    std::string source_;
    const MeshFileSource& meshFile_;
    const char* cursor_;
    std::string error_;

    int depth_ = 0;
    Json root_;
    std::vector<Json*> stack_;  // the open objects and arrays
    Json* member_ = nullptr;    // the value of the last key
    std::string rootMember_;    // the last key of the top level
    std::unordered_map<std::string, std::size_t> rootMemberOffsets_;

    Json* objectsArray_ = nullptr;  // the top level's "objects", which keeps no elements
    Json elementMarker_;            // stands on the stack for the element of "objects" being read
    PathNode objectsAt_{nullptr, "objects", PathNode::kMember};
    PathNode elementAt_;
    ObjectRecord record_;            // the element being read
    std::uint32_t membersSeen_ = 0;  // bit i: kObjectMembers[i]
    std::size_t memberIndex_ = 0;    // the member being read
    Json memberValue_;               // its value, when that is an object or an array
    std::size_t elementCount_ = 0;

    ContainerReader containers_;
    std::int64_t version_ = kSceneFormatVersion;
    SceneGeometry geometry_;
    std::vector<MeshUse> meshUses_;
    std::unique_ptr<Document> document_;
    // Objects whose parent has not been placed yet, by parent id, in the order of the file.
    std::unordered_map<ObjectId, std::vector<ObjectRecord>> waiting_;
    std::unordered_map<ObjectId, std::size_t> waitingIds_;
};

}  // namespace

SceneLoadResult ReadSceneChecked(std::string_view text, std::string_view sourceName,
                                 const MeshFileSource& meshFile) {
    if (meshFile.name.empty()) {
        const MeshFileSource named{std::string(sourceName) + ".mesh", meshFile.read};
        return SceneReader(text, sourceName, named).Run();
    }
    return SceneReader(text, sourceName, meshFile).Run();
}

MeshFileSource MeshFileInMemory(std::string_view bytes, std::string_view name) {
    return MeshFileSource{std::string(name), [bytes](std::string& read) -> std::string {
                              read.assign(bytes);
                              return {};
                          }};
}

MeshFileSource MeshFileOnDisk(const std::filesystem::path& scene) {
    const std::filesystem::path file = MeshFilePath(scene);
    return MeshFileSource{Utf8FromPath(file), [file](std::string& bytes) -> std::string {
                              const FileReading read = ReadWholeFile(file, bytes);
                              if (read.error == 0) return {};
                              if (!read.opened) {
                                  return "cannot open the scene's mesh file: " +
                                         ErrnoText(read.error);
                              }
                              if (read.error == ENOMEM) {
                                  return "not enough memory to read the scene's mesh file";
                              }
                              return "cannot read the scene's mesh file: " + ErrnoText(read.error);
                          }};
}

}  // namespace vhost::scene_file

namespace vhost {

namespace {

// The window a scene file is read through: objects of up to half of it (a few hundred bytes is
// usual) are read without holding the file whole.
constexpr std::size_t kSceneReadingWindow = std::size_t{4} << 20U;

}  // namespace

namespace {

SceneLoadResult ParseSceneFrom(std::string_view text, std::string_view sourceName,
                               const scene_file::MeshFileSource& meshFile) {
    try {
        // Most files are as the host wrote them; anything else, faults included, is read again
        // by the checking reader, which alone says what is wrong.
        if (std::unique_ptr<Document> document = scene_file::ReadSceneDirectly(text, meshFile)) {
            SceneLoadResult result;
            result.document = std::move(document);
            return result;
        }
        return scene_file::ReadSceneChecked(text, sourceName, meshFile);
    } catch (const std::bad_alloc&) {
        SceneLoadResult result;
        result.error = std::string(sourceName) + ": not enough memory to read the scene";
        return result;
    }
}

}  // namespace

SceneLoadResult ParseScene(std::string_view text, std::string_view sourceName) {
    return ParseSceneFrom(text, sourceName,
                          scene_file::MeshFileSource{std::string(sourceName) + ".mesh", nullptr});
}

SceneLoadResult ParseScene(std::string_view text, std::string_view sourceName,
                           std::string_view meshFile, std::string_view meshFileName) {
    return ParseSceneFrom(text, sourceName, scene_file::MeshFileInMemory(meshFile, meshFileName));
}

SceneLoadResult LoadScene(const std::filesystem::path& path, Progress* progress) {
    const std::string name = Utf8FromPath(path);
    if (progress != nullptr) {
        std::error_code unknown;
        const std::uintmax_t bytes = std::filesystem::file_size(path, unknown);
        progress->Stage("Opening " + Utf8FromPath(path.filename()), ProgressUnit::Bytes,
                        unknown ? 0 : bytes);
    }
    // Read through a window first, so that a large file is never held whole next to its scene.
    const scene_file::MeshFileSource meshFile = scene_file::MeshFileOnDisk(path);
    try {
        std::ifstream stream(path, std::ios::binary);
        if (stream.is_open()) {
            if (std::unique_ptr<Document> document = scene_file::ReadSceneDirectly(
                    stream, kSceneReadingWindow, meshFile, progress)) {
                SceneLoadResult result;
                result.document = std::move(document);
                return result;
            }
        }
    } catch (const std::bad_alloc&) {
        // Read again below, where running out of memory is reported.
    }
    // Past the reader that reports, a file not in the writer's form is read whole and checked.
    if (progress != nullptr && progress->Cancelled()) return SceneLoadResult::CancelledOf(name);
    std::string text;
    if (const FileReading read = ReadWholeFile(path, text); read.error != 0) {
        SceneLoadResult result;
        if (!read.opened) {
            result.error = name + ": cannot open the scene file: " + ErrnoText(read.error);
        } else if (read.error == ENOMEM) {
            result.error = name + ": not enough memory to read the scene file";
        } else {
            result.error = name + ": cannot read the scene file: " + ErrnoText(read.error);
        }
        return result;
    }
    return ParseSceneFrom(text, name, meshFile);
}

}  // namespace vhost
