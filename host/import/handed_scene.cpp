#include "import/handed_scene.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "import/handed_bytes.h"
#include "model/object_looks.h"
#include "vela_host/host_documents.h"

namespace vhost {

namespace {

using handed::Put;
using handed::PutArray;
using handed::PutSized;

// `texture`: 1 + the index of the part's texture; 0: none.
void PutPart(std::string& out, const MeshPart& part, std::uint32_t texture) {
    PutSized<std::uint32_t>(out, part.name);
    Put(out, part.baseColor);
    PutArray(out, part.positions);
    PutArray(out, part.normals);
    PutArray(out, part.triangles);
    PutArray(out, part.texturePoints);
    PutArray(out, part.colors);
    Put(out, texture);
}

void PutTexture(std::string& out, const Texture& texture) {
    PutSized<std::uint32_t>(out, texture.name);
    Put(out, texture.format);
    Put(out, texture.width);
    Put(out, texture.height);
    PutSized<std::uint64_t>(out, texture.bytes);
}

// The look entries of an object's data (model/object_looks.h): u8 count, each i32 key, i32 type,
// f64 value. False when the data holds anything else but the instance link.
bool PutLookEntries(std::string& out, const Container& data) {
    std::uint8_t count = 0;
    for (const Container::Entry& entry : data.Entries()) {
        if (entry.key == HOST_INSTANCE_LINK) continue;
        const std::int32_t type = entry.value.TypeNumber();
        if (!IsLookKey(entry.key) || (type != HOST_TYPE_INT32 && type != HOST_TYPE_FLOAT)) {
            return false;
        }
        ++count;
    }
    Put(out, count);
    for (const Container::Entry& entry : data.Entries()) {
        if (entry.key == HOST_INSTANCE_LINK) continue;
        Put(out, entry.key);
        Put(out, entry.value.TypeNumber());
        Put(out, entry.value.AsFloat(static_cast<double>(entry.value.AsInt32())));
    }
    return true;
}

// A matrix crosses as its twelve numbers in one piece: the offset, then v1, v2 and v3.
using MatrixNumbers = std::array<double, 12>;

void PutMatrix(std::string& out, const Matrix& m) {
    Put(out, MatrixNumbers{m.off.x, m.off.y, m.off.z, m.v1.x, m.v1.y, m.v1.z, m.v2.x, m.v2.y,
                           m.v2.z, m.v3.x, m.v3.y, m.v3.z});
}

// The distinct meshes and parts of a document, numbered in the order first met.
struct Geometry {
    std::unordered_map<const Mesh*, std::uint32_t> meshIndex;
    std::vector<const Mesh*> meshes;
    std::unordered_map<const MeshPart*, std::uint32_t> partIndex;
    std::vector<const MeshPart*> parts;
    std::unordered_map<const Texture*, std::uint32_t> textureIndex;
    std::vector<const Texture*> textures;

    std::uint32_t Add(const Mesh& mesh) {
        const auto [found, added] =
            meshIndex.emplace(&mesh, static_cast<std::uint32_t>(meshes.size()));
        if (!added) return found->second;
        meshes.push_back(&mesh);
        for (const auto& part : mesh.parts) {
            if (partIndex.emplace(part.get(), static_cast<std::uint32_t>(parts.size())).second) {
                parts.push_back(part.get());
                AddTexture(part->baseColorTexture.get());
            }
        }
        return found->second;
    }

    void AddTexture(const Texture* texture) {
        if (texture != nullptr &&
            textureIndex.emplace(texture, static_cast<std::uint32_t>(textures.size())).second) {
            textures.push_back(texture);
        }
    }

    std::uint32_t TextureOf(const MeshPart& part) const {
        return part.baseColorTexture ? 1 + textureIndex.at(part.baseColorTexture.get()) : 0;
    }
};

bool TakeMatrix(handed::Reader& in, Matrix& m) {
    MatrixNumbers n{};
    if (!in.Take(n)) return false;
    m.off = {n[0], n[1], n[2]};
    m.v1 = {n[3], n[4], n[5]};
    m.v2 = {n[6], n[7], n[8]};
    m.v3 = {n[9], n[10], n[11]};
    return true;
}

using Textures = std::vector<std::shared_ptr<const Texture>>;
using Parts = std::vector<std::shared_ptr<const MeshPart>>;
using Meshes = std::vector<std::shared_ptr<const Mesh>>;

bool TakeTextures(handed::Reader& in, Textures& textures) {
    std::uint32_t count = 0;
    if (!in.Take(count)) return false;
    for (std::uint32_t t = 0; t < count; ++t) {
        auto texture = std::make_shared<Texture>();
        std::string_view name;
        std::string_view bytes;
        if (!in.TakeSized<std::uint32_t>(name) || !in.Take(texture->format) ||
            !in.Take(texture->width) || !in.Take(texture->height) ||
            !in.TakeSized<std::uint64_t>(bytes) ||
            (texture->format != ImageFormat::Png && texture->format != ImageFormat::Jpeg)) {
            return false;
        }
        texture->name = name;
        texture->bytes = bytes;
        textures.push_back(std::move(texture));
    }
    return true;
}

// Arrays that are none or one per position.
template <typename Item>
bool NoneOrPerPosition(const std::vector<Item>& items, std::size_t positions) {
    return items.empty() || items.size() == positions;
}

// A part as the conversion makes it: every triangle names one of its positions; normals, texture
// points and colours are none or one per position.
bool TakePart(handed::Reader& in, const Textures& textures, MeshPart& part) {
    std::string_view name;
    std::uint32_t texture = 0;
    if (!in.TakeSized<std::uint32_t>(name) || !in.Take(part.baseColor) ||
        !in.TakeArray(part.positions) || !in.TakeArray(part.normals) ||
        !in.TakeArray(part.triangles) || !in.TakeArray(part.texturePoints) ||
        !in.TakeArray(part.colors) || !in.Take(texture) || texture > textures.size()) {
        return false;
    }
    part.name = name;
    if (texture != 0) part.baseColorTexture = textures[texture - 1];
    const std::size_t positions = part.positions.size();
    return NoneOrPerPosition(part.normals, positions) &&
           NoneOrPerPosition(part.texturePoints, positions) &&
           NoneOrPerPosition(part.colors, positions) &&
           std::all_of(part.triangles.begin(), part.triangles.end(), [positions](Triangle t) {
               return t.a < positions && t.b < positions && t.c < positions;
           });
}

bool TakeParts(handed::Reader& in, Parts& parts) {
    Textures textures;
    std::uint32_t count = 0;
    if (!TakeTextures(in, textures) || !in.Take(count)) return false;
    for (std::uint32_t p = 0; p < count; ++p) {
        auto part = std::make_shared<MeshPart>();
        if (!TakePart(in, textures, *part)) return false;
        parts.push_back(std::move(part));
    }
    return true;
}

bool TakeLookEntries(handed::Reader& in, Container& data) {
    std::uint8_t count = 0;
    if (!in.Take(count)) return false;
    for (std::uint8_t e = 0; e < count; ++e) {
        std::int32_t key = 0;
        std::int32_t type = 0;
        double value = 0.0;
        if (!in.Take(key) || !in.Take(type) || !in.Take(value) || !IsLookKey(key)) return false;
        if (type == HOST_TYPE_INT32) {
            data.SetInt32(key, static_cast<std::int32_t>(value));
        } else if (type == HOST_TYPE_FLOAT) {
            data.SetFloat(key, value);
        } else {
            return false;
        }
    }
    return true;
}

bool TakeMeshes(handed::Reader& in, const Parts& parts, Meshes& meshes) {
    std::uint32_t count = 0;
    if (!in.Take(count)) return false;
    for (std::uint32_t m = 0; m < count; ++m) {
        std::uint32_t partCount = 0;
        if (!in.Take(partCount)) return false;
        auto mesh = std::make_shared<Mesh>();
        for (std::uint32_t p = 0; p < partCount; ++p) {
            std::uint32_t index = 0;
            if (!in.Take(index) || index >= parts.size()) return false;
            mesh->parts.push_back(parts[index]);
        }
        meshes.push_back(std::move(mesh));
    }
    return true;
}

// Makes each object where the conversion made it: the last child of its parent, so far.
bool TakeObjects(handed::Reader& in, const Meshes& meshes, Document& document) {
    std::uint32_t count = 0;
    if (!in.Take(count)) return false;
    std::vector<Object*> objects;
    objects.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t parent = 0;
        std::int32_t type = 0;
        std::string_view name;
        Matrix transform;
        std::uint32_t mesh = 0;
        std::uint32_t link = 0;
        if (!in.Take(parent) || !in.Take(type) || !in.TakeSized<std::uint32_t>(name) ||
            !TakeMatrix(in, transform) || !in.Take(mesh) || !in.Take(link) || parent > i ||
            mesh > meshes.size() || link > i) {
            return false;
        }
        Object* object = document.CreateObject(
            type, name, {parent == 0 ? nullptr : objects[parent - 1], nullptr});
        if (object == nullptr) return false;
        object->SetLocalTransform(transform);
        if (mesh != 0) object->SetMesh(meshes[mesh - 1]);
        if (link != 0) object->Data().SetLink(HOST_INSTANCE_LINK, objects[link - 1]->Id());
        if (!TakeLookEntries(in, object->Data())) return false;
        objects.push_back(object);
    }
    return true;
}

}  // namespace

bool AppendHandedDocument(const Document& document, std::string& out) {
    const std::size_t start = out.size();
    constexpr std::size_t kBytesPerObject = 136;  // a name of 16 bytes and the fixed fields
    out.reserve(start + document.ObjectCount() * kBytesPerObject);
    PutSized<std::uint64_t>(out, document.Name());
    const std::size_t objectsAt = out.size();
    Put(out, std::uint64_t{0});  // the objects' length, known once they are written
    Put(out, static_cast<std::uint32_t>(document.ObjectCount()));
    Geometry geometry;
    std::unordered_map<ObjectId, std::uint32_t> indexOf;  // 1 + the index in tree order
    indexOf.reserve(document.ObjectCount());
    bool handable = true;
    document.ForEach([&](const Object& object) {
        const ObjectId link = object.Data().GetLink(HOST_INSTANCE_LINK);
        const auto target = indexOf.find(link);
        if (link != 0 && target == indexOf.end()) {
            handable = false;
            return false;
        }
        Put(out, object.Up() != nullptr ? indexOf.at(object.Up()->Id()) : std::uint32_t{0});
        Put(out, object.Type());
        PutSized<std::uint32_t>(out, object.Name());
        PutMatrix(out, object.LocalTransform());
        Put(out, object.GetMesh() ? 1 + geometry.Add(*object.GetMesh()) : std::uint32_t{0});
        Put(out, link != 0 ? target->second : std::uint32_t{0});
        if (!PutLookEntries(out, object.Data())) {
            handable = false;
            return false;
        }
        indexOf.emplace(object.Id(), static_cast<std::uint32_t>(indexOf.size() + 1));
        return true;
    });
    if (!handable) {
        out.resize(start);
        return false;
    }
    const std::uint64_t objectBytes = out.size() - objectsAt - sizeof(std::uint64_t);
    std::memcpy(out.data() + objectsAt, &objectBytes, sizeof objectBytes);
    Put(out, static_cast<std::uint32_t>(geometry.textures.size()));
    for (const Texture* texture : geometry.textures) PutTexture(out, *texture);
    Put(out, static_cast<std::uint32_t>(geometry.parts.size()));
    for (const MeshPart* part : geometry.parts) PutPart(out, *part, geometry.TextureOf(*part));
    Put(out, static_cast<std::uint32_t>(geometry.meshes.size()));
    for (const Mesh* mesh : geometry.meshes) {
        Put(out, static_cast<std::uint32_t>(mesh->parts.size()));
        for (const auto& part : mesh->parts) Put(out, geometry.partIndex.at(part.get()));
    }
    return true;
}

std::unique_ptr<Document> TakeHandedDocument(std::string_view bytes) {
    handed::Reader in(bytes);
    std::string_view name;
    std::string_view objects;
    Parts parts;
    Meshes meshes;
    if (!in.TakeSized<std::uint64_t>(name) || !in.TakeSized<std::uint64_t>(objects) ||
        !TakeParts(in, parts) || !TakeMeshes(in, parts, meshes) || !in.AtEnd()) {
        return nullptr;
    }
    auto document = std::make_unique<Document>(std::string(name));
    handed::Reader objectsIn(objects);
    if (!TakeObjects(objectsIn, meshes, *document) || !objectsIn.AtEnd()) return nullptr;
    return document;
}

}  // namespace vhost
