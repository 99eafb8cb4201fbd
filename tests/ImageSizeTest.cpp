// Image sizes read from file headers, which decide whether a picture is
// refused as too large before it is decoded.
#include <gtest/gtest.h>

#include "render/ImageSize.h"

#include <vector>

TEST(ImageSize, ReadFromEachFormatsHeaderAndNothingFromOthers)
{
    ImageSize s;
    const std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                                            'D', 'R', 0, 0, 0x4E, 0x20, 0, 0, 1, 0x2C};
    ASSERT_TRUE(PeekImageSize(png.data(), png.size(), s));
    EXPECT_EQ(s.width, 20000);
    EXPECT_EQ(s.height, 300);

    // BMP with rows top first (negative height).
    std::vector<unsigned char> bmp(54, 0);
    bmp[0] = 'B', bmp[1] = 'M', bmp[14] = 40;
    bmp[18] = 0x20, bmp[19] = 0x4E;                             // 20000
    bmp[22] = 0xD4, bmp[23] = 0xFE, bmp[24] = 0xFF, bmp[25] = 0xFF; // -300
    ASSERT_TRUE(PeekImageSize(bmp.data(), bmp.size(), s));
    EXPECT_EQ(s.width, 20000);
    EXPECT_EQ(s.height, 300);

    const std::vector<unsigned char> gif = {'G', 'I', 'F', '8', '9', 'a', 0x40, 0x01, 0xF0, 0x00};
    ASSERT_TRUE(PeekImageSize(gif.data(), gif.size(), s));
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);

    // JPEG: an APP0 segment to skip, then the frame header.
    const std::vector<unsigned char> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0xFF, 0xC2, 0, 11,
                                             8,    0x01, 0xE0, 0x02, 0x80, 3};
    ASSERT_TRUE(PeekImageSize(jpeg.data(), jpeg.size(), s));
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 480);

    // Cut short, or a format it does not know: no size, so the loader decides.
    EXPECT_FALSE(PeekImageSize(png.data(), 20, s));
    EXPECT_FALSE(PeekImageSize(jpeg.data(), 9, s));
    const unsigned char tga[18] = {0, 0, 2};
    EXPECT_FALSE(PeekImageSize(tga, sizeof tga, s));
}
