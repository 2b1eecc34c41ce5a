// Decoding pictures and drawing them: the same files and drawings must give the same pixels on
// every platform.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Image.h"

namespace fs = std::filesystem;
using platform::Argb;
using platform::Image;
using platform::MakeArgb;
using platform::MakeRgb;
using platform::OffscreenCanvas;
using platform::Rect;

namespace {

std::string Hex(Argb c) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(c));
    return text;
}

// Each channel within tolerance of the expected one.
::testing::AssertionResult Near(Argb actual, Argb expected, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            return ::testing::AssertionFailure()
                   << Hex(actual) << " is not within " << tolerance << " of " << Hex(expected);
        }
    }
    return ::testing::AssertionSuccess();
}

void Put32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    Put32(png, static_cast<uint32_t>(data.size()));
    const std::string body = type + data;
    png += body;
    Put32(png, Crc32(body));
}

// A PNG of straight RGBA pixels (4 bytes each, rows from the top), deflated as stored blocks.
std::string MakePng(int width, int height, const std::vector<uint8_t>& rgba) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        raw.append(reinterpret_cast<const char*>(rgba.data()) + y * width * 4, width * 4);
    }
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<char>(n & 0xFF));
        z.push_back(static_cast<char>(n >> 8));
        z.push_back(static_cast<char>(~n & 0xFF));
        z.push_back(static_cast<char>((~n >> 8) & 0xFF));
        z.append(raw, at, n);
    }
    uint32_t s1 = 1, s2 = 0;
    for (unsigned char b : raw) {
        s1 = (s1 + b) % 65521;
        s2 = (s2 + s1) % 65521;
    }
    Put32(z, (s2 << 16) | s1);

    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    Put32(header, static_cast<uint32_t>(width));
    Put32(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8-bit RGBA
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", "");
    return png;
}

void Put16le(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32le(std::string& out, uint32_t v) {
    Put16le(out, v & 0xFFFF);
    Put16le(out, v >> 16);
}

// A 24-bit BMP of RGB pixels (3 bytes each, rows from the top); stored bottom-up and padded to
// four bytes per row, as the format wants. The header may claim another size than the pixels.
std::string MakeBmp(int width, int height, const std::vector<uint8_t>& rgb, int claimedWidth = 0,
                    int claimedHeight = 0) {
    const int rowBytes = (width * 3 + 3) & ~3;
    std::string pixels;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(y * width + x) * 3];
            pixels.push_back(static_cast<char>(p[2]));
            pixels.push_back(static_cast<char>(p[1]));
            pixels.push_back(static_cast<char>(p[0]));
        }
        pixels.append(rowBytes - width * 3, '\0');
    }
    std::string bmp = "BM";
    Put32le(bmp, static_cast<uint32_t>(54 + pixels.size()));
    Put32le(bmp, 0);
    Put32le(bmp, 54);
    Put32le(bmp, 40);
    Put32le(bmp, static_cast<uint32_t>(claimedWidth != 0 ? claimedWidth : width));
    Put32le(bmp, static_cast<uint32_t>(claimedHeight != 0 ? claimedHeight : height));
    Put16le(bmp, 1);
    Put16le(bmp, 24);
    Put32le(bmp, 0);  // BI_RGB
    Put32le(bmp, static_cast<uint32_t>(pixels.size()));
    Put32le(bmp, 2835);
    Put32le(bmp, 2835);
    Put32le(bmp, 0);
    Put32le(bmp, 0);
    return bmp + pixels;
}

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("lobby-image-") + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // Writes the bytes to a file in the test's folder; returns its path for Image::Load.
    std::string Write(const fs::path& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path dir_;
};

// A 2x2 PNG: opaque red, half-transparent orange, fully transparent, 1/4 alpha grey-blue.
const std::vector<uint8_t> kQuad = {255, 0,  0,  255, 255, 100, 0,   128,
                                    10,  20, 30, 0,   60,  120, 240, 64};

TEST_F(ImageFiles, PngDecodesToPremultipliedPixels) {
    Image image;
    ASSERT_TRUE(image.Load(Write("quad.png", MakePng(2, 2, kQuad))));
    EXPECT_FALSE(image.Empty());
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(Hex(image.PixelAt(0, 0)), Hex(MakeArgb(255, 255, 0, 0)));
    EXPECT_EQ(Hex(image.PixelAt(1, 0)), Hex(MakeArgb(128, 128, 50, 0)));
    EXPECT_EQ(Hex(image.PixelAt(0, 1)), Hex(0));
    EXPECT_EQ(Hex(image.PixelAt(1, 1)), Hex(MakeArgb(64, 15, 30, 60)));
    EXPECT_EQ(image.PixelAt(2, 0), 0u);
    EXPECT_EQ(image.PixelAt(-1, 0), 0u);
}

TEST_F(ImageFiles, BmpRowsComeOutTopDownWithoutPadding) {
    // 3 pixels a row: 9 bytes, padded to 12; bottom-up in the file.
    const std::vector<uint8_t> rgb = {1,   2, 3, 40, 50,  60, 70, 80, 90,
                                      200, 0, 0, 0,  200, 0,  0,  0,  200};
    Image image;
    ASSERT_TRUE(image.Load(Write("rows.bmp", MakeBmp(3, 2, rgb))));
    ASSERT_EQ(image.Width(), 3);
    ASSERT_EQ(image.Height(), 2);
    EXPECT_EQ(Hex(image.PixelAt(0, 0)), Hex(MakeRgb(1, 2, 3)));
    EXPECT_EQ(Hex(image.PixelAt(2, 0)), Hex(MakeRgb(70, 80, 90)));
    EXPECT_EQ(Hex(image.PixelAt(0, 1)), Hex(MakeRgb(200, 0, 0)));
    EXPECT_EQ(Hex(image.PixelAt(2, 1)), Hex(MakeRgb(0, 0, 200)));
}

TEST_F(ImageFiles, ChinesePathInTheAnsiCodePage) {
    Write(fs::path(u8"图片.png"), MakePng(2, 2, kQuad));
    Image image;
    // "图片.png" in GBK bytes, as the programs hold their paths.
    EXPECT_TRUE(image.Load((dir_ / "").string() + "\xCD\xBC\xC6\xAC.png"));
    EXPECT_EQ(image.Width(), 2);
}

TEST_F(ImageFiles, UnreadableFilesLeaveTheImageEmpty) {
    const std::string png = MakePng(2, 2, kQuad);
    const std::vector<uint8_t> black(64 * 64 * 3, 0);
    const std::string bmp = MakeBmp(64, 64, black);
    const std::vector<std::string> bad = {
        (dir_ / "missing.png").string(),
        Write("empty.png", ""),
        Write("text.png", "this is not a picture at all"),
        Write("cut.png", png.substr(0, png.size() / 2)),
        // The header claims far more than the pixels that follow.
        Write("huge.bmp", MakeBmp(1, 1, {1, 2, 3}, 60000, 60000)),
        Write("folder.png", ""),
    };
    fs::remove(dir_ / "folder.png");
    fs::create_directory(dir_ / "folder.png");
    for (const std::string& path : bad) {
        Image image;
        ASSERT_TRUE(image.Load(Write("good.png", png)));
        EXPECT_FALSE(image.Load(path)) << path;
        EXPECT_TRUE(image.Empty()) << path;
        EXPECT_EQ(image.Width(), 0) << path;
        EXPECT_EQ(image.Height(), 0) << path;
    }
    // Decoders differ on a BMP cut short (some fill in the missing rows); either way it must
    // be read safely and never grow past its header.
    Image cut;
    if (cut.Load(Write("cut.bmp", bmp.substr(0, 54 + 64 * 3 * 4)))) {
        EXPECT_EQ(cut.Width(), 64);
        EXPECT_EQ(cut.Height(), 64);
    } else {
        EXPECT_TRUE(cut.Empty());
    }
}

TEST(Image, AssignAndMove) {
    const std::array<Argb, 2> pixels = {MakeRgb(1, 2, 3), MakeArgb(0x80, 0x40, 0, 0)};
    Image image;
    EXPECT_TRUE(image.Empty());
    EXPECT_FALSE(image.Assign(0, 1, pixels.data()));
    EXPECT_FALSE(image.Assign(2, -1, pixels.data()));
    EXPECT_FALSE(image.Assign(Image::kMaxSide + 1, 1, pixels.data()));
    EXPECT_FALSE(image.Assign(2, 1, nullptr));
    EXPECT_TRUE(image.Empty());
    ASSERT_TRUE(image.Assign(2, 1, pixels.data()));
    Image moved(std::move(image));
    EXPECT_EQ(moved.Width(), 2);
    EXPECT_EQ(moved.PixelAt(1, 0), pixels[1]);
    image = std::move(moved);
    EXPECT_EQ(image.PixelAt(0, 0), pixels[0]);
    image.Clear();
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.PixelAt(0, 0), 0u);
}

TEST(Canvas, OffscreenStartsBlackAndFills) {
    OffscreenCanvas canvas(8, 6);
    ASSERT_TRUE(canvas.Valid());
    EXPECT_EQ(canvas.Width(), 8);
    EXPECT_EQ(Hex(canvas.PixelAt(7, 5)), Hex(MakeRgb(0, 0, 0)));
    canvas.FillRect(Rect{2, 1, 3, 2}, MakeArgb(0, 10, 20, 30));  // alpha is not used
    EXPECT_EQ(Hex(canvas.PixelAt(2, 1)), Hex(MakeRgb(10, 20, 30)));
    EXPECT_EQ(Hex(canvas.PixelAt(4, 2)), Hex(MakeRgb(10, 20, 30)));
    EXPECT_EQ(Hex(canvas.PixelAt(5, 2)), Hex(MakeRgb(0, 0, 0)));
    EXPECT_EQ(Hex(canvas.PixelAt(4, 3)), Hex(MakeRgb(0, 0, 0)));
    EXPECT_EQ(canvas.PixelAt(8, 0), 0u);

    OffscreenCanvas none(0, 5);
    EXPECT_FALSE(none.Valid());
    none.FillRect(Rect{0, 0, 1, 1}, MakeRgb(1, 1, 1));
    EXPECT_EQ(none.PixelAt(0, 0), 0u);
}

TEST(Canvas, WholeImageBlendsOverTheBackground) {
    const std::array<Argb, 4> pixels = {MakeRgb(255, 0, 0), platform::Premultiply(128, 255, 100, 0),
                                        0, platform::Premultiply(64, 60, 120, 240)};
    Image image;
    ASSERT_TRUE(image.Assign(2, 2, pixels.data()));
    OffscreenCanvas canvas(6, 6);
    canvas.FillRect(Rect{0, 0, 6, 6}, MakeRgb(0, 0, 200));
    canvas.DrawImage(image, 3, 2);
    EXPECT_EQ(Hex(canvas.PixelAt(3, 2)), Hex(MakeRgb(255, 0, 0)));
    // 128 + 0, 50 + 0, 0 + 200 * 127 / 255
    EXPECT_TRUE(Near(canvas.PixelAt(4, 2), MakeRgb(128, 50, 100), 1));
    EXPECT_EQ(Hex(canvas.PixelAt(3, 3)), Hex(MakeRgb(0, 0, 200)));
    // 15, 30, 60 + 200 * 191 / 255
    EXPECT_TRUE(Near(canvas.PixelAt(4, 3), MakeRgb(15, 30, 210), 1));
    // Around the image nothing changed.
    EXPECT_EQ(Hex(canvas.PixelAt(2, 2)), Hex(MakeRgb(0, 0, 200)));
    EXPECT_EQ(Hex(canvas.PixelAt(5, 2)), Hex(MakeRgb(0, 0, 200)));
    EXPECT_EQ(Hex(canvas.PixelAt(3, 1)), Hex(MakeRgb(0, 0, 200)));
    EXPECT_EQ(Hex(canvas.PixelAt(3, 4)), Hex(MakeRgb(0, 0, 200)));
}

TEST(Canvas, StretchedSourceKeepsItsEdges) {
    const std::array<Argb, 3> pixels = {MakeRgb(255, 0, 0), MakeRgb(0, 255, 0), MakeRgb(0, 0, 255)};
    Image image;
    ASSERT_TRUE(image.Assign(3, 1, pixels.data()));
    OffscreenCanvas canvas(8, 3);
    canvas.FillRect(Rect{0, 0, 8, 3}, MakeRgb(9, 9, 9));
    // The right two pixels (green, blue) stretched to four.
    canvas.DrawImage(image, Rect{2, 1, 4, 1}, Rect{1, 0, 2, 1});
    EXPECT_EQ(Hex(canvas.PixelAt(2, 1)), Hex(MakeRgb(0, 255, 0)));
    EXPECT_EQ(Hex(canvas.PixelAt(5, 1)), Hex(MakeRgb(0, 0, 255)));
    // Nearest source pixels, not a blend of neighbours.
    EXPECT_EQ(Hex(canvas.PixelAt(3, 1)), Hex(MakeRgb(0, 255, 0)));
    EXPECT_EQ(Hex(canvas.PixelAt(4, 1)), Hex(MakeRgb(0, 0, 255)));
    EXPECT_EQ(Hex(canvas.PixelAt(1, 1)), Hex(MakeRgb(9, 9, 9)));
    EXPECT_EQ(Hex(canvas.PixelAt(6, 1)), Hex(MakeRgb(9, 9, 9)));
    EXPECT_EQ(Hex(canvas.PixelAt(3, 0)), Hex(MakeRgb(9, 9, 9)));
    EXPECT_EQ(Hex(canvas.PixelAt(3, 2)), Hex(MakeRgb(9, 9, 9)));

    // Shrunk three to one row of two: still only the picture's own colours.
    canvas.DrawImage(image, Rect{0, 2, 2, 1}, Rect{0, 0, 3, 1});
    for (int x = 0; x < 2; ++x) {
        const Argb c = canvas.PixelAt(x, 2);
        EXPECT_TRUE(c == pixels[0] || c == pixels[1] || c == pixels[2]) << Hex(c);
    }
}

TEST(Canvas, SourcesOutsideTheImageDrawNothing) {
    const std::array<Argb, 4> pixels = {MakeRgb(255, 255, 255), MakeRgb(255, 255, 255),
                                        MakeRgb(255, 255, 255), MakeRgb(255, 255, 255)};
    Image image;
    ASSERT_TRUE(image.Assign(2, 2, pixels.data()));
    OffscreenCanvas canvas(4, 4);
    const std::vector<std::pair<Rect, Rect>> draws = {
        {Rect{0, 0, 4, 4}, Rect{1, 1, 2, 2}},   // past the right and bottom
        {Rect{0, 0, 4, 4}, Rect{-1, 0, 2, 2}},  // left of it
        {Rect{0, 0, 4, 4}, Rect{0, 0, 0, 2}},   // empty source
        {Rect{0, 0, 0, 4}, Rect{0, 0, 2, 2}},   // empty destination
        {Rect{0, 0, 4, 4}, Rect{0, 0, 2, 2147483647}},
    };
    for (const auto& [destination, source] : draws) {
        canvas.DrawImage(image, destination, source);
    }
    Image empty;
    canvas.DrawImage(empty, 0, 0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(Hex(canvas.PixelAt(x, y)), Hex(MakeRgb(0, 0, 0))) << x << "," << y;
        }
    }
}

}  // namespace
