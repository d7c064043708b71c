#include "scene_file/mesh_companion.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

#include "platform/little_endian.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_encoding.h"
#include "text/quoting.h"

namespace vhost::scene_file {

namespace {

constexpr std::string_view kMagic = "VELAMESH";
// Layout 1 (scene version 2) had no textures, texture points or colours; it is still read.
constexpr std::uint32_t kFirstLayout = 1;
constexpr std::uint32_t kLayoutVersion = 2;
constexpr std::size_t kHeaderBytes = kMagic.size() + 12;

static_assert(sizeof(Point) == 12 && sizeof(Triangle) == 12, "arrays are copied as they lie");
static_assert(sizeof(TexturePoint) == 8 && sizeof(Color) == 16, "arrays are copied as they lie");
// On a little-endian machine the arrays are the file's bytes as they are; elsewhere they are
// turned byte by byte.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
        table[n] = c;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

void AppendF32(std::string& out, float value) {
    AppendLittleEndian32(out, std::bit_cast<std::uint32_t>(value));
}

std::uint32_t CountOf(std::size_t size) { return static_cast<std::uint32_t>(size); }

// Arrays of 32-bit numbers, Words per element (points, triangles, texture points, colours).
template <std::size_t Words = 3, typename Element>
void AppendTriples(std::string& out, const std::vector<Element>& elements) {
    static_assert(sizeof(Element) == Words * 4);
    if constexpr (kLittleEndian) {
        out.append(reinterpret_cast<const char*>(elements.data()), elements.size() * Words * 4);
    } else {
        for (const Element& element : elements) {
            std::array<std::uint32_t, Words> words{};
            std::memcpy(words.data(), &element, Words * 4);
            for (std::uint32_t word : words) AppendLittleEndian32(out, word);
        }
    }
}

void AppendTexture(std::string& out, const Texture& texture) {
    const std::size_t start = out.size();
    AppendLittleEndian32(out, CountOf(texture.name.size()));
    out += texture.name;
    AppendLittleEndian32(out, static_cast<std::uint32_t>(texture.format));
    AppendLittleEndian32(out, texture.width);
    AppendLittleEndian32(out, texture.height);
    AppendLittleEndian32(out, CountOf(texture.bytes.size()));
    out += texture.bytes;
    AppendLittleEndian32(out, Crc32(std::string_view(out).substr(start)));
}

// `texture`: 1 + the index of the part's texture in the file; 0: none.
void AppendPart(std::string& out, const MeshPart& part, std::uint32_t texture) {
    const std::size_t start = out.size();
    AppendLittleEndian32(out, CountOf(part.name.size()));
    out += part.name;
    for (float channel : {part.baseColor.r, part.baseColor.g, part.baseColor.b, part.baseColor.a}) {
        AppendF32(out, channel);
    }
    AppendLittleEndian32(out, CountOf(part.positions.size()));
    AppendLittleEndian32(out, CountOf(part.normals.size()));
    AppendLittleEndian32(out, CountOf(part.triangles.size()));
    AppendTriples(out, part.positions);
    AppendTriples(out, part.normals);
    AppendTriples(out, part.triangles);
    AppendLittleEndian32(out, CountOf(part.texturePoints.size()));
    AppendLittleEndian32(out, CountOf(part.colors.size()));
    AppendLittleEndian32(out, texture);
    AppendTriples<2>(out, part.texturePoints);
    AppendTriples<4>(out, part.colors);
    AppendLittleEndian32(out, Crc32(std::string_view(out).substr(start)));
}

// What is wrong with the mesh file; the reader says it with the file's name.
struct Damage {
    std::string message;
};

// Reads the file front to back; every read that would pass its end is damage.
class MeshFileDecoder {
public:
    explicit MeshFileDecoder(std::string_view bytes) : bytes_(bytes) {}

    std::vector<std::shared_ptr<const MeshPart>> Parts() {
        if (bytes_.substr(0, kMagic.size()) != kMagic) {
            throw Damage{"not a mesh file of this host (it does not begin with \"VELAMESH\")"};
        }
        at_ = kMagic.size();
        where_ = "the header";
        layout_ = U32();
        if (layout_ < kFirstLayout || layout_ > kLayoutVersion) {
            throw Damage{"layout version " + NumberText(layout_) +
                         " of the mesh file; this host reads " + NumberText(kFirstLayout) + " to " +
                         NumberText(kLayoutVersion)};
        }
        const std::uint32_t count = U32();
        if (layout_ >= 2) Textures();
        // Each part takes at least 36 bytes: a count the file cannot hold reserves no more.
        std::vector<std::shared_ptr<const MeshPart>> parts;
        parts.reserve(std::min<std::size_t>(count, (bytes_.size() - at_) / 36));
        for (std::uint32_t i = 0; i < count; ++i) parts.push_back(Part(i));
        if (at_ != bytes_.size()) {
            throw Damage{NumberText(bytes_.size() - at_) + " bytes follow the last part"};
        }
        return parts;
    }

private:
    Damage Cut() const {
        return Damage{"the file is cut short in " + where_ + " (it has " +
                      NumberText(bytes_.size()) + " bytes)"};
    }

    std::string_view Take(std::size_t size) {
        if (size > bytes_.size() - at_) throw Cut();
        const std::string_view taken = bytes_.substr(at_, size);
        at_ += size;
        return taken;
    }

    std::uint32_t U32() {
        const std::string_view four = Take(4);
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(four[i])) << (8U * i);
        }
        return value;
    }

    float F32() { return std::bit_cast<float>(U32()); }

    template <std::size_t Words = 3, typename Element>
    void Triples(std::vector<Element>& elements, std::uint32_t count) {
        static_assert(sizeof(Element) == Words * 4);
        const std::string_view bytes = Take(std::size_t{count} * Words * 4);
        elements.resize(count);
        if (count == 0) return;  // an empty vector's data() may be null, which memcpy must not get
        if constexpr (kLittleEndian) {
            std::memcpy(elements.data(), bytes.data(), bytes.size());
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                std::array<std::uint32_t, Words> words{};
                for (std::size_t w = 0; w < Words; ++w) {
                    for (std::size_t b = 0; b < 4; ++b) {
                        words[w] |= static_cast<std::uint32_t>(static_cast<unsigned char>(
                                        bytes[i * Words * 4 + w * 4 + b]))
                                    << (8U * b);
                    }
                }
                std::memcpy(&elements[i], words.data(), Words * 4);
            }
        }
    }

    // The textures of layout 2, each checked against its checksum, its format and its size.
    void Textures() {
        where_ = "the texture count";
        const std::uint32_t count = U32();
        // Each texture takes at least 24 bytes.
        textures_.reserve(std::min<std::size_t>(count, (bytes_.size() - at_) / 24));
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t start = at_;
            where_ = "texture " + NumberText(i);
            auto texture = std::make_shared<Texture>();
            texture->name = Take(U32());
            where_ = "texture " + NumberText(i) + " (" + Quoted(texture->name) + ")";
            const std::uint32_t format = U32();
            texture->width = U32();
            texture->height = U32();
            texture->bytes = Take(U32());
            const std::uint32_t stored = Crc32(bytes_.substr(start, at_ - start));
            if (U32() != stored) throw Damage{where_ + " is damaged: its checksum does not match"};
            texture->format = static_cast<ImageFormat>(format);
            const bool known = format == static_cast<std::uint32_t>(ImageFormat::Png) ||
                               format == static_cast<std::uint32_t>(ImageFormat::Jpeg);
            if (!known || !HasImageSignature(texture->format, texture->bytes) ||
                texture->width == 0 || texture->height == 0 ||
                texture->width > kLargestTextureSide || texture->height > kLargestTextureSide ||
                std::uint64_t{texture->width} * texture->height > kLargestTexturePixels) {
                throw Damage{where_ + " is not a PNG or JPEG image within the host's limits"};
            }
            textures_.push_back(std::move(texture));
        }
    }

    std::shared_ptr<const MeshPart> Part(std::uint32_t index) {
        const std::size_t start = at_;
        where_ = "part " + NumberText(index);
        auto part = std::make_shared<MeshPart>();
        part->name = Take(U32());
        where_ = "part " + NumberText(index) + " (" + Quoted(part->name) + ")";
        part->baseColor = Color{F32(), F32(), F32(), F32()};
        const std::uint32_t positions = U32();
        const std::uint32_t normals = U32();
        const std::uint32_t triangles = U32();
        // The counts are checked against what is left before anything is allocated.
        if ((std::uint64_t{positions} + normals + triangles) * 12 > bytes_.size() - at_)
            throw Cut();
        Triples(part->positions, positions);
        Triples(part->normals, normals);
        Triples(part->triangles, triangles);
        if (layout_ >= 2) TexturesAndColoursOf(*part);
        const std::uint32_t stored = Crc32(bytes_.substr(start, at_ - start));
        if (U32() != stored) throw Damage{where_ + " is damaged: its checksum does not match"};
        Check(*part);
        return part;
    }

    void TexturesAndColoursOf(MeshPart& part) {
        const std::uint32_t points = U32();
        const std::uint32_t colours = U32();
        const std::uint32_t texture = U32();
        if (std::uint64_t{points} * 8 + std::uint64_t{colours} * 16 > bytes_.size() - at_) {
            throw Cut();
        }
        Triples<2>(part.texturePoints, points);
        Triples<4>(part.colors, colours);
        if (texture > textures_.size()) {
            throw Damage{where_ + " uses texture " + NumberText(texture - 1) + " of " +
                         NumberText(textures_.size())};
        }
        if (texture != 0) part.baseColorTexture = textures_[texture - 1];
    }

    void CheckCount(std::size_t count, const MeshPart& part, const char* what) const {
        if (count != 0 && count != part.positions.size()) {
            throw Damage{where_ + " has " + NumberText(count) + " " + what + " for " +
                         NumberText(part.positions.size()) + " positions"};
        }
    }

    // What a checksum cannot vouch for: a file made whole by another writer.
    void Check(const MeshPart& part) const {
        CheckCount(part.normals.size(), part, "normals");
        CheckCount(part.texturePoints.size(), part, "texture points");
        CheckCount(part.colors.size(), part, "colours");
        for (std::size_t i = 0; i < part.triangles.size(); ++i) {
            const Triangle& t = part.triangles[i];
            const std::uint32_t highest = std::max({t.a, t.b, t.c});
            if (highest >= part.positions.size()) {
                throw Damage{where_ + ": triangle " + NumberText(i) + " names position " +
                             NumberText(highest) + " of " + NumberText(part.positions.size())};
            }
        }
        CheckFinite(part.positions, "position");
        CheckFinite(part.normals, "normal");
    }

    void CheckFinite(const std::vector<Point>& points, const char* what) const {
        for (std::size_t i = 0; i < points.size(); ++i) {
            const Point& p = points[i];
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                throw Damage{where_ + ": " + what + " " + NumberText(i) + " is not finite"};
            }
        }
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    std::uint32_t layout_ = kLayoutVersion;
    std::vector<std::shared_ptr<const Texture>> textures_;
    std::string where_;  // the place being read, for messages
};

std::string CrcText(std::uint32_t crc) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, crc >>= 4U)
        text[static_cast<std::size_t>(i)] = kDigits[crc & 0xFU];
    return text;
}

}  // namespace

std::filesystem::path MeshFilePath(const std::filesystem::path& scene) {
    std::filesystem::path mesh = scene;
    mesh += PathFromUtf8(".mesh");
    return mesh;
}

std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc) {
    crc = ~crc;
    for (char byte : bytes) {
        crc = kCrcTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFFU] ^ (crc >> 8U);
    }
    return ~crc;
}

std::string EncodeMeshFile(const std::vector<const MeshPart*>& parts) {
    std::vector<const Texture*> textures;
    std::unordered_map<const Texture*, std::uint32_t> textureIndex;  // 1 + the index
    std::size_t size = kHeaderBytes;
    for (const MeshPart* part : parts) {
        size += 48 + part->name.size() +
                12 * (part->positions.size() + part->normals.size() + part->triangles.size()) +
                8 * part->texturePoints.size() + 16 * part->colors.size();
        const Texture* texture = part->baseColorTexture.get();
        if (texture != nullptr && textureIndex.emplace(texture, textures.size() + 1).second) {
            textures.push_back(texture);
            size += 24 + texture->name.size() + texture->bytes.size();
        }
    }
    std::string out;
    out.reserve(size);
    out += kMagic;
    AppendLittleEndian32(out, kLayoutVersion);
    AppendLittleEndian32(out, CountOf(parts.size()));
    AppendLittleEndian32(out, CountOf(textures.size()));
    for (const Texture* texture : textures) AppendTexture(out, *texture);
    for (const MeshPart* part : parts) {
        const Texture* texture = part->baseColorTexture.get();
        AppendPart(out, *part, texture != nullptr ? textureIndex.at(texture) : 0);
    }
    return out;
}

MeshFileRecord RecordOfMeshFile(std::string_view bytes, std::uint64_t parts) {
    return MeshFileRecord{bytes.size(), Crc32(bytes), parts};
}

MeshFileReading DecodeMeshFile(std::string_view bytes, const MeshFileRecord& expected) {
    MeshFileReading reading;
    try {
        reading.parts = MeshFileDecoder(bytes).Parts();
        const MeshFileRecord found = RecordOfMeshFile(bytes, reading.parts.size());
        if (found.bytes != expected.bytes || found.crc32 != expected.crc32) {
            throw Damage{"not the mesh file this scene was saved with: the scene expects " +
                         NumberText(expected.bytes) + " bytes with CRC-32 " +
                         CrcText(expected.crc32) + ", the file has " + NumberText(found.bytes) +
                         " bytes with CRC-32 " + CrcText(found.crc32) +
                         " (written by another save?)"};
        }
        if (found.parts != expected.parts) {
            throw Damage{"the file holds " + NumberText(found.parts) + " parts, the scene names " +
                         NumberText(expected.parts)};
        }
    } catch (const Damage& damage) {
        reading.parts.clear();
        reading.error = damage.message;
    }
    return reading;
}

}  // namespace vhost::scene_file
