#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeSound.h"
#include "PlayerProbe.h"

namespace soundtest {
namespace {

struct Walk {
    int ok = 0;
    tagWaveFormat format;
    const unsigned char* samples = nullptr;
    std::uint32_t size = 0;
};

// Walks a heap copy of exactly the image's bytes, so a read past them is an overrun.
class WaveWalkTest : public ::testing::Test {
protected:
    Walk Run(const std::vector<unsigned char>& image) {
        m_copy = std::make_unique<unsigned char[]>(image.size());
        std::copy(image.begin(), image.end(), m_copy.get());
        Walk walk;
        walk.ok = PlayerProbe::GetWaveData(m_copy.get(), image.size(), walk.format, walk.samples,
                                           walk.size);
        return walk;
    }
    std::size_t Offset(const Walk& walk) const {
        return static_cast<std::size_t>(walk.samples - m_copy.get());
    }

    std::unique_ptr<unsigned char[]> m_copy;
};

const std::vector<unsigned char> kTone = {0x10, 0x20, 0x30, 0x40};

TEST_F(WaveWalkTest, FindsFormatAndSamples) {
    Walk walk = Run(WaveBuilder()
                        .Chunk("LIST", {'I', 'N', 'F', 'O'})
                        .Format(1, 2, 22050, 16)
                        .Data(kTone)
                        .Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(walk.format.wFormatTag, 1);
    EXPECT_EQ(walk.format.nChannels, 2);
    EXPECT_EQ(walk.format.nSamplesPerSec, 22050u);
    EXPECT_EQ(walk.format.nAvgBytesPerSec, 22050u * 4);
    EXPECT_EQ(walk.format.nBlockAlign, 4);
    EXPECT_EQ(walk.format.wBitsPerSample, 16);
    EXPECT_EQ(walk.format.cbSize, 0);
    EXPECT_EQ(Offset(walk), 12u + 12 + 24 + 8);
    EXPECT_EQ(walk.size, 4u);
}

TEST_F(WaveWalkTest, AcceptsFormatAfterData) {
    Walk walk = Run(WaveBuilder().Data(kTone).Format(1, 1, 8000, 8).Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(Offset(walk), 20u);
    EXPECT_EQ(walk.format.nSamplesPerSec, 8000u);
}

TEST_F(WaveWalkTest, SkipsThePadByteAfterAnOddChunk) {
    // Three body bytes and a pad byte; were the pad not skipped, "fmt " would be missed.
    Walk walk =
        Run(WaveBuilder().Chunk("junk", {1, 2, 3}).Format(1, 1, 8000, 8).Data({5, 6, 7}).Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(Offset(walk), 12u + 12 + 24 + 8);
    EXPECT_EQ(walk.size, 3u);
}

TEST_F(WaveWalkTest, RefusesAFormatBodyShorterThanFourteenBytes) {
    EXPECT_FALSE(Run(WaveBuilder().Format(1, 1, 8000, 8, 12).Data(kTone).Build()).ok);
    EXPECT_FALSE(Run(WaveBuilder().Data(kTone).Format(1, 1, 8000, 8, 13).Build()).ok);
    // Fourteen bytes is the old block without the sample width, which is then worked out.
    Walk walk = Run(WaveBuilder().Format(1, 2, 8000, 16, 14).Data(kTone).Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(walk.format.wBitsPerSample, 16);
}

TEST_F(WaveWalkTest, KeepsTheFirstFormatAndTheLastDataBeforeBothAreKnown) {
    // data A, data B, fmt: B replaces A, and the walk ends at the format.
    Walk walk = Run(WaveBuilder().Data({1, 1}).Data({2, 2, 2, 2}).Format(1, 1, 11025, 8).Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(walk.size, 4u);
    EXPECT_EQ(walk.samples[0], 2);

    // A second, even broken, format block after the first is not looked at.
    std::vector<unsigned char> image =
        WaveBuilder().Format(1, 1, 11025, 8).Format(1, 2, 44100, 16, 4).Data(kTone).Build();
    walk = Run(image);
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(walk.format.nSamplesPerSec, 11025u);
}

TEST_F(WaveWalkTest, EmptyDataBeforeTheFormatDoesNotCompleteTheImage) {
    EXPECT_FALSE(Run(WaveBuilder().Data({}).Format(1, 1, 8000, 8).Build()).ok);
    Walk walk = Run(WaveBuilder().Data({}).Format(1, 1, 8000, 8).Data(kTone).Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(walk.size, 4u);
}

TEST_F(WaveWalkTest, RefusesImagesThatAreNotRiffWave) {
    std::vector<unsigned char> good = WaveBuilder().Format(1, 1, 8000, 8).Data(kTone).Build();
    std::vector<unsigned char> bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(Run(bad).ok);
    bad = good;
    bad[11] = 'X';
    EXPECT_FALSE(Run(bad).ok);
    EXPECT_FALSE(Run({}).ok);
    EXPECT_FALSE(Run(WaveBuilder().Build()).ok);
    Walk walk;
    EXPECT_FALSE(PlayerProbe::GetWaveData(nullptr, 100, walk.format, walk.samples, walk.size));
    EXPECT_EQ(walk.samples, nullptr);
}

TEST_F(WaveWalkTest, EveryTruncationIsRefusedWithoutReadingPastTheImage) {
    std::vector<unsigned char> image =
        WaveBuilder().Chunk("LIST", {1, 2, 3}).Format(1, 1, 8000, 8).Data(kTone).Build();
    for (std::size_t size = 0; size < image.size(); ++size) {
        std::vector<unsigned char> cut(image.begin(), image.begin() + size);
        EXPECT_FALSE(Run(cut).ok) << "size " << size;
        // The RIFF header still claims the whole image; only the size bounds the walk.
    }
    EXPECT_TRUE(Run(image).ok);
}

TEST_F(WaveWalkTest, LengthsThatOverrunTheImageAreRefused) {
    // Data longer than the bytes that follow it.
    EXPECT_FALSE(Run(WaveBuilder().Format(1, 1, 8000, 8).RawChunk("data", 100, kTone).Build()).ok);
    // Lengths near the top of the range must not wrap the walk back into the image.
    EXPECT_FALSE(Run(WaveBuilder()
                         .RawChunk("junk", 0xFFFFFFFFu, {})
                         .Format(1, 1, 8000, 8)
                         .Data(kTone)
                         .Build())
                     .ok);
    EXPECT_FALSE(Run(WaveBuilder()
                         .Format(1, 1, 8000, 8)
                         .RawChunk("data", 0xFFFFFFF8u, kTone)
                         .Build(0xFFFFFFFFu))
                     .ok);
    EXPECT_FALSE(Run(WaveBuilder().RawChunk("fmt ", 0xFFFFFFF0u, {1, 2}).Build()).ok);
}

TEST_F(WaveWalkTest, ChunksPastTheRiffLengthAreNotPartOfTheImage) {
    std::vector<unsigned char> image =
        WaveBuilder().Format(1, 1, 8000, 8).Data(kTone).Build(4 + 24 + 8 + 2);
    EXPECT_FALSE(Run(image).ok) << "the data chunk ends past the RIFF chunk";
    image = WaveBuilder().Format(1, 1, 8000, 8).Data(kTone).Build(4 + 24);
    EXPECT_FALSE(Run(image).ok);
}

TEST_F(WaveWalkTest, FormatExtensionIsCutToTheChunk) {
    // An 18-byte block that claims 22 extension bytes it does not have.
    std::vector<unsigned char> body = {0xFE, 0xFF, 2, 0, 0x44, 0xAC, 0,  0, 0x10, 0xB1,
                                       2,    0,    4, 0, 16,   0,    22, 0, 1,    2};
    Walk walk = Run(WaveBuilder().Chunk("fmt ", body).Data(kTone).Build());
    ASSERT_TRUE(walk.ok);
    EXPECT_EQ(walk.format.wFormatTag, 0xFFFE);
    EXPECT_EQ(walk.format.cbSize, 2);
    ASSERT_NE(walk.format.pExtra, nullptr);
    EXPECT_EQ(walk.format.pExtra[0], 1);
    EXPECT_EQ(walk.format.pExtra[1], 2);
}

TEST(RiffExtent, IsEightPlusTheRiffLengthOfARiffImageOnly) {
    const unsigned char riff[] = {'R', 'I', 'F', 'F', 4, 1, 0, 0};
    EXPECT_EQ(harbex::RiffExtent(riff), 8u + 260);
    // A one-byte image that is not RIFF is not read past its first byte.
    auto tiny = std::make_unique<unsigned char[]>(1);
    tiny[0] = 'X';
    EXPECT_EQ(harbex::RiffExtent(tiny.get()), 0u);
    EXPECT_EQ(harbex::RiffExtent(nullptr), 0u);
}

}  // namespace
}  // namespace soundtest
