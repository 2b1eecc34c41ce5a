// The BMP decoder and the pictures built into the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Pictures.h"
#include "Progress.h"

namespace dravel::app {
namespace {

void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// A 2x2 24-bit picture: red, green on the top row; blue, white below. Rows padded to 8 bytes.
std::vector<uint8_t> SmallBmp(bool topDown, bool fileHeader, uint16_t bits = 24) {
    const std::size_t header = fileHeader ? 14 : 0;
    std::vector<uint8_t> b(header + 40 + 16, 0);
    if (fileHeader) {
        b[0] = 'B';
        b[1] = 'M';
        Put32(b, 2, static_cast<uint32_t>(b.size()));
        Put32(b, 10, 54);
    }
    Put32(b, header, 40);
    Put32(b, header + 4, 2);
    Put32(b, header + 8, topDown ? static_cast<uint32_t>(-2) : 2u);
    b[header + 12] = 1;
    b[header + 14] = static_cast<uint8_t>(bits);
    const uint8_t top[] = {0, 0, 255, 0, 255, 0};         // BGR red, green
    const uint8_t bottom[] = {255, 0, 0, 255, 255, 255};  // blue, white
    const std::size_t first = header + 40;
    const uint8_t* stored = topDown ? top : bottom;  // the first row in the data
    const uint8_t* next = topDown ? bottom : top;
    std::copy(stored, stored + 6, b.begin() + static_cast<std::ptrdiff_t>(first));
    std::copy(next, next + 6, b.begin() + static_cast<std::ptrdiff_t>(first + 8));
    return b;
}

void ExpectSmallPicture(const platform::Image& image) {
    ASSERT_EQ(image.Width(), 2);
    ASSERT_EQ(image.Height(), 2);
    EXPECT_EQ(image.PixelAt(0, 0), platform::MakeRgb(255, 0, 0));
    EXPECT_EQ(image.PixelAt(1, 0), platform::MakeRgb(0, 255, 0));
    EXPECT_EQ(image.PixelAt(0, 1), platform::MakeRgb(0, 0, 255));
    EXPECT_EQ(image.PixelAt(1, 1), platform::MakeRgb(255, 255, 255));
}

TEST(DecodeBmp, FilesAndResourcesInEitherRowOrder) {
    for (bool topDown : {false, true}) {
        for (bool fileHeader : {false, true}) {
            SCOPED_TRACE(testing::Message() << "topDown " << topDown << " file " << fileHeader);
            const std::vector<uint8_t> bytes = SmallBmp(topDown, fileHeader);
            ExpectSmallPicture(DecodeBmp(bytes.data(), bytes.size()));
        }
    }
}

TEST(DecodeBmp, RefusesWhatItCannotReadWhole) {
    const std::vector<uint8_t> good = SmallBmp(false, true);
    // Every cut of the data is refused, never read past.
    for (std::size_t size = 0; size < good.size(); ++size) {
        EXPECT_TRUE(DecodeBmp(good.data(), size).Empty()) << size;
    }
    EXPECT_TRUE(DecodeBmp(nullptr, 100).Empty());

    std::vector<uint8_t> paletted = SmallBmp(false, true, 8);
    EXPECT_TRUE(DecodeBmp(paletted.data(), paletted.size()).Empty());

    std::vector<uint8_t> compressed = good;
    Put32(compressed, 14 + 16, 1);  // run-length encoded
    EXPECT_TRUE(DecodeBmp(compressed.data(), compressed.size()).Empty());

    std::vector<uint8_t> huge = good;
    Put32(huge, 14 + 4, 0x7FFFFFFF);
    EXPECT_TRUE(DecodeBmp(huge.data(), huge.size()).Empty());

    std::vector<uint8_t> farPixels = good;
    Put32(farPixels, 10, 0xFFFFFFF0u);
    EXPECT_TRUE(DecodeBmp(farPixels.data(), farPixels.size()).Empty());
}

TEST(LoadPicture, EveryPictureOfTheWindowIsBuiltIn) {
    struct Expected {
        int id;
        int32_t width;
        int32_t height;
    };
    for (const Expected& e : {Expected{IDB_BAR_FULL, 555, 26}, Expected{IDB_BAR_EMPTY, 555, 26},
                              Expected{IDB_BACKGROUND, 621, 388}, Expected{IDB_CLOSE, 125, 21},
                              Expected{IDB_LOGO, 29, 17}, Expected{IDB_MINIMISE, 125, 21}}) {
        const platform::Image picture = LoadPicture(e.id);
        EXPECT_EQ(picture.Width(), e.width) << e.id;
        EXPECT_EQ(picture.Height(), e.height) << e.id;
    }
    EXPECT_TRUE(LoadPicture(999).Empty());
    EXPECT_TRUE(LoadPicture(IDI_DRAVEL).Empty());  // the icon is no bitmap
}

TEST(LoadPicture, PicturesTellTheirPartsApart) {
    const platform::Image full = LoadPicture(IDB_BAR_FULL);
    const platform::Image empty = LoadPicture(IDB_BAR_EMPTY);
    const platform::Image background = LoadPicture(IDB_BACKGROUND);
    const platform::Argb magenta = platform::MakeRgb(255, 0, 255);
    // The filled bar is green, the track dark, and both differ from the window under them.
    const platform::Argb fill = full.PixelAt(100, 13);
    const platform::Argb track = empty.PixelAt(100, 13);
    EXPECT_GT(platform::GreenOf(fill), 150);
    EXPECT_LT(platform::GreenOf(track), 80);
    EXPECT_NE(fill, track);
    // Button strips: magenta around the face of every frame, the face itself not.
    for (int id : {IDB_CLOSE, IDB_MINIMISE}) {
        const platform::Image strip = LoadPicture(id);
        for (int frame = 0; frame < kButtonFrames; ++frame) {
            EXPECT_EQ(strip.PixelAt(frame * 25, 0), magenta) << id << " " << frame;
            EXPECT_NE(strip.PixelAt(frame * 25 + 4, 10), magenta) << id << " " << frame;
        }
        // Normal, hover, pressed and disabled look different.
        EXPECT_NE(strip.PixelAt(4, 10), strip.PixelAt(25 + 4, 10));
        EXPECT_NE(strip.PixelAt(4, 10), strip.PixelAt(75 + 4, 10));
        EXPECT_NE(strip.PixelAt(4, 10), strip.PixelAt(100 + 4, 10));
    }
    // The tip area is light, the frame around it is not.
    EXPECT_GT(platform::RedOf(background.PixelAt(kTipArea.x + 10, kTipArea.y + 10)), 200);
    EXPECT_LT(platform::RedOf(background.PixelAt(kTipArea.x - 1, kTipArea.y + 10)), 100);
}

}  // namespace
}  // namespace dravel::app
