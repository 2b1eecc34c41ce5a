// The player's sound options (SystemOption.ini) and the decisions of the settings window: the
// window itself only shows them and wires its buttons here.
#pragma once

#include <cstdint>
#include <string>

namespace quorin {

// The block of options, in the order the settings window keeps them.
struct SoundOptions {
    bool bPlay = true;
    bool MusicOpen = true;
    bool SoundOpen = true;
    bool SpeechOpen = true;
    int32_t MusicPos = 500;
    int32_t SoundPos = 500;
    int32_t SpeechPos = 500;

    bool operator==(const SoundOptions&) const = default;
};

// Button ids of the settings window.
enum SettingButton : uint32_t {
    kMusicDown = 100,
    kMusicUp = 101,
    kEffectDown = 102,
    kEffectUp = 103,
    kSettingClose = 104,
    kSettingSave = 105,
    kSettingCancel = 106,
};

// What the window does after a button: write and report the options (with the value for the
// report), then close itself.
struct SettingAction {
    bool handled = false;
    bool apply = false;
    int32_t applyValue = 0;
    bool close = false;
};

class SoundSettings {
public:
    // Reads the options of "<workDir>/SystemOption.ini"; a missing file or key gives the defaults.
    void Load(const std::string& workDir);
    // Writes all seven values, switches as 1 or 0 and volumes in decimal.
    void Write(const std::string& workDir) const;

    // A button of the settings window.
    SettingAction OnButton(uint32_t id);

    const SoundOptions& Current() const { return current_; }
    const SoundOptions& Saved() const { return saved_; }

    // Width of the filled part of a volume bar whose picture is `barWidth` pixels wide.
    static int32_t BarWidth(int32_t barWidth, int32_t volume);

private:
    SoundOptions current_;
    SoundOptions saved_;
};

}  // namespace quorin
