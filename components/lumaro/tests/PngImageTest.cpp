// CPngImage through the shared library, on the shipped skin: loading, and painting the main
// window's frame from its eight pieces.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Layout.h"
#include "lumaro/PngImage.h"
#include "platform/Canvas.h"
#include "platform/Image.h"

using platform::Argb;

namespace {

const std::string kSkin = LUMARO_TEST_SKIN;
const std::string kBackground = kSkin + "/lobby/Quorin/bg.png";
const std::string kTitle = kSkin + "/lobby/Quorin/Title.png";
const std::string kButton = kSkin + "/lobby/Quorin/Main.bmp";

// What a premultiplied pixel gives drawn over an opaque one.
Argb Over(Argb src, Argb dst) {
    const int a = platform::AlphaOf(src);
    auto channel = [&](int shift) {
        const int s = static_cast<int>((src >> shift) & 0xFF);
        const int d = static_cast<int>((dst >> shift) & 0xFF);
        return static_cast<Argb>(s + (d * (255 - a) + 127) / 255) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

::testing::AssertionResult Near(Argb actual, Argb expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > 1) {
            char text[64];
            std::snprintf(text, sizeof text, "%08X is not within 1 of %08X",
                          static_cast<unsigned>(actual), static_cast<unsigned>(expected));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

constexpr Argb kUnpainted = platform::MakeRgb(255, 0, 255);

// The frame as the main window paints it, over a colour no skin uses.
void PaintFrame(const CPngImage& bg, platform::OffscreenCanvas& canvas) {
    canvas.FillRect(platform::Rect{0, 0, canvas.Width(), canvas.Height()}, kUnpainted);
    for (const quorin::FramePiece& piece :
         quorin::FramePieces(canvas.Width(), canvas.Height(), bg.GetWidth(), bg.GetHeight())) {
        const quorin::Rect& d = piece.destination;
        const quorin::Rect& s = piece.source;
        bg.DrawImage(canvas, d.x, d.y, d.width, d.height, s.x, s.y, s.width, s.height);
    }
}

TEST(PngImage, LoadsAndDestroys) {
    CPngImage image;
    EXPECT_TRUE(image.IsNull());
    EXPECT_EQ(image.GetWidth(), 0);
    ASSERT_TRUE(image.LoadImage(kBackground.c_str())) << kBackground;
    EXPECT_FALSE(image.IsNull());
    EXPECT_EQ(image.GetWidth(), 1024);
    EXPECT_EQ(image.GetHeight(), 768);

    ASSERT_TRUE(image.LoadImage(kButton.c_str())) << kButton;  // 24-bit BMP, replacing the PNG
    EXPECT_EQ(image.GetWidth(), 228);
    EXPECT_EQ(image.GetHeight(), 17);

    image.DestroyImage();
    EXPECT_TRUE(image.IsNull());
    EXPECT_EQ(image.GetHeight(), 0);
    image.DestroyImage();  // twice is harmless

    ASSERT_TRUE(image.LoadImage(kTitle.c_str()));
    EXPECT_FALSE(image.LoadImage((kSkin + "/lobby/Quorin/none.png").c_str()));
    EXPECT_TRUE(image.IsNull());
    EXPECT_FALSE(image.LoadImage(nullptr));
    EXPECT_TRUE(image.IsNull());

    // Drawing nothing changes nothing.
    platform::OffscreenCanvas canvas(4, 4);
    image.DrawImage(canvas, 0, 0);
    image.DrawImage(canvas, 0, 0, 4, 4, 0, 0, 1, 1);
    EXPECT_EQ(canvas.PixelAt(1, 1), platform::MakeRgb(0, 0, 0));
}

TEST(PngImage, FrameAtThePicturesOwnSizeCopiesItsBorder) {
    CPngImage bg;
    platform::Image source;
    ASSERT_TRUE(bg.LoadImage(kBackground.c_str()));
    ASSERT_TRUE(source.Load(kBackground));
    platform::OffscreenCanvas canvas(1024, 768);
    ASSERT_TRUE(canvas.Valid());
    PaintFrame(bg, canvas);

    int checked = 0;
    for (int y = 0; y < 768; ++y) {
        for (int x = 0; x < 1024; ++x) {
            const bool border = x < 5 || x >= 1019 || y < 27 || y >= 763;
            const Argb expected = border ? Over(source.PixelAt(x, y), kUnpainted) : kUnpainted;
            const Argb actual = canvas.PixelAt(x, y);
            // The browser covers the inside; the frame leaves it alone.
            if (actual != expected) {
                ADD_FAILURE() << "pixel " << x << "," << y;
                return;
            }
            checked += border ? 1 : 0;
        }
    }
    EXPECT_EQ(checked, 1024 * 768 - 1014 * 736);
}

TEST(PngImage, FrameStretchedToAnotherSize) {
    CPngImage bg;
    platform::Image source;
    ASSERT_TRUE(bg.LoadImage(kBackground.c_str()));
    ASSERT_TRUE(source.Load(kBackground));
    constexpr int W = 778;
    constexpr int H = 465;
    platform::OffscreenCanvas canvas(W, H);
    PaintFrame(bg, canvas);
    auto expect = [&](int x, int y, int sx, int sy) {
        EXPECT_TRUE(Near(canvas.PixelAt(x, y), Over(source.PixelAt(sx, sy), kUnpainted)))
            << "pixel " << x << "," << y << " from " << sx << "," << sy;
    };
    // Corners are copied one to one.
    for (int y = 0; y < 27; ++y) {
        for (int x = 0; x < 5; ++x) {
            expect(x, y, x, y);
            expect(W - 5 + x, y, 1019 + x, y);
        }
    }
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x) {
            expect(x, H - 5 + y, x, 763 + y);
            expect(W - 5 + x, H - 5 + y, 1019 + x, 763 + y);
        }
    }
    // Strips and edges are uniform along their stretch: any column of the title strip is the
    // picture's first strip column, any row of an edge its first edge row.
    for (int x : {5, 300, W / 2, W - 6}) {
        for (int y = 0; y < 27; ++y) {
            expect(x, y, 5, y);
        }
        for (int y = 0; y < 5; ++y) {
            expect(x, H - 5 + y, 5, 763 + y);
        }
    }
    for (int y : {27, 200, H - 6}) {
        for (int x = 0; x < 5; ++x) {
            expect(x, y, x, 27);
            expect(W - 5 + x, y, 1019 + x, 27);
        }
    }
    EXPECT_EQ(canvas.PixelAt(5, 27), kUnpainted);
    EXPECT_EQ(canvas.PixelAt(W - 6, H - 6), kUnpainted);
}

TEST(PngImage, TitleBlendsOverTheFrame) {
    CPngImage bg;
    CPngImage title;
    platform::Image titlePixels;
    ASSERT_TRUE(bg.LoadImage(kBackground.c_str()));
    ASSERT_TRUE(title.LoadImage(kTitle.c_str()));
    ASSERT_TRUE(titlePixels.Load(kTitle));
    platform::OffscreenCanvas canvas(1024, 768);
    PaintFrame(bg, canvas);
    platform::OffscreenCanvas frame(1024, 768);
    PaintFrame(bg, frame);

    const int left = quorin::TitleX(1024, title.GetWidth());
    title.DrawImage(canvas, left, 0);
    int partlyClear = 0;
    for (int y = 0; y < title.GetHeight(); ++y) {
        for (int x = 0; x < title.GetWidth(); x += 7) {
            const Argb p = titlePixels.PixelAt(x, y);
            partlyClear += platform::AlphaOf(p) < 255 ? 1 : 0;
            ASSERT_TRUE(Near(canvas.PixelAt(left + x, y), Over(p, frame.PixelAt(left + x, y))))
                << x << "," << y;
        }
    }
    EXPECT_EQ(canvas.PixelAt(left - 1, 5), frame.PixelAt(left - 1, 5));
    EXPECT_EQ(canvas.PixelAt(left + title.GetWidth(), 5),
              frame.PixelAt(left + title.GetWidth(), 5));
    EXPECT_GT(partlyClear, 0) << "the title picture was meant to have see-through parts";
}

}  // namespace
