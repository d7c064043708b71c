#include "import/import_report.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "import/handed_bytes.h"
#include "text/quoting.h"

namespace vhost {

namespace {

// How a kind reads in a report line: `left out WHAT: COUNT UNIT[ in PLACES PLACE]: NAMES`. The
// place is left out of the line when it is the unit itself (8 meshes: "Roof", ...).
struct KindText {
    LeftOutKind kind;
    std::string_view what;
    std::string_view unit;
    std::string_view units;
    std::string_view place;
    std::string_view placesWord;
};

// The one table of kinds, in LeftOutKind's order (checked below).
constexpr std::array<KindText, kLeftOutKindCount> kKinds{{
    {LeftOutKind::TrianglesDroppedByLibrary,
     "triangles whose indices ran past the vertices (dropped by the library, which does not say "
     "how many or where)",
     "mesh part", "mesh parts", "", ""},
    {LeftOutKind::TrianglesPastVertices, "triangles naming a vertex the mesh does not have",
     "triangle", "triangles", "mesh", "meshes"},
    {LeftOutKind::TrianglesNotFinite, "triangles with a vertex that is not finite", "triangle",
     "triangles", "mesh", "meshes"},
    {LeftOutKind::PointsAndLines, "faces that are not triangles (points, lines)", "face", "faces",
     "mesh", "meshes"},
    {LeftOutKind::EmptyMeshes, "meshes without vertices", "mesh", "meshes", "mesh", "meshes"},
    {LeftOutKind::NormalsNotFinite, "the normals of meshes with a normal that is not finite",
     "mesh", "meshes", "mesh", "meshes"},
    {LeftOutKind::UnplacedCamerasAndLights, "cameras and lights that no node of their name holds",
     "camera or light", "cameras and lights", "camera or light", "cameras and lights"},
    {LeftOutKind::Animations, "animations", "animation", "animations", "animation", "animations"},
    {LeftOutKind::Skins, "skins", "bone", "bones", "mesh", "meshes"},
    {LeftOutKind::MorphTargets, "morph targets", "morph target", "morph targets", "mesh", "meshes"},
    {LeftOutKind::Textures, "textures other than the base colour (normal, roughness, ...)",
     "texture", "textures", "material", "materials"},
    {LeftOutKind::TexturesOutsideFolder,
     "base-colour textures whose path leaves the file's folder (not read)", "texture", "textures",
     "material", "materials"},
    {LeftOutKind::TexturesUnreadable, "base-colour textures whose file is missing or unreadable",
     "texture", "textures", "material", "materials"},
    {LeftOutKind::TexturesNotPngOrJpeg, "base-colour textures that are neither PNG nor JPEG",
     "texture", "textures", "material", "materials"},
    {LeftOutKind::TexturesDamaged, "base-colour textures that are damaged (they do not decode)",
     "texture", "textures", "material", "materials"},
    {LeftOutKind::TexturesTooLarge,
     "base-colour textures over 8192 pixels a side, 32 megapixels or 64 MB", "texture", "textures",
     "material", "materials"},
    {LeftOutKind::TexturePointSetsBeyondFirst, "texture coordinates beyond the first set", "mesh",
     "meshes", "mesh", "meshes"},
    {LeftOutKind::ColourSetsBeyondFirst, "vertex colours beyond the first set", "mesh", "meshes",
     "mesh", "meshes"},
    {LeftOutKind::TexturePointsOrColoursNotFinite,
     "texture coordinates or vertex colours of meshes with a value that is not finite", "mesh",
     "meshes", "mesh", "meshes"},
    {LeftOutKind::TextureTransforms,
     "the offset, rotation and scale of base-colour textures (drawn untransformed)", "texture",
     "textures", "material", "materials"},
    {LeftOutKind::OrthographicCameras,
     "the width of orthographic cameras (kept as cameras with a perspective lens)", "camera",
     "cameras", "camera", "cameras"},
}};

constexpr bool KindsInOrder() {
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
        if (static_cast<std::size_t>(kKinds[i].kind) != i) return false;
    }
    return true;
}
static_assert(KindsInOrder(), "kKinds lists every LeftOutKind once, in the enum's order");

std::string Counted(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string NamesOf(const LeftOut& entry) {
    std::string names;
    for (std::size_t i = 0; i < entry.where.size(); ++i) {
        const bool last = i + 1 == entry.where.size() && entry.places == entry.where.size();
        names += i == 0 ? "" : last ? " and " : ", ";
        names += Quoted(entry.where[i]);
    }
    if (entry.places > entry.where.size()) {
        names += " and " + std::to_string(entry.places - entry.where.size()) + " more";
    }
    return names;
}

std::string LineOf(const LeftOut& entry, std::string_view source) {
    const KindText& text = kKinds.at(static_cast<std::size_t>(entry.kind));
    std::string line = std::string(source) + ": left out " + std::string(text.what) + ": " +
                       Counted(entry.count, text.unit, text.units);
    if (entry.places == 0) return line;
    if (text.place != text.unit || entry.places != entry.count) {
        line += " in " + Counted(entry.places, text.place, text.placesWord);
    }
    return line + ": " + NamesOf(entry);
}

// The encoding (import/handed_bytes.h): u32 entry count, then per entry u8 kind, u64 count, u64
// places, u32 name count and each name after its u32 length.
using handed::Put;

bool TakeName(handed::Reader& bytes, std::string& name) {
    std::string_view taken;
    if (!bytes.TakeSized<std::uint32_t>(taken)) return false;
    name.assign(taken);
    return true;
}

bool TakeEntry(handed::Reader& bytes, LeftOut& entry) {
    std::uint8_t kind = 0;
    std::uint32_t names = 0;
    if (!bytes.Take(kind) || kind >= kLeftOutKindCount || !bytes.Take(entry.count) ||
        !bytes.Take(entry.places) || !bytes.Take(names) || names > kLeftOutNamesShown) {
        return false;
    }
    entry.kind = static_cast<LeftOutKind>(kind);
    entry.where.resize(names);
    return std::all_of(entry.where.begin(), entry.where.end(),
                       [&bytes](std::string& name) { return TakeName(bytes, name); });
}

}  // namespace

ImportReport::ImportReport() : entries_(kLeftOutKindCount) {
    for (std::size_t i = 0; i < kLeftOutKindCount; ++i) {
        entries_[i].kind = static_cast<LeftOutKind>(i);
    }
}

void ImportReport::Add(LeftOutKind kind, std::uint64_t count, std::string_view where) {
    if (count == 0) return;
    LeftOut& entry = entries_[static_cast<std::size_t>(kind)];
    entry.count += count;
    ++entry.places;
    if (entry.where.size() < kLeftOutNamesShown &&
        std::find(entry.where.begin(), entry.where.end(), where) == entry.where.end()) {
        entry.where.emplace_back(where);
    }
}

void ImportReport::AddUnplaced(LeftOutKind kind, std::uint64_t count) {
    if (count > 0) entries_[static_cast<std::size_t>(kind)].count += count;
}

std::vector<LeftOut> ImportReport::Entries() const {
    std::vector<LeftOut> noted;
    std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(noted),
                 [](const LeftOut& entry) { return entry.count > 0; });
    return noted;
}

bool ImportReport::Empty() const { return Entries().empty(); }

std::vector<std::string> ImportReport::Lines(std::string_view source) const {
    std::vector<std::string> lines;
    for (const LeftOut& entry : Entries()) lines.push_back(LineOf(entry, source));
    return lines;
}

std::string ImportReport::Encode() const {
    const std::vector<LeftOut> noted = Entries();
    std::string out;
    Put(out, static_cast<std::uint32_t>(noted.size()));
    for (const LeftOut& entry : noted) {
        Put(out, static_cast<std::uint8_t>(entry.kind));
        Put(out, entry.count);
        Put(out, entry.places);
        Put(out, static_cast<std::uint32_t>(entry.where.size()));
        for (const std::string& name : entry.where) {
            handed::PutSized<std::uint32_t>(out, name);
        }
    }
    return out;
}

std::optional<ImportReport> ImportReport::Decode(std::string_view bytes) {
    handed::Reader in(bytes);
    std::uint32_t count = 0;
    if (!in.Take(count) || count > kLeftOutKindCount) return std::nullopt;
    ImportReport report;
    for (std::uint32_t i = 0; i < count; ++i) {
        LeftOut entry;
        if (!TakeEntry(in, entry) || entry.count == 0) return std::nullopt;
        LeftOut& kept = report.entries_[static_cast<std::size_t>(entry.kind)];
        if (kept.count != 0) return std::nullopt;
        kept = std::move(entry);
    }
    if (!in.AtEnd()) return std::nullopt;
    return report;
}

}  // namespace vhost
