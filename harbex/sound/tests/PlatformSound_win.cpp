// The player on Windows: wave resources of the test program itself (PlatformSound_win.rc) and
// the real DirectSound device.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "FakeSound.h"
#include "PlayerProbe.h"
#include "sound/SoundDevice.h"

namespace soundtest {
namespace {

const std::vector<unsigned char> kResourceSamples = {0xC0, 0x80, 0x40, 0x80};

TEST(WaveResource, IsFoundByNameAndByTheLowBitsOfItsId) {
    FakeSoundScope scope;
    {
        PlayerProbe byName;
        ASSERT_TRUE(byName.Create("TONE"));
        EXPECT_EQ(scope.audio().buffers.back()->contents, kResourceSamples);
        EXPECT_EQ(scope.audio().buffers.back()->format.nSamplesPerSec, 8000u);

        PlayerProbe byId;
        ASSERT_TRUE(byId.Create(0x10000u + 101u));
        EXPECT_EQ(scope.audio().buffers.back()->contents, kResourceSamples);

        PlayerProbe missing;
        EXPECT_FALSE(missing.Create("NOT_THERE"));
        EXPECT_FALSE(missing.Create(102u));
        // A resource of another type is not a wave.
        EXPECT_FALSE(missing.Create("OTHER"));
    }
    EXPECT_EQ(scope.audio().devicesAlive, 0);
}

TEST(DirectSoundDevice, PlaysAGeneratedToneWhenThereIsADevice) {
    std::vector<unsigned char> data(8000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = (i / 8) % 2 == 0 ? 0xC0 : 0x40;
    }
    const std::vector<unsigned char> image = WaveBuilder().Format(1, 1, 8000, 8).Data(data).Build();
    {
        PlayerProbe player;
        const int created = player.Create(image.data(), image.size());
        // Without a sound driver (a bare Wine) DirectSound cannot be opened; all the player
        // must then do is stay not valid and quiet.
        EXPECT_EQ(created != 0, player.IsValid() != 0);
        EXPECT_EQ(created != 0, PlayerProbe::Device() != nullptr);
        player.Play(100, 1);
        player.Pause();
        player.Continue();
        player.Stop();
        player.EnableSound(0);
        std::printf("DirectSound device: %s\n", created ? "opened, tone played" : "none");
    }
    EXPECT_EQ(PlayerProbe::Device(), nullptr);

    // What the platform says when asked once, without the player's retries.
    std::unique_ptr<harbex::ISoundDevice> device;
    const harbex::SoundResult result = harbex::OpenPlatformSoundDevice(device);
    EXPECT_EQ(result == harbex::SoundResult::kOk, device != nullptr);
    std::printf("DirectSoundCreate: %d (0 ok, 1 allocated, 2 no driver, 4 other)\n",
                static_cast<int>(result));
}

}  // namespace
}  // namespace soundtest
