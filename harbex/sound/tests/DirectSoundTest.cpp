#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "FakeSound.h"
#include "PlayerProbe.h"

namespace soundtest {
namespace {

const std::vector<unsigned char> kSamples = {0x80, 0x90, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0xF0};

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(PlayerProbe::Instances(), 0u) << "a player leaked"; }
    void TearDown() override { EXPECT_EQ(audio().devicesAlive, 0) << "device not released"; }

    FakeAudio& audio() { return m_scope.audio(); }
    BufferState& buffer(std::size_t i = 0) { return *audio().buffers.at(i); }

    FakeSoundScope m_scope;
    std::vector<unsigned char> m_image = MonoImage(kSamples);
};

// --- Opening the shared device -------------------------------------------------------------

TEST_F(DirectSoundTest, BusyDeviceIsOpenedOnTheFourthAttemptAfterThreeWaits) {
    audio().openResults = {SoundResult::kAllocated, SoundResult::kAllocated,
                           SoundResult::kAllocated};
    PlayerProbe player;
    EXPECT_TRUE(player.Create(m_image.data()));
    EXPECT_EQ(audio().openCalls, 4);
    EXPECT_EQ(audio().waits, (std::vector<std::uint32_t>{500, 500, 500}));
    EXPECT_EQ(audio().WaitedMs(), 1500u);
    EXPECT_TRUE(player.IsValid());
}

TEST_F(DirectSoundTest, MissingDriverIsRetriedLikeABusyDevice) {
    audio().openResults = {SoundResult::kNoDriver, SoundResult::kAllocated};
    PlayerProbe player;
    EXPECT_TRUE(player.Create(m_image.data()));
    EXPECT_EQ(audio().openCalls, 3);
    EXPECT_EQ(audio().waits.size(), 2u);
}

TEST_F(DirectSoundTest, OtherOpeningFailureEndsTheAttemptsAtOnce) {
    audio().openResults = {SoundResult::kAllocated, SoundResult::kFailed};
    PlayerProbe player;
    EXPECT_FALSE(player.Create(m_image.data()));
    EXPECT_EQ(audio().openCalls, 2);
    EXPECT_EQ(audio().waits.size(), 1u);
    EXPECT_FALSE(player.IsValid());
    EXPECT_EQ(PlayerProbe::Device(), nullptr);
    player.Play(0, 1);  // does nothing on a player that is not valid
    player.Continue();
    player.Stop();
    EXPECT_TRUE(audio().buffers.empty());
}

TEST_F(DirectSoundTest, GivesUpAfterTenAttemptsAndFourAndAHalfSeconds) {
    audio().openResults.assign(20, SoundResult::kAllocated);
    PlayerProbe player;
    EXPECT_FALSE(player.Create(m_image.data()));
    EXPECT_EQ(audio().openCalls, 10);
    EXPECT_EQ(audio().WaitedMs(), 4500u);
    // The next Create starts a fresh round of attempts.
    audio().openResults.clear();
    EXPECT_TRUE(player.Create(m_image.data()));
    EXPECT_EQ(audio().openCalls, 11);
}

TEST_F(DirectSoundTest, CooperationIsAskedForTheGivenWindowAndItsAnswerIgnored) {
    int window = 0;
    audio().cooperativeResult = SoundResult::kFailed;
    PlayerProbe first;
    EXPECT_TRUE(first.Create(m_image.data(), &window));
    PlayerProbe second;
    EXPECT_TRUE(second.Create(m_image.data()));
    // Only the opening of the device binds it to a window.
    EXPECT_EQ(audio().cooperativeWindows, (std::vector<void*>{&window}));
}

// --- One device for all players ------------------------------------------------------------

TEST_F(DirectSoundTest, PlayersShareOneDeviceThatTheLastOneReleases) {
    auto first = std::make_unique<PlayerProbe>();
    auto second = std::make_unique<PlayerProbe>();
    EXPECT_EQ(PlayerProbe::Instances(), 2u);
    EXPECT_EQ(PlayerProbe::Device(), nullptr) << "construction must not open the device";
    ASSERT_TRUE(first->Create(m_image.data()));
    ASSERT_TRUE(second->Create(m_image.data()));
    EXPECT_EQ(audio().devicesOpened, 1);
    EXPECT_EQ(audio().bufferDevice, (std::vector<int>{1, 1}));

    first.reset();
    EXPECT_EQ(audio().devicesAlive, 1) << "still used by the second player";
    EXPECT_FALSE(buffer(0).alive);
    EXPECT_TRUE(second->IsValid());
    second.reset();
    EXPECT_EQ(audio().devicesAlive, 0);
    EXPECT_EQ(PlayerProbe::Device(), nullptr);
    EXPECT_EQ(PlayerProbe::Instances(), 0u);

    PlayerProbe third;
    ASSERT_TRUE(third.Create(m_image.data()));
    EXPECT_EQ(audio().devicesOpened, 2);
    EXPECT_EQ(audio().bufferDevice.back(), 2);
}

TEST_F(DirectSoundTest, APlayerThatWasNeverCreatedStillKeepsTheDeviceOpen) {
    auto idle = std::make_unique<PlayerProbe>();
    {
        PlayerProbe player;
        ASSERT_TRUE(player.Create(m_image.data()));
    }
    EXPECT_EQ(audio().devicesAlive, 1);
    idle.reset();
    EXPECT_EQ(audio().devicesAlive, 0);
}

// --- Create ----------------------------------------------------------------------------------

TEST_F(DirectSoundTest, CreateCopiesTheSamplesIntoAStaticBufferOfTheirSize) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data(), m_image.size()));
    EXPECT_EQ(player.SampleSize(), kSamples.size());
    EXPECT_EQ(player.Samples(), m_image.data() + m_image.size() - kSamples.size());
    EXPECT_EQ(buffer().contents, kSamples);
    EXPECT_EQ(buffer().format.nSamplesPerSec, 8000u);
    EXPECT_EQ(buffer().format.wBitsPerSample, 8);
    EXPECT_TRUE(player.IsEnabled());
}

TEST_F(DirectSoundTest, FailedStepsLeaveThePlayerNotValid) {
    PlayerProbe player;
    std::vector<unsigned char> noData = WaveBuilder().Format(1, 1, 8000, 8).Build();
    EXPECT_FALSE(player.Create(noData.data(), noData.size()));
    EXPECT_FALSE(player.Create(static_cast<const void*>(nullptr)));
    EXPECT_TRUE(audio().buffers.empty());

    std::vector<unsigned char> empty = WaveBuilder().Format(1, 1, 8000, 8).Data({}).Build();
    EXPECT_FALSE(player.Create(empty.data(), empty.size())) << "no samples, no buffer";
    EXPECT_TRUE(audio().buffers.empty());

    audio().createBufferResult = SoundResult::kFailed;
    EXPECT_FALSE(player.Create(m_image.data()));
    EXPECT_FALSE(player.IsValid());
    player.Play();
    EXPECT_TRUE(audio().buffers.empty());
}

TEST_F(DirectSoundTest, ASecondCreateReplacesTheFirstSound) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    const std::vector<unsigned char> other = MonoImage({1, 2, 3, 4});
    ASSERT_TRUE(player.Create(other.data()));
    EXPECT_FALSE(buffer(0).alive);
    EXPECT_EQ(buffer(1).contents, (std::vector<unsigned char>{1, 2, 3, 4}));
    EXPECT_EQ(PlayerProbe::Instances(), 1u);
}

TEST_F(DirectSoundTest, ResourcesAreNotFoundForNamesThatDoNotExist) {
    PlayerProbe player;
    EXPECT_FALSE(player.Create("NO_SUCH_SOUND"));
    EXPECT_FALSE(player.Create(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(player.Create(0xBEEFu));
    EXPECT_FALSE(player.IsValid());
}

TEST_F(DirectSoundTest, ImageGivenOnlyByItsStartIsReadUpToItsRiffLength) {
    // Exactly 8 + R bytes on the heap: any read beyond them is an overrun.
    auto exact = std::make_unique<unsigned char[]>(m_image.size());
    std::copy(m_image.begin(), m_image.end(), exact.get());
    PlayerProbe player;
    EXPECT_TRUE(player.Create(static_cast<const void*>(exact.get())));

    // A data chunk after the RIFF chunk's end is not part of the image.
    std::vector<unsigned char> shortRiff =
        WaveBuilder().Format(1, 1, 8000, 8).Data(kSamples).Build(4 + 24);
    EXPECT_FALSE(player.Create(shortRiff.data()));
}

// --- Filling the buffer ----------------------------------------------------------------------

TEST_F(DirectSoundTest, LostBufferIsRefilledAndPlayedAgain) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    BufferState& b = buffer();
    b.lost = true;  // its memory was taken: Play and Lock say so until it is restored
    b.contents.assign(b.contents.size(), 0);

    player.Play(2, 1);
    EXPECT_EQ(b.restores, 1);
    EXPECT_EQ(b.contents, kSamples);
    EXPECT_EQ(b.plays, (std::vector<bool>{true, true})) << "played again with the same flags";
    EXPECT_TRUE(b.playing);
    EXPECT_TRUE(b.looping);
}

TEST_F(DirectSoundTest, RefillAfterALostPlayRestoresOnceAndPlaysAgainWhateverItSaid) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    BufferState& b = buffer();
    b.playResults = {SoundResult::kBufferLost};
    b.lockResults = {SoundResult::kBufferLost, SoundResult::kFailed};
    player.Play();
    EXPECT_EQ(b.locks, 3) << "one lock when created, then lost, restored and tried once more";
    EXPECT_EQ(b.restores, 1);
    EXPECT_EQ(b.fills, 1) << "the relock failed, so nothing more was written";
    EXPECT_EQ(b.plays.size(), 2u);
}

TEST_F(DirectSoundTest, CreateFillsALostBufferAfterOneRestoreOnly) {
    PlayerProbe player;
    audio().newBufferLockResults = {SoundResult::kBufferLost};
    EXPECT_TRUE(player.Create(m_image.data()));
    EXPECT_EQ(buffer(0).restores, 1);
    EXPECT_EQ(buffer(0).contents, kSamples);

    audio().newBufferLockResults = {SoundResult::kBufferLost, SoundResult::kBufferLost};
    EXPECT_FALSE(player.Create(m_image.data()));
    EXPECT_EQ(buffer(1).restores, 1);

    audio().newBufferLockResults = {SoundResult::kFailed};
    EXPECT_FALSE(player.Create(m_image.data()));
    EXPECT_EQ(buffer(2).restores, 0) << "only a lost buffer is restored";

    audio().newBufferLockResults = {};
    audio().newBufferUnlockResult = SoundResult::kFailed;
    EXPECT_FALSE(player.Create(m_image.data()));
    // A buffer that could not be filled would play whatever it holds.
    EXPECT_FALSE(player.IsValid());
    EXPECT_FALSE(buffer(3).alive);
}

TEST_F(DirectSoundTest, ALargerRegionGetsTheSamplesAndSilenceNothingFromBeyond) {
    audio().extraRegionBytes = 6;
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data(), m_image.size()));
    std::vector<unsigned char> expected = kSamples;
    expected.resize(kSamples.size() + 6, 0);
    EXPECT_EQ(buffer().contents, expected);
}

// --- Playing ---------------------------------------------------------------------------------

TEST_F(DirectSoundTest, PlayStartsAtTheGivenPositionOnceOrLooping) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    player.Play(3, 0);
    EXPECT_EQ(buffer().position, 3u);
    EXPECT_FALSE(buffer().looping);
    player.Play(5, 7);
    EXPECT_EQ(buffer().position, 5u);
    EXPECT_TRUE(buffer().looping);
    EXPECT_EQ(buffer().plays, (std::vector<bool>{false, true}));
}

TEST_F(DirectSoundTest, PlayPastTheEndStartsAtTheEnd) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    player.Play(1000, 0);
    EXPECT_EQ(buffer().positionsSet, (std::vector<std::uint32_t>{8}));
    player.Play(8, 0);
    EXPECT_EQ(buffer().positionsSet.back(), 8u);
}

TEST_F(DirectSoundTest, PauseAndContinueResumeAtThePositionWithoutLooping) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    player.Play(0, 1);
    buffer().position = 6;  // the sound has moved on
    player.Pause();
    EXPECT_FALSE(buffer().playing);
    EXPECT_EQ(buffer().position, 6u) << "stopping keeps the position";
    player.Continue();
    EXPECT_TRUE(buffer().playing);
    EXPECT_FALSE(buffer().looping);
    EXPECT_EQ(buffer().positionsSet.back(), 6u);
    player.Stop();
    EXPECT_FALSE(buffer().playing);
}

TEST_F(DirectSoundTest, DisabledSoundStopsAndStaysSilentUntilEnabled) {
    PlayerProbe player;
    ASSERT_TRUE(player.Create(m_image.data()));
    player.Play(0, 1);
    ASSERT_TRUE(buffer().playing);

    EXPECT_EQ(&player.EnableSound(0), &player);
    EXPECT_FALSE(player.IsEnabled());
    EXPECT_FALSE(buffer().playing);
    player.Play(0, 1);
    player.Continue();
    EXPECT_FALSE(buffer().playing);
    EXPECT_EQ(buffer().plays.size(), 1u);
    EXPECT_TRUE(player.IsValid()) << "switching off is not a failure";

    player.EnableSound(1).Play(2, 0);
    EXPECT_TRUE(buffer().playing);
    EXPECT_EQ(buffer().position, 2u);
}

}  // namespace
}  // namespace soundtest
