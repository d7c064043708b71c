// TIFF decoding on Windows, by the system's imaging component (WIC): the host's program needs no
// library beyond Windows itself.

#include <wincodec.h>
#include <windows.h>

#include <cstdio>
#include <limits>
#include <new>

#include "media/bitmap.h"
#include "media/tiff_reader.h"

namespace vhost {

namespace {

// Owns one reference to a COM object.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    Interface** put() { return &pointer_; }
    void** put_void() { return reinterpret_cast<void**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

// COM is started for the calling thread and stays started: the host's threads read bitmaps more
// than once and never hand COM objects across.
bool StartCom() {
    const HRESULT started = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    return SUCCEEDED(started) || started == RPC_E_CHANGED_MODE;
}

void Note(std::vector<std::string>* messages, const char* what, HRESULT result) {
    if (messages == nullptr) return;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    messages->push_back(std::string(what) + " (" + code + ")");
}

std::int32_t BitsPerPixel(IWICImagingFactory* factory, const WICPixelFormatGUID& format) {
    ComRef<IWICComponentInfo> info;
    if (FAILED(factory->CreateComponentInfo(format, info.put()))) return 0;
    ComRef<IWICPixelFormatInfo> pixelFormat;
    if (FAILED(info->QueryInterface(IID_IWICPixelFormatInfo, pixelFormat.put_void()))) return 0;
    UINT bits = 0;
    if (FAILED(pixelFormat->GetBitsPerPixel(&bits))) return 0;
    return static_cast<std::int32_t>(bits);
}

}  // namespace

std::int32_t ReadTiff(const std::filesystem::path& file, std::int32_t frame, DecodedImage& image,
                      std::vector<std::string>* messages) {
    if (!StartCom()) return Bitmap::kNoMemory;
    ComRef<IWICImagingFactory> factory;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, factory.put_void());
    if (FAILED(result)) {
        Note(messages, "the imaging component is not available", result);
        return Bitmap::kNoMemory;
    }
    ComRef<IWICBitmapDecoder> decoder;
    result = factory->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, decoder.put());
    GUID container{};
    if (FAILED(result) || FAILED(decoder->GetContainerFormat(&container)) ||
        container != GUID_ContainerFormatTiff) {
        Note(messages, "not a TIFF image", result);
        return Bitmap::kWrongType;
    }
    UINT frames = 0;
    if (FAILED(decoder->GetFrameCount(&frames))) return Bitmap::kWrongType;
    const UINT index = frame > 0 ? static_cast<UINT>(frame) : 0U;
    if (index >= frames) return Bitmap::kNotExisting;

    ComRef<IWICBitmapFrameDecode> source;
    if (FAILED(decoder->GetFrame(index, source.put()))) return Bitmap::kWrongType;
    UINT width = 0;
    UINT height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(source->GetSize(&width, &height)) || FAILED(source->GetPixelFormat(&format)) ||
        width == 0 || height == 0) {
        return Bitmap::kWrongType;
    }
    const std::uint64_t count = std::uint64_t{width} * height;
    if (count > Bitmap::kMaxPixels || width > std::numeric_limits<std::int32_t>::max() ||
        height > std::numeric_limits<std::int32_t>::max()) {
        return Bitmap::kNoMemory;
    }

    ComRef<IWICBitmapSource> rgba;
    result = WICConvertBitmapSource(GUID_WICPixelFormat32bppPRGBA, source.get(), rgba.put());
    if (FAILED(result)) {
        Note(messages, "the image cannot be converted to RGBA", result);
        return Bitmap::kWrongType;
    }
    std::vector<std::uint8_t> pixels;
    try {
        pixels.resize(count * 4);
    } catch (const std::bad_alloc&) {
        return Bitmap::kNoMemory;
    }
    result = rgba->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()), pixels.data());
    if (FAILED(result)) {
        Note(messages, "the image cannot be read", result);
        return Bitmap::kWrongType;
    }
    image.width = width;
    image.height = height;
    image.depth = BitsPerPixel(factory.get(), format);
    image.pixels = std::move(pixels);
    return Bitmap::kOk;
}

}  // namespace vhost
