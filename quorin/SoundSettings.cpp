#include "SoundSettings.h"

#include <algorithm>

#include "platform/Ini.h"
#include "platform/Paths.h"

namespace quorin {
namespace {

constexpr int32_t kVolumeStep = 100;
constexpr int32_t kVolumeMax = 1000;

std::string OptionsFile(const std::string& workDir) {
    return platform::JoinPath(workDir, "SystemOption.ini");
}

int32_t ReadInt(const char* section, const char* key, int32_t fallback, const std::string& file) {
    return static_cast<int32_t>(platform::GetIniInt(section, key, fallback, file.c_str()));
}

void WriteSwitch(const char* section, const char* key, bool on, const std::string& file) {
    platform::WriteIniString(section, key, on ? "1" : "0", file.c_str());
}

}  // namespace

void SoundSettings::Load(const std::string& workDir) {
    const std::string file = OptionsFile(workDir);
    current_.MusicOpen = ReadInt("Music", "Open", 1, file) != 0;
    current_.MusicPos = ReadInt("Music", "Pos", 500, file);
    current_.SoundOpen = ReadInt("Sound", "Open", 1, file) != 0;
    current_.SoundPos = ReadInt("Sound", "Pos", 500, file);
    current_.SpeechOpen = ReadInt("Speech", "Open", 1, file) != 0;
    current_.SpeechPos = ReadInt("Speech", "Pos", 500, file);
    current_.bPlay = ReadInt("PlaySound", "bPlay", 1, file) != 0;
    saved_ = current_;
}

void SoundSettings::Write(const std::string& workDir) const {
    const std::string file = OptionsFile(workDir);
    WriteSwitch("Music", "Open", current_.MusicOpen, file);
    platform::WriteIniInt("Music", "Pos", current_.MusicPos, file.c_str());
    WriteSwitch("Sound", "Open", current_.SoundOpen, file);
    platform::WriteIniInt("Sound", "Pos", current_.SoundPos, file.c_str());
    WriteSwitch("Speech", "Open", current_.SpeechOpen, file);
    platform::WriteIniInt("Speech", "Pos", current_.SpeechPos, file.c_str());
    WriteSwitch("PlaySound", "bPlay", current_.bPlay, file);
}

SettingAction SoundSettings::OnButton(uint32_t id) {
    // A volume read from the file may lie outside 0..1000: a step down starts from it, a step
    // up is capped at the maximum.
    auto down = [](int32_t& pos) { pos = std::max<int64_t>(int64_t{pos} - kVolumeStep, 0); };
    auto up = [](int32_t& pos) {
        pos = static_cast<int32_t>(std::min<int64_t>(int64_t{pos} + kVolumeStep, kVolumeMax));
    };
    SettingAction action;
    action.handled = true;
    switch (id) {
        case kMusicDown:
        case kMusicUp:
            (id == kMusicDown ? down : up)(current_.MusicPos);
            action.apply = true;
            action.applyValue = current_.MusicPos;
            break;
        case kEffectDown:
        case kEffectUp:
            (id == kEffectDown ? down : up)(current_.SoundPos);
            action.apply = true;
            action.applyValue = current_.SoundPos;
            break;
        case kSettingClose:
        case kSettingCancel:
            current_ = saved_;
            action.apply = true;
            action.close = true;
            break;
        case kSettingSave:
            saved_ = current_;
            action.apply = true;
            action.close = true;
            break;
        default:
            action.handled = false;
            break;
    }
    return action;
}

int32_t SoundSettings::BarWidth(int32_t barWidth, int32_t volume) {
    const int64_t width = int64_t{barWidth} * volume / kVolumeMax;
    return static_cast<int32_t>(std::clamp<int64_t>(width, INT32_MIN, INT32_MAX));
}

}  // namespace quorin
