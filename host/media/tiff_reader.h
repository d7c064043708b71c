// Decoding TIFF files into 8-bit RGBA: the one part of the host's bitmaps that depends on the
// system (libtiff here, the Windows imaging component on Windows).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vhost {

struct DecodedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Bits per pixel as the file stores them (samples per pixel times bits per sample).
    std::int32_t depth = 0;
    // Rows from the top, each pixel R, G, B, A, colour premultiplied by alpha; alpha 255
    // throughout for an image without alpha.
    std::vector<std::uint8_t> pixels;
};

// Reads image `frame` (counted from 0; a negative frame: the first) of the TIFF file `file`,
// which exists. Answers a Bitmap result: kOk with `image` filled, kNotExisting for a frame the
// file does not have, kWrongType for a file that is no readable TIFF image, kNoMemory for an
// image larger than Bitmap::kMaxPixels or one that cannot be held. The decoder's messages go to
// `messages` when given, never to the standard streams.
std::int32_t ReadTiff(const std::filesystem::path& file, std::int32_t frame, DecodedImage& image,
                      std::vector<std::string>* messages);

}  // namespace vhost
