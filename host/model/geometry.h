// What a viewer needs to draw an object: its local transform and, for polygon objects, its mesh.
//
// A transform is an affine matrix as the host keeps it: an offset and three axes, in doubles. A
// mesh is kept once and shared: every object that shows the same geometry holds the same
// Mesh, so copying an object or making an instance of it copies a reference, never the points.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vhost {

struct Vector {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    bool operator==(const Vector&) const = default;
};

// A point maps to off + x * v1 + y * v2 + z * v3.
struct Matrix {
    Vector off;
    Vector v1{1.0, 0.0, 0.0};
    Vector v2{0.0, 1.0, 0.0};
    Vector v3{0.0, 0.0, 1.0};
    bool operator==(const Matrix&) const = default;
    bool IsIdentity() const { return *this == Matrix{}; }
    bool IsFinite() const {
        return IsFiniteVector(off) && IsFiniteVector(v1) && IsFiniteVector(v2) &&
               IsFiniteVector(v3);
    }

private:
    static bool IsFiniteVector(const Vector& v) {
        return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    }
};

// Mesh data keeps the precision a graphics card draws with.
struct Point {
    float x = 0.0F;
    float y = 0.0F;
    float z = 0.0F;
};

struct Triangle {
    std::uint32_t a = 0;  // indices into the part's positions
    std::uint32_t b = 0;
    std::uint32_t c = 0;
};

struct Color {
    float r = 1.0F;
    float g = 1.0F;
    float b = 1.0F;
    float a = 1.0F;
};

// A place on a texture: u to the right, v up, both 0 to 1 across the image.
struct TexturePoint {
    float u = 0.0F;
    float v = 0.0F;
};

enum class ImageFormat : std::uint8_t { Png = 1, Jpeg = 2 };

// The largest image a texture may be.
inline constexpr std::uint32_t kLargestTextureSide = 8192;
inline constexpr std::uint64_t kLargestTexturePixels = std::uint64_t{32} << 20U;
inline constexpr std::uint64_t kLargestTextureBytes = std::uint64_t{64} << 20U;

// Whether `bytes` begin as an image of `format` does.
inline bool HasImageSignature(ImageFormat format, std::string_view bytes) {
    return format == ImageFormat::Png ? bytes.starts_with("\x89PNG\r\n\x1a\n")
                                      : bytes.starts_with("\xff\xd8\xff");
}

// An image as its file held it, kept encoded: the host checked on import that it decodes whole
// within the size limits (import/texture_images.h); viewers decode it themselves.
struct Texture {
    std::string name;  // the file's name, or the file's own name for an image it embeds
    ImageFormat format = ImageFormat::Png;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string bytes;
};

// Geometry of one material. Every triangle's indices are below positions.size(); normals,
// texture points and colours are each either absent or one per position. The base colour
// multiplies the texture and the vertex colours.
struct MeshPart {
    std::string name;
    std::vector<Point> positions;
    std::vector<Point> normals;
    std::vector<Triangle> triangles;
    Color baseColor;
    std::vector<TexturePoint> texturePoints;
    std::vector<Color> colors;
    std::shared_ptr<const Texture>
        baseColorTexture;  // shared by the parts that use it; may be null
};

// A polygon object's geometry: one or more parts. Parts are shared too, so two meshes made of
// some of the same parts hold them once.
struct Mesh {
    std::vector<std::shared_ptr<const MeshPart>> parts;
};

}  // namespace vhost
