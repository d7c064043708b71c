#include "media/bitmap.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <new>
#include <system_error>

#include "media/tiff_reader.h"
#include "platform/utf8_path.h"
#include "vela_host/host_bitmaps.h"

namespace vhost {

static_assert(Bitmap::kOk == HOST_IMAGE_OK && Bitmap::kNotExisting == HOST_IMAGE_NOTEXISTING &&
              Bitmap::kWrongType == HOST_IMAGE_WRONGTYPE && Bitmap::kNoMemory == HOST_IMAGE_NOMEM);

namespace {

constexpr std::array<std::int32_t, 9> kDepths{1, 8, 16, 24, 32, 48, 64, 96, 128};

}  // namespace

std::int32_t Bitmap::Init(std::int32_t width, std::int32_t height, std::int32_t depth) {
    bool knownDepth = std::find(kDepths.begin(), kDepths.end(), depth) != kDepths.end();
    if (width < 1 || height < 1 || !knownDepth) return kWrongType;
    std::uint64_t count = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > kMaxPixels) return kNoMemory;
    std::vector<std::uint8_t> pixels;
    try {
        pixels.assign(count * 4, 0);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    width_ = width;
    height_ = height;
    depth_ = depth;
    pixels_ = std::move(pixels);
    return kOk;
}

std::int32_t Bitmap::LoadTiff(const std::string& path, std::int32_t frame,
                              std::vector<std::string>* messages) {
    const std::filesystem::path file = PathFromUtf8(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return kNotExisting;
    DecodedImage image;
    const std::int32_t result = ReadTiff(file, frame, image, messages);
    if (result != kOk) return result;
    width_ = static_cast<std::int32_t>(image.width);
    height_ = static_cast<std::int32_t>(image.height);
    depth_ = image.depth;
    pixels_ = std::move(image.pixels);
    return kOk;
}

Bitmap::Rgba Bitmap::Pixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
    std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                      static_cast<std::size_t>(x)) *
                     4;
    return {pixels_[at], pixels_[at + 1], pixels_[at + 2], pixels_[at + 3]};
}

double Bitmap::GetData(std::int32_t id, double preset) const {
    auto found = data_.find(id);
    return found == data_.end() ? preset : found->second;
}

}  // namespace vhost
