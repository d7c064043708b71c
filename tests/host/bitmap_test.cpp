// Bitmaps: empty images, the plug-in's icon read from res/, frames of a TIFF file, and files that
// are missing or are not images (which leave the bitmap as it was and print nothing).
#include "media/bitmap.h"

#include <tiffio.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/icon_expectations.h"
#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;

const std::string kIcon = std::string(VELA_RESOURCE_DIR) + "/vela_icon.tif";

class Bitmaps : public ::testing::Test {
protected:
    std::string File(const std::string& name, const std::string& bytes) const {
        std::string path = (folder_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    // A bitmap with an image and a data entry, to see that failures leave both alone.
    static Bitmap Prepared() {
        Bitmap bitmap;
        EXPECT_EQ(bitmap.Init(3, 2, 24), Bitmap::kOk);
        bitmap.SetData(kPixelRatio, 2.0);
        return bitmap;
    }
    static constexpr std::int32_t kPixelRatio = 100;

    testing_support::TempFolder folder_;
};

TEST_F(Bitmaps, InitMakesAnOpaqueBlackImage) {
    Bitmap bitmap;
    EXPECT_EQ(bitmap.Width(), 0);
    ASSERT_EQ(bitmap.Init(32, 16, 24), Bitmap::kOk);
    EXPECT_EQ(bitmap.Width(), 32);
    EXPECT_EQ(bitmap.Height(), 16);
    EXPECT_EQ(bitmap.Depth(), 24);
    ASSERT_EQ(bitmap.Pixels().size(), 32u * 16u * 4u);
    EXPECT_EQ(bitmap.Pixel(0, 0), (Bitmap::Rgba{0, 0, 0, 255}));
    EXPECT_EQ(bitmap.Pixel(31, 15), (Bitmap::Rgba{0, 0, 0, 255}));
    EXPECT_EQ(bitmap.Pixel(32, 0), (Bitmap::Rgba{0, 0, 0, 0}));  // outside
}

TEST_F(Bitmaps, InitRefusesImpossibleImagesAndKeepsTheOldOne) {
    Bitmap bitmap = Prepared();
    const Bitmap before = bitmap;
    EXPECT_EQ(bitmap.Init(0, 10, 24), Bitmap::kWrongType);
    EXPECT_EQ(bitmap.Init(10, -1, 24), Bitmap::kWrongType);
    EXPECT_EQ(bitmap.Init(10, 10, 23), Bitmap::kWrongType);
    EXPECT_EQ(bitmap.Init(65536, 65536, 32), Bitmap::kNoMemory);
    EXPECT_EQ(bitmap, before);
}

TEST_F(Bitmaps, ThePluginIconLoadsWithItsSailDrawn) {
    Bitmap bitmap = Prepared();
    std::vector<std::string> messages;
    ASSERT_EQ(bitmap.LoadTiff(kIcon, -1, &messages), Bitmap::kOk);
    EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(messages);
    testing_support::ExpectTheVelaIcon(bitmap);
    EXPECT_EQ(bitmap.GetData(kPixelRatio, 1.0), 2.0);  // data entries outlive the image

    Bitmap first;
    ASSERT_EQ(first.LoadTiff(kIcon, 0), Bitmap::kOk);
    EXPECT_EQ(first.Pixels(), bitmap.Pixels());
    EXPECT_EQ(first.LoadTiff(kIcon, 1), Bitmap::kNotExisting);  // the icon has one frame
    EXPECT_EQ(first.Width(), 64);
}

// A file of two frames of different size and kind: 4 x 2 RGB red, then 3 x 5 grey.
TEST_F(Bitmaps, FramesAreTheFilesDirectories) {
    std::string path = Path("frames.tif");
    {
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        auto write = [&](std::uint32_t width, std::uint32_t height, std::uint16_t samples,
                         std::uint16_t photometric, std::vector<std::uint8_t> row) {
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            for (std::uint32_t y = 0; y < height; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
            TIFFWriteDirectory(tif);
        };
        write(4, 2, 3, PHOTOMETRIC_RGB, {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0});
        write(3, 5, 1, PHOTOMETRIC_MINISBLACK, {10, 128, 250});
        TIFFClose(tif);
    }
    Bitmap bitmap;
    ASSERT_EQ(bitmap.LoadTiff(path, -1), Bitmap::kOk);
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_EQ(bitmap.Depth(), 24);
    EXPECT_EQ(bitmap.Pixel(3, 1), (Bitmap::Rgba{255, 0, 0, 255}));

    ASSERT_EQ(bitmap.LoadTiff(path, 1), Bitmap::kOk);
    EXPECT_EQ(bitmap.Width(), 3);
    EXPECT_EQ(bitmap.Height(), 5);
    EXPECT_EQ(bitmap.Depth(), 8);
    EXPECT_EQ(bitmap.Pixel(1, 4), (Bitmap::Rgba{128, 128, 128, 255}));

    EXPECT_EQ(bitmap.LoadTiff(path, 2), Bitmap::kNotExisting);
    EXPECT_EQ(bitmap.Width(), 3);
}

TEST_F(Bitmaps, MissingFilesAreNotExistingAndChangeNothing) {
    Bitmap bitmap = Prepared();
    const Bitmap before = bitmap;
    EXPECT_EQ(bitmap.LoadTiff(Path("no_such.tif"), -1), Bitmap::kNotExisting);
    EXPECT_EQ(bitmap.LoadTiff(folder_.Path().string(), -1), Bitmap::kNotExisting);  // a folder
    EXPECT_EQ(bitmap, before);
}

TEST_F(Bitmaps, FilesThatAreNoTiffAreWrongTypeQuietlyAndChangeNothing) {
    std::string icon(fs::file_size(kIcon), '\0');
    std::ifstream(kIcon, std::ios::binary)
        .read(icon.data(), static_cast<std::streamsize>(icon.size()));
    ASSERT_GT(icon.size(), 200u);
    const std::string files[] = {
        File("garbage.tif", "this is not an image at all, only some words"), File("empty.tif", ""),
        File("cut.tif", icon.substr(0, icon.size() / 3)),  // the header promises more than is there
    };
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        Bitmap bitmap = Prepared();
        const Bitmap before = bitmap;
        std::vector<std::string> messages;
        ::testing::internal::CaptureStderr();
        std::int32_t result = bitmap.LoadTiff(path, -1, &messages);
        std::string printed = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, Bitmap::kWrongType);
        EXPECT_EQ(bitmap, before);
        EXPECT_FALSE(messages.empty());
        EXPECT_EQ(printed, "");
    }
}

}  // namespace
}  // namespace vhost
