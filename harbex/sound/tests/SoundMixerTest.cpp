#include "sound/SoundMixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace soundtest {
namespace {

using harbex::ISoundBuffer;
using harbex::SoundMixer;
using harbex::SoundResult;

tagWaveFormat Pcm(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
    tagWaveFormat format;
    format.wFormatTag = 1;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    format.wBitsPerSample = bits;
    return format;
}

std::unique_ptr<ISoundBuffer> Filled(SoundMixer& mixer, const tagWaveFormat& format,
                                     const std::vector<unsigned char>& samples) {
    std::unique_ptr<ISoundBuffer> buffer;
    EXPECT_EQ(mixer.CreateBuffer(format, static_cast<std::uint32_t>(samples.size()), buffer),
              SoundResult::kOk);
    if (!buffer) {
        return buffer;
    }
    unsigned char* region = nullptr;
    std::uint32_t bytes = 0;
    EXPECT_EQ(buffer->Lock(&region, &bytes), SoundResult::kOk);
    EXPECT_EQ(bytes, samples.size());
    std::memcpy(region, samples.data(), bytes);
    EXPECT_EQ(buffer->Unlock(region, bytes), SoundResult::kOk);
    return buffer;
}

// Left channel of nFrames mixed frames.
std::vector<int> MixLeft(SoundMixer& mixer, std::size_t nFrames) {
    std::vector<std::int16_t> out(nFrames * 2, 12345);
    mixer.Mix(out.data(), nFrames);
    std::vector<int> left;
    for (std::size_t i = 0; i < nFrames; ++i) {
        left.push_back(out[2 * i]);
    }
    return left;
}

std::uint32_t Position(ISoundBuffer& buffer) {
    std::uint32_t position = 0;
    EXPECT_EQ(buffer.GetCurrentPosition(&position), SoundResult::kOk);
    return position;
}

// 8-bit samples: 0x80 is silence, 0xC0 half, 0x40 minus half.
const std::vector<unsigned char> kRamp = {0xC0, 0x40, 0xC0, 0x40};

TEST(SoundMixer, PlaysASinglePassThenStopsAtTheEnd) {
    auto mixer = SoundMixer::Make(8000);
    auto buffer = Filled(*mixer, Pcm(1, 8000, 8), kRamp);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(MixLeft(*mixer, 3), (std::vector<int>{0, 0, 0})) << "silent until played";

    buffer->SetCurrentPosition(1);
    buffer->Play(false);
    EXPECT_EQ(MixLeft(*mixer, 5), (std::vector<int>{-16384, 16384, -16384, 0, 0}));
    EXPECT_EQ(Position(*buffer), 4u);
    EXPECT_EQ(MixLeft(*mixer, 2), (std::vector<int>{0, 0})) << "stopped by itself";

    // A single pass from the end plays nothing; a looping one starts over.
    buffer->SetCurrentPosition(4);
    buffer->Play(false);
    EXPECT_EQ(MixLeft(*mixer, 1), (std::vector<int>{0}));
    buffer->Play(true);
    EXPECT_EQ(MixLeft(*mixer, 1), (std::vector<int>{16384}));
}

TEST(SoundMixer, TellsItsListenerWhenABufferStartsAndKnowsWhenAllAreQuiet) {
    auto mixer = SoundMixer::Make(8000);
    auto buffer = Filled(*mixer, Pcm(1, 8000, 8), kRamp);
    ASSERT_TRUE(buffer);
    int starts = 0;
    bool deviceOpens = true;
    mixer->SetPlayListener([&] {
        ++starts;
        EXPECT_TRUE(mixer->AnyPlaying()) << "told after the buffer plays, outside the lock";
        return deviceOpens;
    });
    EXPECT_FALSE(mixer->AnyPlaying());
    EXPECT_FALSE(mixer->PlayedSinceAsked());

    buffer->SetCurrentPosition(2);
    EXPECT_EQ(buffer->Play(false), SoundResult::kOk);
    EXPECT_EQ(starts, 1);
    MixLeft(*mixer, 3);
    EXPECT_FALSE(mixer->AnyPlaying()) << "a single pass that reached its end";
    EXPECT_TRUE(mixer->PlayedSinceAsked()) << "but it was heard since the last question";
    EXPECT_FALSE(mixer->PlayedSinceAsked());

    // Where the device cannot be had, the sound does not wait for it to start much later.
    deviceOpens = false;
    buffer->SetCurrentPosition(0);
    EXPECT_EQ(buffer->Play(false), SoundResult::kAllocated);
    EXPECT_FALSE(mixer->AnyPlaying());
    EXPECT_EQ(MixLeft(*mixer, 1), (std::vector<int>{0}));
    EXPECT_EQ(starts, 2);
    deviceOpens = true;
    buffer->SetCurrentPosition(4);

    buffer->Play(false);
    EXPECT_EQ(starts, 2) << "a single pass from the end does not start";
    buffer->Play(true);
    EXPECT_EQ(starts, 3);
    buffer->Stop();
    EXPECT_FALSE(mixer->AnyPlaying());

    mixer->SetPlayListener(nullptr);
    buffer->Play(true);
    EXPECT_EQ(starts, 3);
    EXPECT_TRUE(mixer->AnyPlaying());
}

TEST(SoundMixer, LoopsUntilStoppedAndKeepsThePosition) {
    auto mixer = SoundMixer::Make(8000);
    auto buffer = Filled(*mixer, Pcm(1, 8000, 8), kRamp);
    ASSERT_TRUE(buffer);
    buffer->SetCurrentPosition(0);
    buffer->Play(true);
    EXPECT_EQ(MixLeft(*mixer, 6), (std::vector<int>{16384, -16384, 16384, -16384, 16384, -16384}));
    EXPECT_EQ(Position(*buffer), 2u);
    buffer->Stop();
    EXPECT_EQ(MixLeft(*mixer, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(Position(*buffer), 2u);
}

TEST(SoundMixer, ConvertsRatesChannelsAndSampleWidths) {
    auto mixer = SoundMixer::Make(8000);
    // Half the output rate: every source frame is heard twice.
    auto slow = Filled(*mixer, Pcm(1, 4000, 8), {0xC0, 0x40});
    slow->SetCurrentPosition(0);
    slow->Play(false);
    EXPECT_EQ(MixLeft(*mixer, 5), (std::vector<int>{16384, 16384, -16384, -16384, 0}));
    slow.reset();

    // Stereo 16-bit: left and right kept apart; positions in bytes of whole frames.
    auto stereo = Filled(*mixer, Pcm(2, 8000, 16), {0x00, 0x40, 0x00, 0xC0, 0x00, 0x20, 0, 0});
    stereo->SetCurrentPosition(5);  // inside the second frame: starts at its beginning
    EXPECT_EQ(Position(*stereo), 4u);
    stereo->SetCurrentPosition(0);
    stereo->Play(false);
    std::vector<std::int16_t> out(4, 0);
    mixer->Mix(out.data(), 2);
    EXPECT_EQ(out, (std::vector<std::int16_t>{16384, -16384, 8192, 0}));
    stereo.reset();

    // Two buffers add up and are clipped at full scale.
    auto a = Filled(*mixer, Pcm(1, 8000, 8), {0xF0});
    auto b = Filled(*mixer, Pcm(1, 8000, 8), {0xF0});
    a->SetCurrentPosition(0);
    b->SetCurrentPosition(0);
    a->Play(false);
    b->Play(false);
    EXPECT_EQ(MixLeft(*mixer, 1), (std::vector<int>{32767}));
}

TEST(SoundMixer, RefusesFormatsItCannotRead) {
    auto mixer = SoundMixer::Make(44100);
    std::unique_ptr<ISoundBuffer> buffer;
    tagWaveFormat adpcm = Pcm(1, 8000, 4);
    adpcm.wFormatTag = 2;
    EXPECT_EQ(mixer->CreateBuffer(adpcm, 100, buffer), SoundResult::kFailed);
    EXPECT_EQ(mixer->CreateBuffer(Pcm(1, 8000, 12), 100, buffer), SoundResult::kFailed);
    EXPECT_EQ(mixer->CreateBuffer(Pcm(0, 8000, 8), 100, buffer), SoundResult::kFailed);
    EXPECT_EQ(mixer->CreateBuffer(Pcm(1, 0, 8), 100, buffer), SoundResult::kFailed);
    tagWaveFormat narrowBlock = Pcm(2, 8000, 16);
    narrowBlock.nBlockAlign = 2;  // less than one sample per channel
    EXPECT_EQ(mixer->CreateBuffer(narrowBlock, 100, buffer), SoundResult::kFailed);
    EXPECT_EQ(mixer->CreateBuffer(Pcm(2, 8000, 16), 3, buffer), SoundResult::kFailed)
        << "not even one frame";
    EXPECT_FALSE(buffer);

    tagWaveFormat floats = Pcm(1, 8000, 32);
    floats.wFormatTag = 3;
    EXPECT_EQ(mixer->CreateBuffer(floats, 8, buffer), SoundResult::kOk);
}

TEST(SoundMixer, SamplesReachTheMixOnlyWhenUnlocked) {
    auto mixer = SoundMixer::Make(8000);
    auto buffer = Filled(*mixer, Pcm(1, 8000, 8), {0x80, 0x80});
    buffer->SetCurrentPosition(0);
    buffer->Play(true);
    unsigned char* region = nullptr;
    std::uint32_t bytes = 0;
    ASSERT_EQ(buffer->Lock(&region, &bytes), SoundResult::kOk);
    EXPECT_EQ(buffer->Lock(&region, &bytes), SoundResult::kFailed) << "already locked";
    region[0] = 0xC0;
    region[1] = 0xC0;
    EXPECT_EQ(MixLeft(*mixer, 1), (std::vector<int>{0}));
    EXPECT_EQ(buffer->Unlock(region + 1, bytes), SoundResult::kFailed) << "not the region";
    ASSERT_EQ(buffer->Unlock(region, bytes), SoundResult::kOk);
    EXPECT_EQ(MixLeft(*mixer, 1), (std::vector<int>{16384}));
}

// The audio thread mixes while the player's thread fills, starts, stops and drops buffers.
TEST(SoundMixerThreads, MixingRacesNothingWithThePlayersThread) {
    auto mixer = SoundMixer::Make(44100);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<std::int16_t> out(2 * 512);
        while (!done.load()) {
            mixer->Mix(out.data(), 512);
        }
    });
    const std::vector<unsigned char> samples(4000, 0xA0);
    for (int round = 0; round < 200; ++round) {
        auto buffer = Filled(*mixer, Pcm(1, 22050, 8), samples);
        ASSERT_TRUE(buffer);
        buffer->SetCurrentPosition(static_cast<std::uint32_t>(round * 7 % 4000));
        buffer->Play(round % 2 == 0);
        std::uint32_t position = 0;
        buffer->GetCurrentPosition(&position);
        EXPECT_LE(position, 4000u);
        buffer->Stop();
    }
    done = true;
    audio.join();
}

}  // namespace
}  // namespace soundtest
