#include "scene_file/direct_reader.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <istream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "scene_file/scene_encoding.h"
#include "scene_file/scene_file.h"
#include "scene_file/value_reader.h"
#include "text/ascii.h"
#include "text/utf8.h"

namespace vhost::scene_file {

namespace {

// Thrown when the reader is not sure of the text; the checking reader takes over.
struct NotSure {};

[[noreturn]] void GiveUp() { throw NotSure{}; }

// A JSON number as it stands in the text.
struct NumberToken {
    std::string_view text;
    bool integer = true;  // no fraction and no exponent
    bool negative = false;
};

struct TakeEntry {
    std::string name;
    bool main = false;
    bool current = false;
};

constexpr ObjectId kMaxFileObjectId = 9223372036854775807U;

class DirectReader {
public:
    DirectReader(std::string_view text, const MeshFileSource& meshFile)
        : meshFile_(meshFile),
          at_(text.data()),
          end_(text.data() + text.size()),
          document_(std::make_unique<Document>()),
          streamDone_(true) {}

    // Reads from `stream` through a window of `window` bytes.
    DirectReader(std::istream& stream, std::size_t window, const MeshFileSource& meshFile)
        : meshFile_(meshFile),
          at_(""),
          end_(at_),
          document_(std::make_unique<Document>()),
          stream_(&stream),
          windowSize_(window) {
        Refill();
    }

    std::unique_ptr<Document> Read() {
        Expect('{');
        Member("format");
        if (String() != kSceneFormatName) GiveUp();
        Next("version");
        const std::int64_t version = Int64();
        if (version != kSceneFormatVersion && version != kSceneGeometryVersion) GiveUp();
        withGeometry_ = version == kSceneGeometryVersion;
        Next("name");
        std::string name(String());
        Next("data");
        Container data = ReadContainer(0);
        Next("takes");
        std::optional<std::vector<TakeEntry>> takes = ReadTakes();
        if (withGeometry_) ReadMeshList();
        Next("objects");
        ReadObjects();
        Refill();
        Expect('}');
        SkipSpace();
        if (at_ != end_ || !streamDone_) GiveUp();
        // In the checking reader's order: the name, the data, the takes after the objects.
        document_->SetName(name);
        document_->Data() = std::move(data);
        ApplyTakes(takes);
        KeepLinkedIdsFree(*document_, highestLink_);
        if (!AttachGeometry(geometry_, meshFile_).empty()) GiveUp();
        return std::move(document_);
    }

private:
    // Characters ----------------------------------------------------------------------------------

    // Reading from a stream, moves what is left of the window to its front and fills the rest,
    // once less than half of it is left. Called only where no view into the window is held: at
    // the start and between objects. An object larger than half the window runs into the end of
    // the window, and the reader gives up.
    void Refill() {
        if (streamDone_) return;
        const auto left = static_cast<std::size_t>(end_ - at_);
        if (!window_.empty() && left >= windowSize_ / 2) return;
        std::string next(windowSize_, '\0');
        if (left > 0) std::memcpy(next.data(), at_, left);
        stream_->read(next.data() + left, static_cast<std::streamsize>(windowSize_ - left));
        const auto read = static_cast<std::size_t>(stream_->gcount());
        if (stream_->bad()) GiveUp();
        if (stream_->eof()) streamDone_ = true;
        window_ = std::move(next);
        at_ = window_.data();
        end_ = window_.data() + left + read;
    }

    void SkipSpace() {
        while (at_ != end_ && (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) ++at_;
    }

    char Peek() {
        SkipSpace();
        return at_ != end_ ? *at_ : '\0';
    }

    void Expect(char c) {
        if (Peek() != c) GiveUp();
        ++at_;
    }

    bool Accept(char c) {
        if (Peek() != c) return false;
        ++at_;
        return true;
    }

    // `"name":`, the name written without escapes as the writer writes it.
    void Member(std::string_view name) {
        Expect('"');
        if (static_cast<std::size_t>(end_ - at_) < name.size() + 1 ||
            std::string_view(at_, name.size()) != name || at_[name.size()] != '"') {
            GiveUp();
        }
        at_ += name.size() + 1;
        Expect(':');
    }

    // `"name":` when it comes next; else nothing is read.
    bool AcceptMember(std::string_view name) {
        SkipSpace();
        if (static_cast<std::size_t>(end_ - at_) < name.size() + 2 || at_[0] != '"' ||
            std::string_view(at_ + 1, name.size()) != name || at_[name.size() + 1] != '"') {
            return false;
        }
        at_ += name.size() + 2;
        Expect(':');
        return true;
    }

    void Next(std::string_view name) {
        Expect(',');
        Member(name);
    }

    bool Literal(std::string_view word) {
        SkipSpace();
        if (static_cast<std::size_t>(end_ - at_) < word.size() ||
            std::string_view(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    bool Null() { return Literal("null"); }

    bool Bool() {
        if (Literal("true")) return true;
        if (Literal("false")) return false;
        GiveUp();
    }

    // Strings: a view of the text itself when it has no escapes, else of the decoded copy (valid
    // until the next string is read).
    std::string_view String() {
        Expect('"');
        const char* start = at_;
        while (at_ != end_) {
            const auto c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                std::string_view plain(start, static_cast<std::size_t>(at_ - start));
                ++at_;
                return plain;
            }
            if (c == '\\') return EscapedString(start);
            if (c < 0x20U) GiveUp();
            if (c < 0x80U) {
                ++at_;
                continue;
            }
            StepUtf8();
        }
        GiveUp();
    }

    void StepUtf8() {
        const std::size_t length =
            DecodeUtf8(std::string_view(at_, static_cast<std::size_t>(end_ - at_))).length;
        if (length == 0) GiveUp();
        at_ += length;
    }

    std::string_view EscapedString(const char* start) {
        decoded_.assign(start, at_);
        while (at_ != end_) {
            const char c = *at_;
            if (c == '"') {
                ++at_;
                return decoded_;
            }
            if (c == '\\') {
                Escape();
                continue;
            }
            if (static_cast<unsigned char>(c) < 0x20U) GiveUp();
            const char* from = at_;
            if (static_cast<unsigned char>(c) < 0x80U) {
                ++at_;
            } else {
                StepUtf8();
            }
            decoded_.append(from, at_);
        }
        GiveUp();
    }

    void Escape() {
        if (end_ - at_ < 2) GiveUp();
        const char c = at_[1];
        at_ += 2;
        switch (c) {
            case '"':
            case '\\':
            case '/':
                decoded_ += c;
                return;
            case 'b':
                decoded_ += '\b';
                return;
            case 'f':
                decoded_ += '\f';
                return;
            case 'n':
                decoded_ += '\n';
                return;
            case 'r':
                decoded_ += '\r';
                return;
            case 't':
                decoded_ += '\t';
                return;
            case 'u':
                AppendEscapedCharacter();
                return;
            default:
                GiveUp();
        }
    }

    // The code point of `\uXXXX`, a surrogate pair taken as one.
    void AppendEscapedCharacter() {
        char32_t code = FourHex();
        if (code >= 0xDC00U && code <= 0xDFFFU) GiveUp();
        if (code >= 0xD800U && code <= 0xDBFFU) {
            if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u') GiveUp();
            at_ += 2;
            const char32_t low = FourHex();
            if (low < 0xDC00U || low > 0xDFFFU) GiveUp();
            code = 0x10000U + ((code - 0xD800U) << 10U) + (low - 0xDC00U);
        }
        AppendUtf8(decoded_, code);
    }

    char32_t FourHex() {
        if (end_ - at_ < 4) GiveUp();
        char32_t code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(at_[i]);
            if (digit < 0) GiveUp();
            code = (code << 4U) | static_cast<char32_t>(digit);
        }
        at_ += 4;
        return code;
    }

    // Numbers -------------------------------------------------------------------------------------

    // A number by the JSON grammar; what follows it is checked by whoever reads on.
    NumberToken Number() {
        SkipSpace();
        NumberToken token;
        const char* start = at_;
        if (at_ != end_ && *at_ == '-') {
            token.negative = true;
            ++at_;
        }
        if (at_ == end_ || !IsAsciiDigit(*at_)) GiveUp();
        if (*at_ == '0') {
            ++at_;
            if (at_ != end_ && IsAsciiDigit(*at_)) GiveUp();
        } else {
            Digits();
        }
        if (at_ != end_ && *at_ == '.') {
            token.integer = false;
            ++at_;
            if (at_ == end_ || !IsAsciiDigit(*at_)) GiveUp();
            Digits();
        }
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            token.integer = false;
            ++at_;
            if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
            if (at_ == end_ || !IsAsciiDigit(*at_)) GiveUp();
            Digits();
        }
        token.text = std::string_view(start, static_cast<std::size_t>(at_ - start));
        return token;
    }

    void Digits() {
        while (at_ != end_ && IsAsciiDigit(*at_)) ++at_;
    }

    template <typename Integer>
    static Integer Parse(std::string_view text) {
        Integer value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc{} || end != text.data() + text.size()) GiveUp();
        return value;
    }

    std::int64_t Int64() {
        const NumberToken token = Number();
        if (!token.integer) GiveUp();
        return Parse<std::int64_t>(token.text);
    }

    std::int32_t Int32() {
        const std::int64_t value = Int64();
        if (value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max()) {
            GiveUp();
        }
        return static_cast<std::int32_t>(value);
    }

    ObjectId Id() {
        const NumberToken token = Number();
        if (!token.integer || token.negative) GiveUp();
        const auto id = Parse<std::uint64_t>(token.text);
        if (id == 0 || id > kMaxFileObjectId) GiveUp();
        return id;
    }

    ObjectId IdOrNull() { return Null() ? 0 : Id(); }

    // An integer given for a float is taken as an integer first (so -0 is 0, as the checking
    // reader has it); a float is parsed with correct rounding.
    double Float() {
        if (Peek() == '"') {
            const std::string_view word = String();
            if (word == "nan") return std::numeric_limits<double>::quiet_NaN();
            if (word == "inf") return std::numeric_limits<double>::infinity();
            if (word == "-inf") return -std::numeric_limits<double>::infinity();
            GiveUp();
        }
        const NumberToken token = Number();
        if (token.integer) {
            if (token.negative) return static_cast<double>(Parse<std::int64_t>(token.text));
            return static_cast<double>(Parse<std::uint64_t>(token.text));
        }
        return Parse<double>(token.text);
    }

    // Containers ----------------------------------------------------------------------------------

    Container ReadContainer(int nesting) {
        Expect('{');
        Member("id");
        Container container(Int32());
        Next("entries");
        Expect('[');
        if (!Accept(']')) {
            do {
                ReadEntry(container, nesting);
            } while (Accept(','));
            Expect(']');
        }
        Expect('}');
        return container;
    }

    void ReadEntry(Container& container, int nesting) {
        Expect('{');
        Member("key");
        const std::int32_t key = Int32();
        Expect(',');
        Expect('"');
        const char* name = at_;
        while (at_ != end_ && ((*at_ >= 'a' && *at_ <= 'z') || IsAsciiDigit(*at_))) ++at_;
        const std::string_view type(name, static_cast<std::size_t>(at_ - name));
        Expect('"');
        Expect(':');
        Value value = ReadValue(type, nesting);
        Expect('}');
        if (container.Has(key)) GiveUp();
        container.Set(key, std::move(value));
    }

    Value ReadValue(std::string_view type, int nesting) {
        if (type == "int32") return Value::Int32(Int32());
        if (type == "int64") return Value::Int64(Int64());
        if (type == "float") return Value::Float(Float());
        if (type == "string") return Value::String(String());
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
        if (type == "none" && Null()) return Value();
        GiveUp();
    }

    CustomData ReadCustom() {
        Expect('{');
        Member("type");
        CustomData custom;
        custom.type = Int32();
        if (custom.type < kFirstCustomType) GiveUp();
        Next("base64");
        std::optional<std::vector<std::byte>> bytes = DecodeBase64(String());
        if (!bytes) GiveUp();
        custom.record = std::move(*bytes);
        Expect('}');
        return custom;
    }

    // Takes ---------------------------------------------------------------------------------------

    std::optional<std::vector<TakeEntry>> ReadTakes() {
        if (Null()) return std::nullopt;
        std::vector<TakeEntry> takes;
        Expect('[');
        bool anyCurrent = false;
        do {
            TakeEntry& take = takes.emplace_back();
            Expect('{');
            Member("name");
            take.name = String();
            Next("main");
            take.main = Bool();
            Next("current");
            take.current = Bool();
            Expect('}');
            // The first take, and only the first, is the main take, which the host names itself.
            if (take.main != (takes.size() == 1)) GiveUp();
            if (take.current && std::exchange(anyCurrent, true)) GiveUp();
        } while (Accept(','));
        Expect(']');
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

    std::uint64_t Index() {
        const NumberToken token = Number();
        if (!token.integer || token.negative) GiveUp();
        return Parse<std::uint64_t>(token.text);
    }

    void ReadMeshList() {
        Next("mesh_file");
        std::uint64_t parts = 0;
        if (!Null()) {
            Expect('{');
            MeshFileRecord record;
            Member("bytes");
            record.bytes = Index();
            Next("crc32");
            const std::uint64_t crc = Index();
            if (crc > 0xFFFFFFFFU) GiveUp();
            record.crc32 = static_cast<std::uint32_t>(crc);
            Next("parts");
            record.parts = Index();
            Expect('}');
            parts = record.parts;
            geometry_.meshFile = record;
        }
        Next("meshes");
        Expect('[');
        if (Accept(']')) return;
        do {
            Expect('{');
            Member("parts");
            Expect('[');
            std::vector<std::uint32_t>& mesh = geometry_.meshes.emplace_back();
            if (!Accept(']')) {
                do {
                    const std::uint64_t part = Index();
                    if (part >= parts) GiveUp();
                    mesh.push_back(static_cast<std::uint32_t>(part));
                } while (Accept(','));
                Expect(']');
            }
            Expect('}');
        } while (Accept(','));
        Expect(']');
    }

    // The members a version 2 object may have after its data.
    void ReadObjectGeometry(std::optional<Matrix>& transform, std::optional<std::uint32_t>& mesh) {
        if (!withGeometry_ || Peek() != ',') return;
        Expect(',');
        if (AcceptMember("transform")) {
            transform = Transform();
            if (!Accept(',')) return;
            Member("mesh");
        } else if (!AcceptMember("mesh")) {
            GiveUp();
        }
        const std::uint64_t index = Index();
        if (index >= geometry_.meshes.size()) GiveUp();
        mesh = static_cast<std::uint32_t>(index);
    }

    Matrix Transform() {
        std::array<double, 12> numbers{};
        Expect('[');
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (i > 0) Expect(',');
            const NumberToken token = Number();
            numbers[i] = token.integer ? static_cast<double>(Parse<std::int64_t>(token.text))
                                       : Parse<double>(token.text);
            if (!std::isfinite(numbers[i])) GiveUp();
        }
        Expect(']');
        return Matrix{{numbers[0], numbers[1], numbers[2]},
                      {numbers[3], numbers[4], numbers[5]},
                      {numbers[6], numbers[7], numbers[8]},
                      {numbers[9], numbers[10], numbers[11]}};
    }

    // Objects -------------------------------------------------------------------------------------

    void ReadObjects() {
        Expect('[');
        Refill();
        if (Accept(']')) return;
        do {
            Refill();
            ReadObject();
        } while (Accept(','));
        Expect(']');
    }

    // The object is made only once all of it has been read, as the checking reader makes it, so
    // that giving up never makes an object (and moves the id counter) the checking reader would
    // not.
    void ReadObject() {
        Expect('{');
        Member("id");
        const ObjectId id = Id();
        Next("parent");
        const ObjectId parentId = IdOrNull();
        Next("type");
        const std::int32_t type = TypeNumber();
        Next("name");
        objectName_.assign(String());
        Next("editor");
        const Mode editor = VisibilityMode();
        Next("render");
        const Mode render = VisibilityMode();
        Next("enabled");
        const bool enabled = Bool();
        Next("selected");
        const bool selected = Bool();
        Next("bits");
        const std::int32_t bits = Int32();
        if ((bits & kBitActive) != 0) GiveUp();
        Next("data");
        Container data = ReadContainer(0);
        std::optional<Matrix> transform;
        std::optional<std::uint32_t> mesh;
        ReadObjectGeometry(transform, mesh);
        Expect('}');
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
        if (Peek() == '"') {
            const ObjectType* known = KnownTypes().FindByToken(String());
            if (known == nullptr) GiveUp();
            return known->type;
        }
        const std::int64_t number = Int64();
        if (number <= 0 || number > std::numeric_limits<std::int32_t>::max()) GiveUp();
        return static_cast<std::int32_t>(number);
    }

    Mode VisibilityMode() {
        const std::optional<Mode> mode = ModeFromName(String());
        if (!mode) GiveUp();
        return *mode;
    }

    const MeshFileSource& meshFile_;
    bool withGeometry_ = false;
    SceneGeometry geometry_;
    const char* at_;
    const char* end_;
    std::string decoded_;
    std::string objectName_;  // the name of the object being read
    ObjectId highestLink_ = 0;
    std::unique_ptr<Document> document_;
    Object* last_ = nullptr;  // the object placed last
    // Reading from a stream: the window of text, and whether the stream has given all it has.
    std::istream* stream_ = nullptr;
    std::size_t windowSize_ = 0;
    std::string window_;
    bool streamDone_ = false;
};

}  // namespace

std::unique_ptr<Document> ReadSceneDirectly(std::string_view text, const MeshFileSource& meshFile) {
    try {
        return DirectReader(text, meshFile).Read();
    } catch (const NotSure&) {
        return nullptr;
    }
}

std::unique_ptr<Document> ReadSceneDirectly(std::istream& stream, std::size_t window,
                                            const MeshFileSource& meshFile) {
    try {
        return DirectReader(stream, window, meshFile).Read();
    } catch (const NotSure&) {
        return nullptr;
    }
}

}  // namespace vhost::scene_file
