// What an import left out of a file: data made by the conversion (and from the library's own
// warnings), carried back from the child that read the file, and shown as one line per kind on a
// command's error output and in the host's console. docs/importing.md lists the kinds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vhost {

// One value per kind of thing left out; the texts are in one table in import_report.cpp, in this
// order. A kind the host comes to map is removed here and from that table.
enum class LeftOutKind : std::uint8_t {
    TrianglesDroppedByLibrary,  // faces whose indices ran past the vertices (the library's count)
    TrianglesPastVertices,      // triangles naming a vertex the mesh does not have
    TrianglesNotFinite,         // triangles using a vertex whose position is not finite
    PointsAndLines,             // faces of one or two vertices
    EmptyMeshes,                // meshes without vertices
    NormalsNotFinite,           // every normal of a mesh that has a normal that is not finite
    UnplacedCamerasAndLights,   // cameras and lights with no node of their name
    Animations,
    Skins,
    MorphTargets,
    Textures,  // every texture a material uses for something else than its base colour
    // Base-colour textures not taken, and why (import/texture_images.h).
    TexturesOutsideFolder,
    TexturesUnreadable,
    TexturesNotPngOrJpeg,
    TexturesDamaged,
    TexturesTooLarge,
    TexturePointSetsBeyondFirst,  // a mesh's texture coordinates past its first set
    ColourSetsBeyondFirst,        // a mesh's vertex colours past its first set
    TexturePointsOrColoursNotFinite,
    TextureTransforms,    // a base-colour texture's offset, rotation or scale
    OrthographicCameras,  // kept with a perspective lens: their width is not kept
};

inline constexpr std::size_t kLeftOutKindCount = 21;

// What was left out of one kind: how many (in the kind's unit), and where: the number of meshes,
// nodes or other named parts of the file concerned, and the names of the first few of them.
struct LeftOut {
    LeftOutKind kind = LeftOutKind::TrianglesDroppedByLibrary;
    std::uint64_t count = 0;
    std::uint64_t places = 0;
    std::vector<std::string> where;  // at most kLeftOutNamesShown, distinct, in the file's order
    bool operator==(const LeftOut&) const = default;
};

inline constexpr std::size_t kLeftOutNamesShown = 3;

class ImportReport {
public:
    ImportReport();

    // Notes `count` more of `kind` at the place named `where` (a mesh's or node's name, possibly
    // empty); nothing when `count` is 0.
    void Add(LeftOutKind kind, std::uint64_t count, std::string_view where);
    // Notes `count` more of `kind` without a place the host could name.
    void AddUnplaced(LeftOutKind kind, std::uint64_t count);

    // One entry per kind noted, in the kinds' order.
    std::vector<LeftOut> Entries() const;
    bool Empty() const;

    // One sentence per kind, each beginning with `source` (the file as the person named it), e.g.
    // `town.gltf: left out texture coordinates: 8 meshes: "Roof", "Wall", "Door" and 5 more`.
    std::vector<std::string> Lines(std::string_view source) const;

    // The report as bytes, for the child that read the file to hand back; Decode gives it back,
    // or nothing for bytes that are not such a report.
    std::string Encode() const;
    static std::optional<ImportReport> Decode(std::string_view bytes);

    bool operator==(const ImportReport&) const = default;

private:
    std::vector<LeftOut> entries_;  // one per kind, indexed by kind; count 0: not noted
};

}  // namespace vhost
