// What the plug-in's icon (res/vela_icon.tif) shows, as every decoder of the host must read it.
#pragma once

#include <gtest/gtest.h>

#include "media/bitmap.h"

namespace vhost::testing_support {

// The icon at its size and depth, with its sails, its sea and its transparent corners.
inline void ExpectTheVelaIcon(const Bitmap& bitmap) {
    EXPECT_EQ(bitmap.Width(), 64);
    EXPECT_EQ(bitmap.Height(), 64);
    EXPECT_EQ(bitmap.Depth(), 32);
    const Bitmap::Rgba sail = bitmap.Pixel(42, 30);  // the white main sail
    const Bitmap::Rgba jib = bitmap.Pixel(26, 38);   // the orange fore sail
    const Bitmap::Rgba sea = bitmap.Pixel(8, 20);    // the dark background
    EXPECT_GT(sail.r, 230);
    EXPECT_GT(sail.b, 230);
    EXPECT_GT(jib.r, 230);
    EXPECT_LT(jib.b, 60);
    EXPECT_LT(sea.r, 60);
    EXPECT_EQ(sea.a, 255);
    EXPECT_EQ(bitmap.Pixel(0, 0).a, 0);  // outside the rounded square
}

}  // namespace vhost::testing_support
