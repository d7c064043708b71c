// The host's bitmaps: images of 8-bit RGBA pixels, made empty or read from TIFF files.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vhost {

class Bitmap {
public:
    // Results of Init and LoadTiff; the values of the interface's HOST_IMAGE_*.
    static constexpr std::int32_t kOk = 1;
    static constexpr std::int32_t kNotExisting = -1;
    static constexpr std::int32_t kWrongType = 2;
    static constexpr std::int32_t kNoMemory = 3;

    // The largest image the host makes or reads, in pixels (16384 x 16384).
    static constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

    // A new bitmap has no image: width and height 0.
    Bitmap() = default;

    // Makes the image black (opaque) at the given size and depth in bits per pixel. kWrongType
    // for a size below 1 or a depth the host does not make (1, 8, 16, 24, 32, 48, 64, 96 and 128
    // it does), kNoMemory above kMaxPixels; then the bitmap stays as it was.
    std::int32_t Init(std::int32_t width, std::int32_t height, std::int32_t depth);

    // Replaces the image with directory `frame` of the TIFF file at `path` (a negative frame: the
    // first). kNotExisting when there is no such file or no such frame in it, kWrongType when the
    // file is not a TIFF image libtiff can read, kNoMemory when the image is larger than
    // kMaxPixels or cannot be held. Only kOk changes the bitmap. libtiff's errors and warnings
    // go to `messages` (when given) instead of the standard error stream.
    std::int32_t LoadTiff(const std::string& path, std::int32_t frame,
                          std::vector<std::string>* messages = nullptr);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // Bits per pixel: Init's depth, or of a loaded file its samples per pixel times bits per
    // sample.
    std::int32_t Depth() const { return depth_; }

    // Rows from the top, each pixel R, G, B, A. Colour is premultiplied by alpha, as libtiff's
    // RGBA reading delivers it; an image without alpha has alpha 255 throughout.
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
    struct Rgba {
        std::uint8_t r, g, b, a;
        bool operator==(const Rgba&) const = default;
    };
    // The pixel at column x, row y from the top; transparent black outside the image.
    Rgba Pixel(std::int32_t x, std::int32_t y) const;

    // Data entries (HOST_BITMAP_*, e.g. 100 = display pixel ratio). They belong to the bitmap,
    // not to its image: Init and LoadTiff keep them.
    void SetData(std::int32_t id, double value) { data_[id] = value; }
    double GetData(std::int32_t id, double preset) const;

    bool operator==(const Bitmap&) const = default;

private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t depth_ = 0;
    std::vector<std::uint8_t> pixels_;
    std::map<std::int32_t, double> data_;
};

}  // namespace vhost
