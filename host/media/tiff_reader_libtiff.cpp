#include <tiffio.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>

#include "media/bitmap.h"
#include "media/tiff_reader.h"

namespace vhost {

namespace {

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

std::int32_t ReadTiff(const std::filesystem::path& file, std::int32_t frame, DecodedImage& image,
                      std::vector<std::string>* messages) {
    constexpr std::int32_t kOk = Bitmap::kOk;
    constexpr std::int32_t kNotExisting = Bitmap::kNotExisting;
    constexpr std::int32_t kWrongType = Bitmap::kWrongType;
    constexpr std::int32_t kNoMemory = Bitmap::kNoMemory;

    SilenceDefaultHandlers();
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return kNoMemory;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), &Collect, messages);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), &Collect, messages);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
    // "r": read; "m": no memory mapping, so a file cut short is an error rather than a fault.
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpenExt(file.c_str(), "rm", options.get()));
    if (!tif) return kWrongType;

    if (frame > 0 && TIFFSetDirectory(tif.get(), static_cast<tdir_t>(frame)) == 0) {
        return kNotExisting;
    }
    std::array<char, 1024> why{};
    if (TIFFRGBAImageOK(tif.get(), why.data()) == 0) {
        if (messages != nullptr) messages->emplace_back(why.data());
        return kWrongType;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t samples = 0;
    std::uint16_t bits = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    if (width == 0 || height == 0) return kWrongType;
    std::uint64_t count = std::uint64_t{width} * height;
    if (count > Bitmap::kMaxPixels || width > INT32_MAX || height > INT32_MAX) return kNoMemory;

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
    image.width = width;
    image.height = height;
    image.depth = static_cast<std::int32_t>(samples) * static_cast<std::int32_t>(bits);
    image.pixels = std::move(pixels);
    return kOk;
}

}  // namespace vhost
