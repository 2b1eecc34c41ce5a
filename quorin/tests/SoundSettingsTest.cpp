#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SoundSettings.h"
#include "platform/Ini.h"

namespace quorin {
namespace {

namespace fs = std::filesystem;

class SoundSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("quorin-settings-") + test->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        work_ = dir_.string();
        file_ = (dir_ / "SystemOption.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    int Read(const char* section, const char* key) {
        return static_cast<int>(platform::GetIniInt(section, key, -7, file_.c_str()));
    }

    // Presses a button and, as the window does, writes the options when asked to.
    SettingAction Press(SoundSettings& settings, uint32_t id) {
        SettingAction action = settings.OnButton(id);
        if (action.apply) {
            settings.Write(work_);
        }
        return action;
    }

    fs::path dir_;
    std::string work_;
    std::string file_;
};

TEST_F(SoundSettingsTest, WithoutAFileTheDefaultsHoldAndTheFirstPressWritesAllKeys) {
    SoundSettings settings;
    settings.Load(work_);
    EXPECT_EQ(settings.Current(), SoundOptions{});
    EXPECT_FALSE(fs::exists(file_));
    Press(settings, kEffectDown);
    EXPECT_EQ(Read("Music", "Open"), 1);
    EXPECT_EQ(Read("Music", "Pos"), 500);
    EXPECT_EQ(Read("Sound", "Open"), 1);
    EXPECT_EQ(Read("Sound", "Pos"), 400);
    EXPECT_EQ(Read("Speech", "Open"), 1);
    EXPECT_EQ(Read("Speech", "Pos"), 500);
    EXPECT_EQ(Read("PlaySound", "bPlay"), 1);
}

TEST_F(SoundSettingsTest, VolumeStepsStopAtTheLimits) {
    SoundSettings settings;
    settings.Load(work_);
    std::vector<int> seen;
    for (int i = 0; i < 6; ++i) {
        SettingAction action = Press(settings, kMusicUp);
        EXPECT_TRUE(action.apply);
        EXPECT_FALSE(action.close);
        seen.push_back(action.applyValue);
        EXPECT_EQ(Read("Music", "Pos"), action.applyValue);
    }
    EXPECT_EQ(seen, (std::vector<int>{600, 700, 800, 900, 1000, 1000}));
    for (int i = 0; i < 7; ++i) {
        Press(settings, kEffectDown);
    }
    EXPECT_EQ(settings.Current().SoundPos, 0);
}

TEST_F(SoundSettingsTest, OutOfRangeValuesAreTakenAsRead) {
    std::ofstream(file_) << "[Music]\r\nOpen=5\r\nPos=2000\r\n[Sound]\r\nPos=2000\r\n";
    SoundSettings settings;
    settings.Load(work_);
    EXPECT_EQ(settings.Current().MusicPos, 2000);
    EXPECT_EQ(SoundSettings::BarWidth(200, 2000), 400);
    Press(settings, kMusicDown);
    EXPECT_EQ(settings.Current().MusicPos, 1900);
    EXPECT_EQ(Read("Music", "Open"), 1);  // 5 is on, written back as 1
    Press(settings, kEffectUp);
    EXPECT_EQ(settings.Current().SoundPos, 1000);
}

TEST_F(SoundSettingsTest, CancelAndCloseReturnToTheLastSave) {
    SoundSettings settings;
    settings.Load(work_);
    Press(settings, kMusicUp);
    SettingAction action = Press(settings, kSettingCancel);
    EXPECT_TRUE(action.close);
    EXPECT_EQ(action.applyValue, 0);
    EXPECT_EQ(Read("Music", "Pos"), 500);

    Press(settings, kMusicUp);
    action = Press(settings, kSettingSave);
    EXPECT_TRUE(action.close);
    EXPECT_EQ(settings.Saved().MusicPos, 600);
    Press(settings, kMusicUp);
    Press(settings, kSettingClose);
    EXPECT_EQ(settings.Current().MusicPos, 600);
    EXPECT_EQ(Read("Music", "Pos"), 600);
}

TEST_F(SoundSettingsTest, TheWindowKeepsItsOwnSoundSwitch) {
    // The main window's sound button writes bPlay itself; the settings window writes back the
    // value it read at start on its next change.
    SoundSettings settings;
    settings.Load(work_);
    platform::WriteIniString("PlaySound", "bPlay", "0", file_.c_str());
    Press(settings, kMusicDown);
    EXPECT_EQ(Read("PlaySound", "bPlay"), 1);
}

TEST_F(SoundSettingsTest, OtherIdsAreNotHandledAndBarsScale) {
    SoundSettings settings;
    EXPECT_FALSE(settings.OnButton(99).handled);
    EXPECT_FALSE(settings.OnButton(107).handled);
    EXPECT_EQ(SoundSettings::BarWidth(200, 1000), 200);
    EXPECT_EQ(SoundSettings::BarWidth(200, 0), 0);
    EXPECT_EQ(SoundSettings::BarWidth(199, 500), 99);
    EXPECT_EQ(SoundSettings::BarWidth(200, INT32_MAX), 429496729);  // no 32-bit overflow
}

}  // namespace
}  // namespace quorin
