// The mesh file of a scene: the binary companion `NAME.json.mesh` that holds the geometry of a
// version 2 scene file, each distinct mesh part once.
//
// Layout 2, every integer and float little-endian on every system:
//   header   "VELAMESH", u32 layout version (2), u32 part count, u32 texture count
//   texture  u32 name length, the name's bytes, u32 format (1 PNG, 2 JPEG), u32 width,
//            u32 height, u32 byte count, the image file's bytes, u32 CRC-32 of the texture's
//            bytes before it
//   part     u32 name length, the name's bytes, f32 r g b a (the base colour),
//            u32 position count, u32 normal count (0 or the position count), u32 triangle count,
//            positions (f32 x y z each), normals (f32 x y z each), triangles (u32 a b c each),
//            u32 texture point count and u32 colour count (each 0 or the position count),
//            u32 texture (1 + its index; 0: none), texture points (f32 u v each), colours
//            (f32 r g b a each), u32 CRC-32 of the part's bytes before it
// Layout 1 (written for scenes of version 2) has no texture count, no textures, and parts end
// after their triangles; it is read as parts without textures, texture points or colours.
// The scene file records the mesh file's size and CRC-32, so a mesh file written by another save
// (a crash between the two renames of a save) is told apart from the one the scene was saved with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/geometry.h"

namespace vhost::scene_file {

// The mesh file that belongs to the scene file `scene`: the same name with ".mesh" added.
std::filesystem::path MeshFilePath(const std::filesystem::path& scene);

// CRC-32 as zlib and PNG compute it (reflected polynomial 0xEDB88320), continued from `crc`.
std::uint32_t Crc32(std::string_view bytes, std::uint32_t crc = 0);

// The mesh file's bytes for `parts`, in this order.
std::string EncodeMeshFile(const std::vector<const MeshPart*>& parts);

// What the scene file says of its mesh file.
struct MeshFileRecord {
    std::uint64_t bytes = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t parts = 0;
    bool operator==(const MeshFileRecord&) const = default;
};

// The record of `bytes` as the scene file keeps it (given the part count the bytes hold).
MeshFileRecord RecordOfMeshFile(std::string_view bytes, std::uint64_t parts);

struct MeshFileReading {
    std::vector<std::shared_ptr<const MeshPart>> parts;  // in the file's order
    std::string error;  // what is wrong, without the file's name; empty on success
};

// The parts in `bytes`, each checked against its checksum, its triangles against its positions,
// and the whole against `expected`, the scene's record of it.
MeshFileReading DecodeMeshFile(std::string_view bytes, const MeshFileRecord& expected);

}  // namespace vhost::scene_file
