#include "media/bmp_writer.h"

#include <cstdint>

#include "platform/little_endian.h"

namespace vhost {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 108;  // BITMAPV4HEADER
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kColorSpaceSrgb = 0x73524742;  // 'sRGB'

std::uint8_t Unpremultiplied(std::uint8_t channel, std::uint8_t alpha) {
    if (alpha == 0) return 0;
    const unsigned value = (static_cast<unsigned>(channel) * 255U + alpha / 2U) / alpha;
    return static_cast<std::uint8_t>(value > 255U ? 255U : value);
}

void PutHeaders(std::string& out, std::int32_t width, std::int32_t height) {
    const std::uint32_t pixelBytes =
        static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 4U;
    out += "BM";
    AppendLittleEndian32(out, kFileHeaderSize + kInfoHeaderSize + pixelBytes);
    AppendLittleEndian32(out, 0);
    AppendLittleEndian32(out, kFileHeaderSize + kInfoHeaderSize);
    AppendLittleEndian32(out, kInfoHeaderSize);
    AppendLittleEndian32(out, static_cast<std::uint32_t>(width));
    AppendLittleEndian32(out, static_cast<std::uint32_t>(-height));  // negative: rows from the top
    AppendLittleEndian16(out, 1);                                    // planes
    AppendLittleEndian16(out, 32);                                   // bits per pixel
    AppendLittleEndian32(out, kBitFields);
    AppendLittleEndian32(out, pixelBytes);
    AppendLittleEndian32(out, 2835);  // 72 dots per inch, in dots per metre
    AppendLittleEndian32(out, 2835);
    AppendLittleEndian32(out, 0);
    AppendLittleEndian32(out, 0);
    AppendLittleEndian32(
        out, 0x00FF0000U);  // red, green, blue and alpha masks of a pixel stored B, G, R, A
    AppendLittleEndian32(out, 0x0000FF00U);
    AppendLittleEndian32(out, 0x000000FFU);
    AppendLittleEndian32(out, 0xFF000000U);
    AppendLittleEndian32(out, kColorSpaceSrgb);
    out.append(36 + 12, '\0');  // end points and gamma, unused for sRGB
}

}  // namespace

std::string EncodeBmp(const Bitmap& bitmap) {
    const bool empty = bitmap.Width() <= 0 || bitmap.Height() <= 0;
    const std::int32_t width = empty ? 1 : bitmap.Width();
    const std::int32_t height = empty ? 1 : bitmap.Height();
    std::string out;
    PutHeaders(out, width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const Bitmap::Rgba p = bitmap.Pixel(x, y);
            out += static_cast<char>(Unpremultiplied(p.b, p.a));
            out += static_cast<char>(Unpremultiplied(p.g, p.a));
            out += static_cast<char>(Unpremultiplied(p.r, p.a));
            out += static_cast<char>(p.a);
        }
    }
    return out;
}

}  // namespace vhost
