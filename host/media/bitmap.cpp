#include "media/bitmap.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

#include "host_api/table/host_files.h"

namespace vhost {

static_assert(Bitmap::kOk == HOST_IMAGE_OK && Bitmap::kNotExisting == HOST_IMAGE_NOTEXISTING &&
              Bitmap::kWrongType == HOST_IMAGE_WRONGTYPE && Bitmap::kNoMemory == HOST_IMAGE_NOMEM);

namespace {

constexpr std::array<std::int32_t, 9> kDepths{1, 8, 16, 24, 32, 48, 64, 96, 128};

// The most libtiff may allocate at once while reading one file: enough for the largest image the
// host accepts, so a file that only claims to be huge fails early instead of exhausting memory.
constexpr tmsize_t kMaxTiffAllocation = static_cast<tmsize_t>(Bitmap::kMaxPixels * 4);

// libtiff reports through handlers. Its default ones print to the standard error stream, which
// is the command line's; they are switched off once for the process, and every file the host
// opens gets handlers of its own that hand the messages to the caller.
void SilenceDefaultHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

__attribute__((format(printf, 4, 0))) int Collect(TIFF* /*tif*/, void* sink, const char* module,
                                                  const char* format, va_list arguments) {
    auto* messages = static_cast<std::vector<std::string>*>(sink);
    if (messages == nullptr) return 1;
    std::array<char, 512> text{};
    std::vsnprintf(text.data(), text.size(), format, arguments);
    std::string message = module != nullptr && *module != '\0' ? std::string(module) + ": " : "";
    messages->push_back(message + text.data());
    return 1;  // handled: libtiff calls no other handler
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

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
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return kNotExisting;

    SilenceDefaultHandlers();
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return kNoMemory;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Collect, messages);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Collect, messages);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
    // "r": read; "m": no memory mapping, so a file cut short is an error rather than a fault.
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpenExt(path.c_str(), "rm", options.get()));
    if (!tif) return kWrongType;

    if (frame > 0 && TIFFSetDirectory(tif.get(), static_cast<tdir_t>(frame)) == 0) {
        return kNotExisting;
    }
    std::array<char, 1024> why{};
    if (TIFFRGBAImageOK(tif.get(), why.data()) == 0) {
        if (messages != nullptr) messages->emplace_back(why.data());
        return kWrongType;
    }
    std::uint32_t width = 0, height = 0;
    std::uint16_t samples = 0, bits = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    if (width == 0 || height == 0) return kWrongType;
    std::uint64_t count = std::uint64_t{width} * height;
    if (count > kMaxPixels || width > INT32_MAX || height > INT32_MAX) return kNoMemory;

    std::vector<std::uint32_t> raster;
    std::vector<std::uint8_t> pixels;
    try {
        raster.resize(count);
        pixels.resize(count * 4);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    if (TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT,
                                  0) == 0) {
        return kWrongType;
    }
    for (std::size_t i = 0; i < raster.size(); ++i) {
        std::uint32_t p = raster[i];
        pixels[i * 4 + 0] = static_cast<std::uint8_t>(TIFFGetR(p));
        pixels[i * 4 + 1] = static_cast<std::uint8_t>(TIFFGetG(p));
        pixels[i * 4 + 2] = static_cast<std::uint8_t>(TIFFGetB(p));
        pixels[i * 4 + 3] = static_cast<std::uint8_t>(TIFFGetA(p));
    }
    width_ = static_cast<std::int32_t>(width);
    height_ = static_cast<std::int32_t>(height);
    depth_ = static_cast<std::int32_t>(samples) * static_cast<std::int32_t>(bits);
    pixels_ = std::move(pixels);
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
