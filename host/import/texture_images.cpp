#include "import/texture_images.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/file_reading.h"
#include "platform/utf8_path.h"

namespace vhost {

namespace {

bool WithinLimits(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kLargestTextureSide &&
           height <= kLargestTextureSide && width * height <= kLargestTexturePixels;
}

struct Decoded {
    std::optional<LeftOutKind> refusal;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

Decoded Refused(LeftOutKind kind) { return {kind, 0, 0}; }

// The whole image decoded into a buffer as the check that it is whole; libpng checks every
// chunk's CRC and the compressed data's checksum.
Decoded DecodePng(std::string_view bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        return Refused(LeftOutKind::TexturesDamaged);
    }
    if (!WithinLimits(image.width, image.height)) {
        png_image_free(&image);
        return Refused(LeftOutKind::TexturesTooLarge);
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
        return Refused(LeftOutKind::TexturesDamaged);
    }
    return {std::nullopt, image.width, image.height};
}

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the
// decoder. Warnings (a file cut short, damaged data the library would paint over) count as
// damage too, and nothing is printed.
struct JpegErrors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
};

[[noreturn]] void JumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);  // NOLINT(cert-err52-cpp)
}

void Silent(j_common_ptr /*info*/) {}

// Only plain data lives across the jump: the row buffer is the library's own, freed with it.
Decoded DecodeJpeg(std::string_view bytes) {
    jpeg_decompress_struct info{};
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpOut;
    errors.manager.output_message = Silent;
    Decoded result{LeftOutKind::TexturesDamaged, 0, 0};
    if (setjmp(errors.jump) != 0) {  // NOLINT(cert-err52-cpp)
        jpeg_destroy_decompress(&info);
        return result;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (!WithinLimits(info.image_width, info.image_height)) {
        result.refusal = LeftOutKind::TexturesTooLarge;
        jpeg_destroy_decompress(&info);
        return result;
    }
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
        info.output_width * static_cast<JDIMENSION>(info.output_components), 1);
    while (info.output_scanline < info.output_height) jpeg_read_scanlines(&info, row, 1);
    jpeg_finish_decompress(&info);
    if (errors.manager.num_warnings == 0)
        result = {std::nullopt, info.image_width, info.image_height};
    jpeg_destroy_decompress(&info);
    return result;
}

CheckedImage RefusedImage(LeftOutKind kind) { return {nullptr, kind}; }

// Whether `file`, made canonical, lies in `folder` (canonical too).
bool LiesIn(const std::filesystem::path& file, const std::filesystem::path& folder) {
    const auto [inFolder, inFile] =
        std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    return inFolder == folder.end() && inFile != file.end();
}

}  // namespace

CheckedImage CheckImage(std::string bytes, std::string_view name) {
    if (bytes.size() > kLargestTextureBytes) return RefusedImage(LeftOutKind::TexturesTooLarge);
    const std::string_view view(bytes);
    ImageFormat format = ImageFormat::Png;
    Decoded decoded;
    if (HasImageSignature(ImageFormat::Png, view)) {
        decoded = DecodePng(view);
    } else if (HasImageSignature(ImageFormat::Jpeg, view)) {
        format = ImageFormat::Jpeg;
        decoded = DecodeJpeg(view);
    } else {
        return RefusedImage(LeftOutKind::TexturesNotPngOrJpeg);
    }
    if (decoded.refusal) return RefusedImage(*decoded.refusal);
    auto texture = std::make_shared<Texture>();
    texture->name = name;
    texture->format = format;
    texture->width = decoded.width;
    texture->height = decoded.height;
    texture->bytes = std::move(bytes);
    return {std::move(texture), std::nullopt};
}

CheckedImage ReadImageFile(const std::optional<std::filesystem::path>& folder,
                           std::string_view reference) {
    // Files written on Windows name their textures with backslashes (an OBJ's `.\wood.jpg`);
    // they separate folders here too, and the path is checked like any other.
    std::string separated(reference);
    std::replace(separated.begin(), separated.end(), '\\', '/');
    const std::filesystem::path relative = PathFromUtf8(separated);
    if (relative.empty() || relative.has_root_name() || relative.has_root_directory()) {
        return RefusedImage(relative.empty() ? LeftOutKind::TexturesUnreadable
                                             : LeftOutKind::TexturesOutsideFolder);
    }
    if (!folder) return RefusedImage(LeftOutKind::TexturesUnreadable);
    std::error_code error;
    const std::filesystem::path root = std::filesystem::canonical(*folder, error);
    if (error) return RefusedImage(LeftOutKind::TexturesUnreadable);
    // Resolved as far as it exists: `../x` leaves the folder whether or not x exists.
    const std::filesystem::path file = std::filesystem::weakly_canonical(root / relative, error);
    if (error) return RefusedImage(LeftOutKind::TexturesUnreadable);
    if (!LiesIn(file, root)) return RefusedImage(LeftOutKind::TexturesOutsideFolder);
    if (!std::filesystem::is_regular_file(file, error)) {
        return RefusedImage(LeftOutKind::TexturesUnreadable);
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) return RefusedImage(LeftOutKind::TexturesUnreadable);
    if (size > kLargestTextureBytes) return RefusedImage(LeftOutKind::TexturesTooLarge);
    std::string bytes;
    if (ReadWholeFile(file, bytes).error != 0) return RefusedImage(LeftOutKind::TexturesUnreadable);
    return CheckImage(std::move(bytes), Utf8FromPath(relative.filename()));
}

}  // namespace vhost
