// The player on the real Linux device: SDL's audio with its dummy driver, which needs no sound
// hardware but still runs the audio thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "FakeSound.h"
#include "PlayerProbe.h"
#include "sound/SoundDevice.h"

namespace soundtest {
namespace {

class PlayerOnDevice : public PlayerProbe {
public:
    std::uint32_t Position() const {
        std::uint32_t position = 0;
        m_lpDSBuffer->GetCurrentPosition(&position);
        return position;
    }
};

std::vector<unsigned char> Tone(std::size_t samples) {
    std::vector<unsigned char> data(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        data[i] = (i / 8) % 2 == 0 ? 0xC0 : 0x40;  // a square wave of 500 Hz
    }
    return WaveBuilder().Format(1, 1, 8000, 8).Data(data).Build();
}

// The audio thread runs at its own pace; give it up to three seconds.
template <typename Predicate>
bool WaitFor(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(SdlSoundDevice, PlaysAGeneratedToneAndStopsWhereItWas) {
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    const std::vector<unsigned char> image = Tone(8000);  // one second
    {
        PlayerOnDevice player;
        ASSERT_TRUE(player.Create(image.data(), image.size()));
        ASSERT_TRUE(player.IsValid());
        ASSERT_NE(PlayerProbe::Device(), nullptr);

        player.Play(0, 0);
        EXPECT_TRUE(WaitFor([&] { return player.Position() > 0; }))
            << "the audio thread never pulled samples";
        player.Stop();
        const std::uint32_t stopped = player.Position();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(player.Position(), stopped) << "a stopped sound does not move";

        // Looping past the end wraps instead of stopping.
        player.Play(7990, 1);
        EXPECT_TRUE(WaitFor([&] { return player.Position() < 7990; }));
        player.Stop();
    }
    EXPECT_EQ(PlayerProbe::Device(), nullptr);
    unsetenv("SDL_AUDIODRIVER");
}

// SDL's audio thread for the device; it wakes every period while the device is open, paused
// or not.
bool AudioThreadRuns() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name.rfind("SDLAudioP", 0) == 0) {
            return true;
        }
    }
    return false;
}

TEST(SdlSoundDevice, AQuietDeviceIsClosedAndOpensAgainForTheNextSound) {
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    // Longer than the idle second, so that it is still playing when the device is first looked at.
    const std::vector<unsigned char> image = Tone(12000);
    {
        PlayerOnDevice player;
        ASSERT_TRUE(player.Create(image.data(), image.size()));
        // The thread names itself once it runs.
        ASSERT_TRUE(WaitFor(AudioThreadRuns)) << "opened to see that the device can be had";
        EXPECT_TRUE(WaitFor([] { return !AudioThreadRuns(); }))
            << "nothing played: the device closes after its idle second";

        player.Play(0, 0);
        EXPECT_TRUE(WaitFor(AudioThreadRuns));
        EXPECT_TRUE(WaitFor([&] { return player.Position() == 12000; })) << "played to its end";
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        EXPECT_TRUE(AudioThreadRuns()) << "kept for a whole quiet second after the sound";
        EXPECT_TRUE(WaitFor([] { return !AudioThreadRuns(); }));

        player.Play(0, 0);
        EXPECT_TRUE(WaitFor([&] { return player.Position() > 0; })) << "and heard again";
    }
    EXPECT_FALSE(AudioThreadRuns());
    unsetenv("SDL_AUDIODRIVER");
}

TEST(SdlSoundDevice, AMissingDriverIsTriedTenTimes) {
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "no-such-driver", 1), 0);
    harbex::SoundDeviceProvider provider = harbex::PlatformSoundDeviceProvider();
    std::vector<std::uint32_t> waits;
    provider.wait = [&waits](std::uint32_t ms) { waits.push_back(ms); };
    harbex::SoundDeviceProvider previous = harbex::SetSoundDeviceProvider(provider);
    {
        PlayerProbe player;
        const std::vector<unsigned char> image = Tone(16);
        EXPECT_FALSE(player.Create(image.data(), image.size()));
        EXPECT_FALSE(player.IsValid());
    }
    harbex::SetSoundDeviceProvider(previous);
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(waits, std::vector<std::uint32_t>(9, 500));
}

}  // namespace
}  // namespace soundtest
