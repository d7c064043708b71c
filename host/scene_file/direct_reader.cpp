#include "scene_file/direct_reader.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scene_file/direct_lexer.h"
#include "scene_file/scene_encoding.h"
#include "scene_file/scene_file.h"
#include "scene_file/value_reader.h"

namespace vhost::scene_file {

namespace {

// Thrown where the reader sees that its progress was cancelled.
struct ReadingCancelled {};

struct TakeEntry {
    std::string name;
    bool main = false;
    bool current = false;
};

constexpr ObjectId kMaxFileObjectId = 9223372036854775807U;

class DirectReader {
public:
    DirectReader(std::string_view text, const MeshFileSource& meshFile, Progress* progress)
        : json_(text),
          meshFile_(meshFile),
          progress_(progress != nullptr ? *progress : unseen_),
          document_(std::make_unique<Document>()) {}

    // Reads from `stream` through a window of `window` bytes.
    DirectReader(std::istream& stream, std::size_t window, const MeshFileSource& meshFile,
                 Progress* progress)
        : json_(stream, window),
          meshFile_(meshFile),
          progress_(progress != nullptr ? *progress : unseen_),
          document_(std::make_unique<Document>()) {}

    std::unique_ptr<Document> Read() {
        json_.Expect('{');
        json_.Member("format");
        if (json_.String() != kSceneFormatName) GiveUp();
        json_.Next("version");
        const std::int64_t version = json_.Int64();
        if (version < kSceneFormatVersion || version > kSceneLatestVersion) GiveUp();
        withGeometry_ = version >= kSceneGeometryVersion;
        json_.Next("name");
        std::string name(json_.String());
        json_.Next("data");
        Container data = ReadContainer(0);
        json_.Next("takes");
        std::optional<std::vector<TakeEntry>> takes = ReadTakes();
        if (withGeometry_) ReadMeshList();
        json_.Next("objects");
        ReadObjects();
        json_.Refill();
        json_.Expect('}');
        if (!json_.AtEnd()) GiveUp();
        // In the checking reader's order: the name, the data, the takes after the objects.
        document_->SetName(name);
        document_->Data() = std::move(data);
        ApplyTakes(takes);
        KeepLinkedIdsFree(*document_, highestLink_);
        if (!AttachGeometry(geometry_, meshFile_).empty()) GiveUp();
        return std::move(document_);
    }

private:
    // Ids and floats ------------------------------------------------------------------------------

    ObjectId Id() {
        const NumberToken token = json_.Number();
        if (!token.integer || token.negative) GiveUp();
        const auto id = DirectLexer::Parse<std::uint64_t>(token.text);
        if (id == 0 || id > kMaxFileObjectId) GiveUp();
        return id;
    }

    ObjectId IdOrNull() { return json_.Null() ? 0 : Id(); }

    // An integer given for a float is taken as an integer first (so -0 is 0, as the checking
    // reader has it); a float is parsed with correct rounding.
    double Float() {
        if (json_.Peek() == '"') {
            const std::string_view word = json_.String();
            if (word == "nan") return std::numeric_limits<double>::quiet_NaN();
            if (word == "inf") return std::numeric_limits<double>::infinity();
            if (word == "-inf") return -std::numeric_limits<double>::infinity();
            GiveUp();
        }
        const NumberToken token = json_.Number();
        if (token.integer) {
            if (token.negative)
                return static_cast<double>(DirectLexer::Parse<std::int64_t>(token.text));
            return static_cast<double>(DirectLexer::Parse<std::uint64_t>(token.text));
        }
        return DirectLexer::Parse<double>(token.text);
    }

    // Containers ----------------------------------------------------------------------------------

    Container ReadContainer(int nesting) {
        json_.Expect('{');
        json_.Member("id");
        Container container(json_.Int32());
        json_.Next("entries");
        json_.Expect('[');
        if (!json_.Accept(']')) {
            do {
                ReadEntry(container, nesting);
            } while (json_.Accept(','));
            json_.Expect(']');
        }
        json_.Expect('}');
        return container;
    }

    void ReadEntry(Container& container, int nesting) {
        json_.Expect('{');
        json_.Member("key");
        const std::int32_t key = json_.Int32();
        json_.Expect(',');
        const std::string_view type = json_.Word();
        json_.Expect(':');
        Value value = ReadValue(type, nesting);
        json_.Expect('}');
        if (container.Has(key)) GiveUp();
        container.Set(key, std::move(value));
    }

    Value ReadValue(std::string_view type, int nesting) {
        if (type == "int32") return Value::Int32(json_.Int32());
        if (type == "int64") return Value::Int64(json_.Int64());
        if (type == "float") return Value::Float(Float());
        if (type == "string") return Value::String(json_.String());
        if (type == "link") {
            const ObjectId target = IdOrNull();
            highestLink_ = std::max(highestLink_, target);
            return Value::Link(target);
        }
        if (type == "container") {
            if (nesting >= kSceneMaxContainerNesting) GiveUp();
            return Value::Nested(ReadContainer(nesting + 1));
        }
        if (type == "custom") return Value::Custom(ReadCustom());
        if (type == "none" && json_.Null()) return Value();
        GiveUp();
    }

    CustomData ReadCustom() {
        json_.Expect('{');
        json_.Member("type");
        CustomData custom;
        custom.type = json_.Int32();
        if (custom.type < kFirstCustomType) GiveUp();
        json_.Next("base64");
        std::optional<std::vector<std::byte>> bytes = DecodeBase64(json_.String());
        if (!bytes) GiveUp();
        custom.record = std::move(*bytes);
        json_.Expect('}');
        return custom;
    }

    // Takes ---------------------------------------------------------------------------------------

    std::optional<std::vector<TakeEntry>> ReadTakes() {
        if (json_.Null()) return std::nullopt;
        std::vector<TakeEntry> takes;
        json_.Expect('[');
        bool anyCurrent = false;
        do {
            TakeEntry& take = takes.emplace_back();
            json_.Expect('{');
            json_.Member("name");
            take.name = json_.String();
            json_.Next("main");
            take.main = json_.Bool();
            json_.Next("current");
            take.current = json_.Bool();
            json_.Expect('}');
            // The first take, and only the first, is the main take, which the host names itself.
            if (take.main != (takes.size() == 1)) GiveUp();
            if (take.current && std::exchange(anyCurrent, true)) GiveUp();
        } while (json_.Accept(','));
        json_.Expect(']');
        return takes;
    }

    void ApplyTakes(const std::optional<std::vector<TakeEntry>>& entries) {
        if (!entries) {
            document_->RemoveTakeData();
            return;
        }
        document_->EnsureTakeData();
        TakeData& takes = *document_->Takes();
        Take* current = nullptr;
        for (const TakeEntry& entry : *entries) {
            Take* take = nullptr;
            if (entry.main) {
                take = takes.MainTake();
                if (entry.name != take->Name()) GiveUp();
            } else {
                take = takes.AddTake(entry.name);
            }
            if (entry.current) current = take;
        }
        takes.SetCurrent(current);
    }

    // Geometry ------------------------------------------------------------------------------------

    void ReadMeshList() {
        json_.Next("mesh_file");
        std::uint64_t parts = 0;
        if (!json_.Null()) {
            json_.Expect('{');
            MeshFileRecord record;
            json_.Member("bytes");
            record.bytes = json_.Count();
            json_.Next("crc32");
            const std::uint64_t crc = json_.Count();
            if (crc > 0xFFFFFFFFU) GiveUp();
            record.crc32 = static_cast<std::uint32_t>(crc);
            json_.Next("parts");
            record.parts = json_.Count();
            json_.Expect('}');
            parts = record.parts;
            geometry_.meshFile = record;
        }
        json_.Next("meshes");
        json_.Expect('[');
        if (json_.Accept(']')) return;
        do {
            json_.Expect('{');
            json_.Member("parts");
            json_.Expect('[');
            std::vector<std::uint32_t>& mesh = geometry_.meshes.emplace_back();
            if (!json_.Accept(']')) {
                do {
                    const std::uint64_t part = json_.Count();
                    if (part >= parts) GiveUp();
                    mesh.push_back(static_cast<std::uint32_t>(part));
                } while (json_.Accept(','));
                json_.Expect(']');
            }
            json_.Expect('}');
        } while (json_.Accept(','));
        json_.Expect(']');
    }

    // The members a version 2 object may have after its data.
    void ReadObjectGeometry(std::optional<Matrix>& transform, std::optional<std::uint32_t>& mesh) {
        if (!withGeometry_ || json_.Peek() != ',') return;
        json_.Expect(',');
        if (json_.AcceptMember("transform")) {
            transform = Transform();
            if (!json_.Accept(',')) return;
            json_.Member("mesh");
        } else if (!json_.AcceptMember("mesh")) {
            GiveUp();
        }
        const std::uint64_t index = json_.Count();
        if (index >= geometry_.meshes.size()) GiveUp();
        mesh = static_cast<std::uint32_t>(index);
    }

    Matrix Transform() {
        std::array<double, 12> numbers{};
        json_.Expect('[');
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (i > 0) json_.Expect(',');
            const NumberToken token = json_.Number();
            numbers[i] = token.integer
                             ? static_cast<double>(DirectLexer::Parse<std::int64_t>(token.text))
                             : DirectLexer::Parse<double>(token.text);
            if (!std::isfinite(numbers[i])) GiveUp();
        }
        json_.Expect(']');
        return Matrix{{numbers[0], numbers[1], numbers[2]},
                      {numbers[3], numbers[4], numbers[5]},
                      {numbers[6], numbers[7], numbers[8]},
                      {numbers[9], numbers[10], numbers[11]}};
    }

    // Objects -------------------------------------------------------------------------------------

    void ReadObjects() {
        json_.Expect('[');
        json_.Refill();
        if (json_.Accept(']')) return;
        do {
            json_.Refill();
            if (!progress_.Advance(json_.Offset())) throw ReadingCancelled{};
            ReadObject();
        } while (json_.Accept(','));
        json_.Expect(']');
    }

    // The object is made only once all of it has been read, as the checking reader makes it, so
    // that giving up never makes an object (and moves the id counter) the checking reader would
    // not.
    void ReadObject() {
        json_.Expect('{');
        json_.Member("id");
        const ObjectId id = Id();
        json_.Next("parent");
        const ObjectId parentId = IdOrNull();
        json_.Next("type");
        const std::int32_t type = TypeNumber();
        json_.Next("name");
        objectName_.assign(json_.String());
        json_.Next("editor");
        const Mode editor = VisibilityMode();
        json_.Next("render");
        const Mode render = VisibilityMode();
        json_.Next("enabled");
        const bool enabled = json_.Bool();
        json_.Next("selected");
        const bool selected = json_.Bool();
        json_.Next("bits");
        const std::int32_t bits = json_.Int32();
        if ((bits & kBitActive) != 0) GiveUp();
        json_.Next("data");
        Container data = ReadContainer(0);
        std::optional<Matrix> transform;
        std::optional<std::uint32_t> mesh;
        ReadObjectGeometry(transform, mesh);
        json_.Expect('}');
        Object* parent = nullptr;
        if (parentId != 0) {
            parent = PlacedParent(parentId);
            if (parent == nullptr) GiveUp();
        }
        // Refused when the id is taken.
        Object* object = document_->CreateObject(type, objectName_, Placement{parent, nullptr}, id);
        if (object == nullptr) GiveUp();
        last_ = object;
        object->SetEditorMode(editor);
        object->SetRenderMode(render);
        object->SetEnabled(enabled);
        if (const std::int32_t all = bits | (selected ? kBitActive : 0); all != 0) {
            object->SetBit(all);
        }
        object->Data() = std::move(data);
        if (transform) object->SetLocalTransform(*transform);
        if (mesh) geometry_.uses.emplace_back(object, *mesh);
    }

    // In tree order an object's parent is the object before it or one of that one's nearest
    // ancestors; further up, or elsewhere, it is looked up by id.
    Object* PlacedParent(ObjectId id) const {
        constexpr int kNearest = 8;
        Object* above = last_;
        for (int level = 0; above != nullptr && level < kNearest; ++level, above = above->Up()) {
            if (above->Id() == id) return above;
        }
        return document_->FindById(id);
    }

    std::int32_t TypeNumber() {
        if (json_.Peek() == '"') {
            const ObjectType* known = KnownTypes().FindByToken(json_.String());
            if (known == nullptr) GiveUp();
            return known->type;
        }
        const std::int64_t number = json_.Int64();
        if (number <= 0 || number > std::numeric_limits<std::int32_t>::max()) GiveUp();
        return static_cast<std::int32_t>(number);
    }

    Mode VisibilityMode() {
        const std::optional<Mode> mode = ModeFromName(json_.String());
        if (!mode) GiveUp();
        return *mode;
    }

    DirectLexer json_;
    const MeshFileSource& meshFile_;
    Progress unseen_;  // progress_ when the caller has none
    Progress& progress_;
    bool withGeometry_ = false;
    SceneGeometry geometry_;
    std::string objectName_;  // the name of the object being read
    ObjectId highestLink_ = 0;
    std::unique_ptr<Document> document_;
    Object* last_ = nullptr;  // the object placed last
};

}  // namespace

std::unique_ptr<Document> ReadSceneDirectly(std::string_view text, const MeshFileSource& meshFile,
                                            Progress* progress) {
    try {
        return DirectReader(text, meshFile, progress).Read();
    } catch (const NotSure&) {
        return nullptr;
    } catch (const ReadingCancelled&) {
        return nullptr;
    }
}

std::unique_ptr<Document> ReadSceneDirectly(std::istream& stream, std::size_t window,
                                            const MeshFileSource& meshFile, Progress* progress) {
    try {
        return DirectReader(stream, window, meshFile, progress).Read();
    } catch (const NotSure&) {
        return nullptr;
    } catch (const ReadingCancelled&) {
        return nullptr;
    }
}

}  // namespace vhost::scene_file
